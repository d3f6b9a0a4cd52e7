#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "engine/char_reader.hpp"

// How many words of each period are kept. Read at every comparison, signed:
// a limit of 0 or below turns every period into a bare ";" line.
extern std::int32_t word_limit;

struct background_writer;

// Output gathered in a buffer of the caller's and written to the stream in
// large pieces. Once a write fails, nothing more is written.
struct text_output {
    std::FILE* stream = nullptr;
    unsigned char* data = nullptr; // capacity bytes, owned by the caller
    std::size_t capacity = 0;
    std::size_t used = 0;
    bool failed = false;
    background_writer* writer = nullptr; // see start_background_writes
    unsigned char* spare = nullptr;      // the buffer the writer has, capacity bytes
    std::size_t handed = 0;              // buffers handed to the writer so far
    std::size_t first_failed = SIZE_MAX; // the first of them it could not write
};

text_output make_text_output(std::FILE* stream, unsigned char* buffer, std::size_t capacity);

// Writes out what the buffer holds, and waits for it; false if this or an
// earlier write failed. The stream itself is not flushed.
bool flush_output(text_output& out);

// From here on, a full buffer is written by a second thread while the engine
// fills `spare` (capacity bytes of the caller's), and the two change places:
// the kernel's writing then goes on beside the work. The stream must not be
// touched until end_background_writes. False when no thread could be
// started; the output is then written as before, by the calling thread.
bool start_background_writes(text_output& out, unsigned char* spare);

// Waits for the writes and ends the thread; false if a write failed.
bool end_background_writes(text_output& out);

// Whether one of the first `buffers` buffers handed to the writer could not
// be written. Written by the calling thread, the first failure would have
// stopped the run at once: this tells what came first, a failed write or
// whatever the caller saw after it had handed that many.
bool write_failed_within(const text_output& out, std::size_t buffers);

// Result of transcribe_periods when a write to the output failed; the output
// is then incomplete and the caller should stop.
inline constexpr int transcription_write_failed = -1;

// Copies words from `in` to `out`, one line per period ("words;\n"), until a
// period reaches word_limit words or the input ends, and always closes with
// ";\n". Words are parted in the output by single spaces; separators are
// LF, FF, CR and space; ';' ends a period. A period that stops short of the
// limit keeps a space before its ';' when separators stood there.
//
// Returns 1 when it stopped at the limit (the rest of that period is still to
// be skipped), 0 at end of input or on a read error (ferror on the stream
// tells which), and transcription_write_failed when a write failed. It may
// notice a failed write only at a later call, or at the last flush_output.
int transcribe_periods(text_input& in, text_output& out);

// Discards input through the next ';'. Returns 1 when it consumed one, 0 at
// end of input or on a read error.
int skip_rest_of_period(text_input& in);

// The whole run over a text: transcribe, then skip the rest of the period
// cut at the limit, and again while the skipper consumed a ';'. Stops early
// when a write fails. Returns the last result of the transcriber.
template <class Transcribe, class Skip> int alternate_periods(Transcribe transcribe, Skip skip)
{
    int result = transcribe();
    while (result != transcription_write_failed && skip() == 1)
        result = transcribe();
    return result;
}

// The same as alternate_periods over transcribe_periods and
// skip_rest_of_period, in one pass over the input.
int transcribe_text(text_input& in, text_output& out);
