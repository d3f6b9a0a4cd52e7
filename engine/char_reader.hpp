#pragma once

#include <cstdint>

#include "engine/text_input.hpp"

// Takes the next character: one to four bytes grouped by the UTF-8 lead-byte
// patterns, packed into `*value` with the first byte most significant, and
// its byte count in `*length`. The bytes after a lead byte (C0-F7) are taken
// as they come, without checking that they are continuation bytes, so a lead
// byte may swallow a ';' or a separator. A byte that starts no UTF-8 form
// (80-BF, F8-FF) is delivered alone as a one-byte character.
//
// Returns 1 when a character was read, 0 at end of input or on a read error
// (ferror on the stream tells which); then `*value` and `*length` mean
// nothing. A character cut short by the end of input also gives 0, and its
// bytes are dropped.
int read_char(text_input& in, std::uint32_t* value, std::int32_t* length);
