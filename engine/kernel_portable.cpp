// The kernel for any processor: its classifier and copy take one
// byte at a time. It runs where there is no vector kernel, and is the
// yardstick the vector classifiers are tested against.
#include "engine/kernel_entry_points.hpp"

namespace {

struct portable {
    static bool is_separator(unsigned char b)
    {
        return b == ' ' || b == '\n' || b == '\r' || b == '\f';
    }

    static window_masks classify(const unsigned char* p)
    {
        window_masks m;
        for (unsigned i = 0; i < window_bytes; ++i) {
            const unsigned char b = p[i];
            const std::uint64_t bit = std::uint64_t{1} << i;
            m.separators |= is_separator(b) ? bit : 0;
            m.semicolons |= b == ';' ? bit : 0;
            m.leads |= b >= 0xC0 && b <= 0xF7 ? bit : 0;
            m.long_leads |= b >= 0xE0 && b <= 0xF7 ? bit : 0;
            m.four_leads |= b >= 0xF0 && b <= 0xF7 ? bit : 0;
        }
        return m;
    }

    static unsigned count(std::uint64_t x)
    {
        return bits::count(x);
    }

    static stream_marks stream_marks_of(const unsigned char* in)
    {
        stream_marks m;
        for (unsigned i = 0; i < window_bytes; ++i) {
            m.pairs |= std::uint64_t{in[i] == '\r' && in[i + 1] == '\n'} << i;
            m.eofs |= std::uint64_t{in[i] == '\x1A'} << i;
        }
        return m;
    }

    static std::uint64_t line_feeds_of(const unsigned char* in)
    {
        std::uint64_t m = 0;
        for (unsigned i = 0; i < window_bytes; ++i)
            m |= std::uint64_t{in[i] == '\n'} << i;
        return m;
    }

    static void drop(const unsigned char* in, std::uint64_t drop, unsigned char* out)
    {
        unsigned char kept[window_bytes];
        unsigned n = 0;
        for (unsigned i = 0; i < window_bytes; ++i)
            if ((drop >> i & 1) == 0)
                kept[n++] = in[i];
        std::memcpy(out, kept, n);
    }

    static void move_window(unsigned char* to, const unsigned char* from)
    {
        std::memmove(to, from, window_bytes);
    }

    static void move_down(unsigned char* to, const unsigned char* from, std::size_t n)
    {
        for (std::size_t i = 0; i < n; ++i)
            to[i] = from[i];
    }

    static constexpr std::size_t move_bytes = 1;
    static void copy(unsigned char* to, const unsigned char* from, unsigned length)
    {
        for (unsigned i = 0; i < length; ++i)
            to[i] = is_separator(from[i]) ? ' ' : from[i];
    }
};

} // namespace

SFOLTITESTO_KERNEL_ENTRY_POINTS(portable, )
