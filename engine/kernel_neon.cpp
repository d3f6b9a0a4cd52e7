// The build of the engine for arm64 processors, every one of which has NEON:
// its classifier and copy take 16 bytes at a time.
#if defined(__aarch64__)

#include <arm_neon.h>

#include "engine/engine_build.hpp"

namespace {

struct neon {
    // One bit per byte from four vectors of 0 or FF bytes: each byte keeps
    // the bit of its place, then pairwise sums gather them.
    static std::uint64_t bits(uint8x16_t a, uint8x16_t b, uint8x16_t c, uint8x16_t d)
    {
        static const std::uint8_t weights[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                                 1, 2, 4, 8, 16, 32, 64, 128};
        const uint8x16_t w = vld1q_u8(weights);
        const uint8x16_t ab = vpaddq_u8(vandq_u8(a, w), vandq_u8(b, w));
        const uint8x16_t cd = vpaddq_u8(vandq_u8(c, w), vandq_u8(d, w));
        const uint8x16_t all = vpaddq_u8(ab, cd);
        return vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(all, all)), 0);
    }

    // A byte is a separator when the entry its low four bits pick is the
    // byte itself.
    static uint8x16_t separators(uint8x16_t x)
    {
        static const std::uint8_t entries[16] = {' ', 0, 0,    0, 0,    0,    0, 0,
                                                 0,   0, '\n', 0, '\f', '\r', 0, 0};
        return vceqq_u8(vqtbl1q_u8(vld1q_u8(entries), vandq_u8(x, vdupq_n_u8(0x0F))), x);
    }

    static window_masks classify(const unsigned char* p)
    {
        uint8x16_t separator[4], semicolon[4], lead[4], long_lead[4], four_lead[4];
        for (unsigned i = 0; i < 4; ++i) {
            const uint8x16_t x = vld1q_u8(p + 16 * i);
            separator[i] = separators(x);
            semicolon[i] = vceqq_u8(x, vdupq_n_u8(';'));
            lead[i] = vcltq_u8(vsubq_u8(x, vdupq_n_u8(0xC0)), vdupq_n_u8(0x38));
            long_lead[i] = vcltq_u8(vsubq_u8(x, vdupq_n_u8(0xE0)), vdupq_n_u8(0x18));
            four_lead[i] = vcltq_u8(vsubq_u8(x, vdupq_n_u8(0xF0)), vdupq_n_u8(0x08));
        }
        const auto whole = [](const uint8x16_t(&v)[4]) { return bits(v[0], v[1], v[2], v[3]); };
        return {whole(separator), whole(semicolon), whole(lead), whole(long_lead),
                whole(four_lead)};
    }

    static unsigned count(std::uint64_t x)
    {
        return static_cast<unsigned>(__builtin_popcountll(x));
    }

    static constexpr std::size_t move_bytes = 16;
    static void copy(unsigned char* to, const unsigned char* from, unsigned length)
    {
        for (unsigned i = 0; i < length; i += move_bytes) {
            const uint8x16_t x = vld1q_u8(from + i);
            vst1q_u8(to + i, vbslq_u8(separators(x), vdupq_n_u8(' '), x));
        }
    }
};

} // namespace

SFOLTITESTO_ENGINE_BUILD(neon, __attribute__((flatten)))

#endif
