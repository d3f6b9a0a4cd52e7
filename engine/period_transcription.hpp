#pragma once

#include <cstdint>

#include "engine/char_reader.hpp"
#include "engine/text_output.hpp"

// How many words of each period are kept. Read at every comparison, signed:
// a limit of 0 or below turns every period into a bare ";" line.
extern std::int32_t word_limit;

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
