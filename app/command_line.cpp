#include "app/command_line.hpp"

#include <limits>

std::int32_t parse_limit(const char* text)
{
    const char* p = text;
    // The C locale's white space, which is what atoi skips.
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-')
        negative = *p++ == '-';

    // The magnitude is clamped as it grows, so no run of digits can overflow.
    constexpr std::int64_t low = std::numeric_limits<std::int32_t>::min();
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        magnitude = magnitude * 10 + (*p - '0');
        if (magnitude > high + 1)
            magnitude = high + 1;
    }
    std::int64_t result = negative ? -magnitude : magnitude;
    if (result > high)
        result = high;
    if (result < low)
        result = low;
    return static_cast<std::int32_t>(result);
}
