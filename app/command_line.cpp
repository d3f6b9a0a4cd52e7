#include "app/command_line.hpp"

#include <algorithm>
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

    // The magnitude is clamped as it grows, so no run of digits can overflow,
    // at the magnitude of the lowest value, one more than the highest's.
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    std::int64_t magnitude = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        magnitude = std::min(magnitude * 10 + (*p - '0'), high + 1);
    return static_cast<std::int32_t>(negative ? -magnitude : std::min(magnitude, high));
}
