#pragma once

// What the C runtime's text mode does to a Windows file's bytes, done by the
// program itself over whole blocks: the C runtime does it a byte at a time.
// Reading, a CR that a LF follows goes, and a 1A ends the text; writing,
// every LF is stored as CR LF. Every other byte passes as it is.

#include <cstddef>

struct text_mode_read {
    std::size_t length; // the bytes that stay
    bool ended;         // a 1A ended the text: it and what follows it went
};

// Turns the `size` bytes at `bytes` into what text mode reads from them,
// in place, as if they were the whole file: a CR at the very end stays.
// Nothing at or past bytes + size is read or written.
text_mode_read text_mode_read_pass(unsigned char* bytes, std::size_t size);

// The room text_mode_write_pass needs for `size` bytes, each of which may
// be a LF.
inline constexpr std::size_t text_mode_write_room(std::size_t size)
{
    return 2 * size;
}

// The most bytes whose text_mode_write_room `room` bytes hold, whatever
// they are.
inline constexpr std::size_t text_mode_write_fits(std::size_t room)
{
    return room / 2;
}
static_assert(text_mode_write_fits(text_mode_write_room(61)) == 61 && text_mode_write_fits(1) == 0);

// Writes the `size` bytes at `from` to `to` as text mode stores them, and
// returns how many bytes that makes. `to` must hold
// text_mode_write_room(size) bytes; nothing at or past from + size is read,
// and nothing past the bytes made is written.
std::size_t text_mode_write_pass(const unsigned char* from, std::size_t size, unsigned char* to);
