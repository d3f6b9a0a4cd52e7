#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Input read from a stream in large blocks. The stream keeps its mode (text
// mode on Windows, so the platform's line-end rules still apply); the engine
// only ever asks it for whole blocks.
struct text_input {
    std::FILE* stream = nullptr;
    unsigned char* data = nullptr; // block + max_carry bytes, owned by the caller
    std::size_t block = 0;         // bytes asked of each read
    std::size_t pos = 0;           // next unread byte, always a character start
    std::size_t end = 0;           // bytes in data
    bool ended = false;            // the stream reported end of input or an error
};

// A character's bytes may straddle two blocks: at most this many of them are
// carried over to the next.
inline constexpr std::size_t max_carry = 3;

// Sets up reading `stream` through `buffer`, which must hold block + max_carry
// bytes. Any block size of 1 or more gives the same results.
text_input make_text_input(std::FILE* stream, unsigned char* buffer, std::size_t block);

// Moves the unread bytes (a character cut by the end of the block, never more
// than max_carry) to the front and reads the next block after them. Returns
// false, with nothing added, at end of input or on a read error.
bool refill(text_input& in);

// Bytes in a character that starts with `lead`: 2 to 4 for the UTF-8 lead
// bytes C0-F7, 1 for anything else (a stray byte stands alone).
inline std::size_t char_size(unsigned char lead)
{
    if (lead < 0xC0 || lead > 0xF7)
        return 1;
    return lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

// Takes the next character: one to four bytes grouped by the UTF-8 lead-byte
// patterns, packed into `*value` with the first byte most significant, and
// its byte count in `*length`. The bytes after a lead byte are taken as they
// come, without checking that they are continuation bytes, so a lead byte may
// swallow a ';' or a separator. A byte that starts no UTF-8 form (80-BF,
// F8-FF) is delivered alone as a one-byte character.
//
// Returns 1 when a character was read, 0 at end of input or on a read error
// (ferror on the stream tells which); then `*value` and `*length` mean
// nothing. A character cut short by the end of input also gives 0, and its
// bytes are dropped.
int read_char(text_input& in, std::uint32_t* value, std::int32_t* length);
