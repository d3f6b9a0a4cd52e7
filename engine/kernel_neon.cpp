// The kernel for arm64 processors, every one of which has NEON:
// its classifier and copy take 16 bytes at a time.
#if defined(__aarch64__)

#include <arm_neon.h>

#include "engine/kernel_entry_points.hpp"

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

    static stream_marks stream_marks_of(const unsigned char* in)
    {
        stream_marks m;
        uint8x16_t pairs[4], eofs[4];
        uint8x16_t any = vdupq_n_u8(0);
        for (unsigned i = 0; i < 4; ++i) {
            const uint8x16_t here = vld1q_u8(in + 16 * i);
            pairs[i] = vandq_u8(vceqq_u8(here, vdupq_n_u8('\r')),
                                vceqq_u8(vld1q_u8(in + 16 * i + 1), vdupq_n_u8('\n')));
            eofs[i] = vceqq_u8(here, vdupq_n_u8('\x1A'));
            any = vorrq_u8(any, vorrq_u8(pairs[i], eofs[i]));
        }
        if (vmaxvq_u8(any) != 0) {
            m.pairs = bits(pairs[0], pairs[1], pairs[2], pairs[3]);
            m.eofs = bits(eofs[0], eofs[1], eofs[2], eofs[3]);
        }
        return m;
    }

    static std::uint64_t line_feeds_of(const unsigned char* in)
    {
        uint8x16_t lf[4];
        uint8x16_t any = vdupq_n_u8(0);
        for (unsigned i = 0; i < 4; ++i) {
            lf[i] = vceqq_u8(vld1q_u8(in + 16 * i), vdupq_n_u8('\n'));
            any = vorrq_u8(any, lf[i]);
        }
        return vmaxvq_u8(any) != 0 ? bits(lf[0], lf[1], lf[2], lf[3]) : 0;
    }

    // From the c-th dropped byte on, the bytes come from c places further:
    // each drop blends in the window read that much later.
    static void drop(const unsigned char* in, std::uint64_t drop, unsigned char* out)
    {
        static const std::uint8_t places[16] = {0, 1, 2,  3,  4,  5,  6,  7,
                                                8, 9, 10, 11, 12, 13, 14, 15};
        uint8x16_t x[4];
        for (unsigned i = 0; i < 4; ++i)
            x[i] = vld1q_u8(in + 16 * i);
        for (unsigned shift = 1; drop != 0; drop &= drop - 1, ++shift) {
            const auto first = static_cast<std::uint8_t>(bits::lowest(drop) - (shift - 1));
            for (unsigned i = 0; i < 4; ++i) {
                const uint8x16_t index =
                    vaddq_u8(vld1q_u8(places), vdupq_n_u8(static_cast<std::uint8_t>(16 * i)));
                x[i] = vbslq_u8(vcgeq_u8(index, vdupq_n_u8(first)), vld1q_u8(in + 16 * i + shift),
                                x[i]);
            }
        }
        for (unsigned i = 0; i < 4; ++i)
            vst1q_u8(out + 16 * i, x[i]);
    }

    static void move_window(unsigned char* to, const unsigned char* from)
    {
        uint8x16_t x[4];
        for (unsigned i = 0; i < 4; ++i)
            x[i] = vld1q_u8(from + 16 * i);
        for (unsigned i = 0; i < 4; ++i)
            vst1q_u8(to + 16 * i, x[i]);
    }

    static void move_down(unsigned char* to, const unsigned char* from, std::size_t n)
    {
        if (n < 16) {
            move_short(to, from, n);
            return;
        }
        const uint8x16_t last = vld1q_u8(from + n - 16);
        for (std::size_t i = 0; i + 16 < n; i += 16)
            vst1q_u8(to + i, vld1q_u8(from + i));
        vst1q_u8(to + n - 16, last);
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

SFOLTITESTO_KERNEL_ENTRY_POINTS(neon, __attribute__((flatten)))

#endif
