#pragma once

#include <cstdint>

// The console texts, exactly as users and their scripts see them.
inline constexpr const char* usage_lines[] = {
    "\nUtilizzo:\nsfoltitesto nomefile1 nomefile2\n",
    "oppure:\nsfoltitesto nomefile1 nomefile2 n\n",
    "\nLegge il file di input <nomefile1> e ne trascrive il contenuto\n",
    "nel file <nomefile2>, evidenziando le prime n parole (7 se non specificato)\n\n\n",
};
// Asked for, the usage text also names the forms that ask for it.
inline constexpr const char* help_lines[] = {
    usage_lines[0],
    usage_lines[1],
    "oppure:\nsfoltitesto --help | -h | --version\n",
    "\nCon --help o -h mostra questo testo, con --version la versione\n",
    usage_lines[2],
    usage_lines[3],
};
inline constexpr const char* input_open_error = "Errore apertura file input\n";
inline constexpr const char* output_open_error = "Errore apertura file output\n";
inline constexpr const char* read_error = "Errore lettura file input\n";
inline constexpr const char* write_error = "Errore scrittura file output\n";
inline constexpr const char* memory_error = "Memoria insufficiente\n";
inline constexpr const char* announcement =
    "Periodizzazione in corso da %s a %s, con %d parole per periodo\n";
inline constexpr const char* completion = "Periodizzato in %s\n";

// Reads the limit the way atoi does (leading white space, an optional sign,
// digits up to the first other character, 0 when there is no number), but
// saturates at the ends of the 32-bit range instead of overflowing.
std::int32_t parse_limit(const char* text);

// The whole program: arguments (in UTF-8), files, messages; returns the
// exit status.
int sfoltitesto_main(int argc, char** argv);

// Whether a large file's copies are made beside the engine, by a thread of
// their own, where that pays; the benchmarks turn it off to time the
// program without.
extern bool copies_beside_engine;

// What the program says and returns when there is not memory enough even
// for its arguments.
int sfoltitesto_memory_exhausted();
