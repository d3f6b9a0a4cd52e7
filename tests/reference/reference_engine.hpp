#pragma once

// The plain engine: one library call per byte read or written, no buffer of
// its own, no cleverness. It is what the program's output is defined by, and
// the fast engine is held to it byte for byte. It reads the same word_limit.

#include <cstdint>
#include <cstdio>

namespace reference {

// Next character of `in` (1 to 4 bytes by UTF-8 lead byte, a stray byte
// alone); 1 when read, 0 at end of input, on a read error or when the input
// ends inside the character.
int read_char(std::FILE* in, std::uint32_t* value, std::int32_t* length);

// Same contracts as the engine's functions of the same names, over streams.
int transcribe_periods(std::FILE* in, std::FILE* out);
int skip_rest_of_period(std::FILE* in);

// The whole run over `in`, as the engine's transcribe_text.
int transcribe_text(std::FILE* in, std::FILE* out);

} // namespace reference
