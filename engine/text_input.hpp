#pragma once

// The engine's first stage, as its callers see it: the input read in large
// blocks and taken 64 bytes at a time, each window classified once.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "engine/geometry.hpp"

class copy_worker;

// The window of input being consumed, classified once: bit i tells about the
// byte at bytes + i. Bytes inside a character (after its lead byte) are
// never separators or semicolons here, whatever their value.
struct input_window {
    std::uint64_t separators = 0; // LF, FF, CR and space
    std::uint64_t semicolons = 0;
    std::uint64_t word_ends = 0;  // separators right after a word's last byte
    std::uint64_t inside = 0;     // separator bytes inside a character, which stay as they are
    std::uint64_t continuing = 0; // bytes after a lead byte, in its character
    std::uint64_t real = 0;       // the window's bytes: all 64 but at the end of input
    std::uint64_t unread = 0;     // those not consumed yet
    const unsigned char* bytes = nullptr; // in the input's buffer, until the next read
};

// Where the consumption of the input stands: the window at hand and what
// carries over from it into the next.
struct input_cursor {
    input_window window;
    std::uint64_t carry = 0; // bytes of the next window inside a character begun in this one
    bool after_stop = true;  // the byte before the next window is a separator or ';' (or none)
};

// How the bytes of the input file are taken: as they are, or as a Windows
// text mode reads them (a CR that a LF follows goes, a 1A ends the text),
// from a stream opened as a binary one.
enum class file_bytes { as_they_are, in_text_mode };

// How many blocks a worker reads ahead of the one the engine takes (see
// read_ahead).
inline constexpr std::size_t blocks_read_ahead = 3;

// Input read from a stream in large blocks; the engine only ever asks it for
// whole blocks.
struct text_input {
    std::FILE* stream = nullptr;
    unsigned char* data = nullptr; // block + input_slack bytes, owned by the caller
    std::size_t block = 0;         // bytes asked of each read
    std::size_t read_at = 0;       // where each read goes, aligned to read_alignment
    std::size_t next = 0;          // first byte not yet in a window
    std::size_t end = 0;           // bytes in data
    bool ended = false;            // at end of input, or a read failed
    bool read_failed = false;      // a read failed (ferror on the stream tells it too)
    file_bytes taken = file_bytes::as_they_are;
    bool cr_held = false; // as text: the last read ended with a CR, not yet in data
    input_cursor cursor;
    // Reading ahead (see read_ahead): the worker reads the blocks after this
    // one into the buffers of a ring, this one's among them.
    copy_worker* worker = nullptr;
    unsigned char* ring[blocks_read_ahead + 1] = {};
    std::size_t ring_read_at[blocks_read_ahead + 1] = {};
    std::size_t current = 0; // data's place in the ring
    std::size_t ahead = 0;   // reads given into the buffers after it
};

// Sets up reading `stream` through `buffer`, which must hold block +
// input_slack bytes, its bytes taken as `taken` says. Any block size of 1 or
// more gives the same results. A read that fails ends the input there, as
// its end would.
text_input make_text_input(std::FILE* stream, unsigned char* buffer, std::size_t block,
                           file_bytes taken = file_bytes::as_they_are);

// Has `worker` read each block from then on, as many as blocks_read_ahead
// ahead of the one whose windows the engine takes, into `spares` (that
// many buffers as large as the input's) and the input's buffer in turn: the
// same results, the reads made beside the engine.
void read_ahead(text_input& in, copy_worker& worker, unsigned char* const* spares);

// What a read of a block brought. A read that fails ends the input there,
// even when the stream's read brought bytes before the failure: they are
// the input's last.
struct block_read {
    std::size_t got = 0;
    bool failed = false; // ferror on the stream
    bool at_end = false; // nothing more to read: its end, a failure, or a write failed
};

// Reads up to `size` bytes of `stream` into `into`.
block_read read_stream(std::FILE* stream, unsigned char* into, std::size_t size);

// Reads more of the input, keeping the bytes not yet in a window, until a
// whole window and the bytes its characters may take are there or the input
// has ended. Returns the bytes not yet in a window.
std::size_t refill(text_input& in);

// Where the bytes read but not yet consumed begin; they run to data + end.
inline const unsigned char* unconsumed(const text_input& in)
{
    const input_window& w = in.cursor.window;
    return w.unread != 0 ? w.bytes + std::countr_zero(w.unread) : in.data + in.next;
}
