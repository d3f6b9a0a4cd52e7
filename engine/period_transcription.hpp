#pragma once

#include <cstdint>
#include <cstdio>

// How many words of each period are kept. Read at every comparison, signed:
// a limit of 0 or below turns every period into a bare ";" line.
extern std::int32_t word_limit;

// Result of transcribe_periods when a write to the output failed; the output
// is then incomplete and the caller should stop.
inline constexpr int transcription_write_failed = -1;

// Copies words from `in` to `out`, one line per period ("words;\n"), until a
// period reaches word_limit words or the input ends, and always closes with
// ";\n". Words are parted in the output by single spaces; separators are
// LF, FF, CR and space; ';' ends a period.
//
// Returns 1 when it stopped at the limit (the rest of that period is still to
// be skipped), 0 at end of input or on a read error (ferror tells which), and
// transcription_write_failed when a write failed.
int transcribe_periods(std::FILE *in, std::FILE *out);

// Discards input through the next ';'. Returns 1 when it consumed one, 0 at
// end of input or on a read error.
int skip_rest_of_period(std::FILE *in);
