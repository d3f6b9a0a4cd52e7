#pragma once

// The AVX2 build's byte constants. They are defined in a file of their own:
// GCC rebuilds a constant it can see in registers, three instructions for
// every window, where a compare takes one it cannot see straight from memory.
struct alignas(32) avx2_constants {
    unsigned char semicolon[32];
    unsigned char space[32];
    unsigned char lead_offset[32]; // 40
    unsigned char lead_limit[32];  // B8, that is -72
};

extern const avx2_constants avx2_bytes;
