#pragma once

// What a classifier makes of a window, and what every build of the engine
// provides one of: given the 64 bytes at p,
//
//   static window_masks classify(const unsigned char* p);
//
// gives exactly these masks, one bit per byte (bit i for byte i), whatever
// instructions it uses.

#include <cstdint>

struct window_masks {
    std::uint64_t separators = 0; // LF, FF, CR and space
    std::uint64_t semicolons = 0;
    std::uint64_t leads = 0;      // C0-F7: begin a character of 2 to 4 bytes
    std::uint64_t long_leads = 0; // E0-F7: of 3 or 4
    std::uint64_t four_leads = 0; // F0-F7: of 4
};

// A build's classifier, for tests that compare them and for the character
// reader, which has no build of its own.
using window_classifier = window_masks (*)(const unsigned char* p);
