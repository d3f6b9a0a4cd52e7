#pragma once

#include <cstdio>
#include <string>
#include <vector>

// What differs between operating systems lives behind these few calls; the
// rest of the program is standard C++ over the C runtime's streams.

// Makes sure that standard input, output and error are open, before any
// file is: a file opened while one of them is closed would take its place,
// and a console line would go into it. One that was closed is given a
// descriptor that cannot be used its way (standard output one that cannot
// be written), so that using it still fails.
void reserve_standard_streams();

// The command line as UTF-8 strings, the program name first.
std::vector<std::string> utf8_arguments(int argc, char** argv);

// Opens a file by its UTF-8 name as a text stream ("r" or "w").
std::FILE* open_text_file(const std::string& name, const char* mode);

// True when the open stream is a directory, which opens but cannot be read.
bool is_directory(std::FILE* file);

// True when `name` is the regular file that `in` is reading, under any name
// (a link, another spelling of the path): opening it for writing would empty
// the input before it is read.
bool is_same_regular_file(std::FILE* in, const std::string& name);
