#include "engine/avx2_constants.hpp"

namespace {

constexpr avx2_constants make()
{
    avx2_constants c{};
    for (int i = 0; i < 32; ++i) {
        c.semicolon[i] = ';';
        c.space[i] = ' ';
        c.lead_offset[i] = 0x40;
        c.lead_limit[i] = 0xB8;
    }
    return c;
}

} // namespace

const avx2_constants avx2_bytes = make();
