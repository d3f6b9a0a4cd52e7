#pragma once

// Finding where a run of word bytes ends, many bytes at a time. Internal to
// the engine.

#include <cstddef>

// Which bytes end a run: a period's ';' alone, or also the four separators.
enum class run_stop { semicolon, semicolon_or_separator };

struct run_end {
    const unsigned char* at; // the stopping byte, or where the buffered bytes run out
    bool found;              // true when `at` is a stopping byte that starts a character
};

// From `p`, which starts a character, finds the first character in [p, end)
// whose (first and only) byte is a stopping byte. A lead byte's character
// takes the bytes after it whatever they are, so a stopping byte inside one
// does not count. When there is none, `at` is the first character that does
// not fit before `end` (`end` itself when all of them fit), and the bytes
// from there, at most 3, wait for more input.
template <run_stop stop> run_end scan_run(const unsigned char* p, const unsigned char* end);

extern template run_end scan_run<run_stop::semicolon>(const unsigned char*, const unsigned char*);
extern template run_end scan_run<run_stop::semicolon_or_separator>(const unsigned char*,
                                                                   const unsigned char*);
