#pragma once

// Internal to the engine: the few operations on 64-bit masks it is built on,
// bit i standing for the byte at offset i of a window.

#include <bit>
#include <cstdint>

namespace bits {

// Bits 0 to n-1, for n up to 64.
inline std::uint64_t below(unsigned n)
{
    return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
}

// Bits n to 63, for n below 64.
inline std::uint64_t from(unsigned n)
{
    return ~std::uint64_t{0} << n;
}

// Bits 0 to the lowest set bit of x, which is not 0.
inline std::uint64_t through_lowest(std::uint64_t x)
{
    return x ^ (x - 1);
}

// The place of the lowest and of the highest set bit of x, which is not 0.
inline unsigned lowest(std::uint64_t x)
{
    return static_cast<unsigned>(std::countr_zero(x));
}

inline unsigned highest(std::uint64_t x)
{
    return 63 - static_cast<unsigned>(std::countl_zero(x));
}

// The lowest bit of x.
inline std::uint64_t lowest_bit(std::uint64_t x)
{
    return x & (~x + 1);
}

// Bits set in x, for processors that may lack the instruction.
inline unsigned count(std::uint64_t x)
{
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<unsigned>((x * 0x0101010101010101) >> 56);
}

} // namespace bits
