#pragma once

#include <cstdint>
#include <cstdio>

// What differs between operating systems lives behind these few calls, each
// platform's in its own file (platform_posix.cpp, platform_windows.cpp); the
// policy over them is written once (platform.cpp), and the rest of the
// program is standard C++ over the C runtime's streams. None of them throws.

// How the platform's files hold text. Windows files are read and written in
// text mode (CR LF for each LF, a 1A ending the text): the program opens
// them in binary mode and does what text mode does itself, over whole
// blocks, where the C runtime would do it a byte at a time.
#ifdef _WIN32
inline constexpr bool files_are_text_streams = true;
#else
inline constexpr bool files_are_text_streams = false;
#endif

// Makes sure that standard input, output and error are open, before any
// file is: a file opened while one of them is closed would take its place,
// and a console line would go into it. One that was closed is given a
// descriptor that can be neither read nor written, so that using it fails,
// and that nothing can wait on when it is named as a file (/dev/stdout).
void reserve_standard_streams();

#ifdef _WIN32
// The command line in UTF-8 from the wide one the C runtime gives (the names
// as typed, where the narrow one has only what the ANSI code page holds);
// null when there is not memory enough.
char** utf8_arguments(int argc, wchar_t** wide);
#endif

// Opens a file by its UTF-8 name for reading, its bytes as they are.
std::FILE* open_input(const char* name);

// The calls the policy is written over. A descriptor for writing the file
// `name` names, from its start, without emptying it, or -1 with errno set.
enum class creating {
    no,         // only a file that is there
    only_new,   // only a file that is not there yet
    if_missing, // either
};
int open_for_writing(const char* name, creating how);
// A stream writing to the descriptor, its bytes as they are; null with errno
// set on failure.
std::FILE* stream_for_writing(int fd);
void close_descriptor(int fd);
void remove_name(const char* name);

// Opens or creates a file by its UTF-8 name for writing, its bytes as they
// are, from its start, without emptying it: empty_output does that once the
// run can go on. A name that leads to no file yet (a link to a file not yet
// there) creates it where it leads. A file this creates under the name is
// removed again if the stream cannot be made (one made where a link leads
// cannot be told from one another process made there meanwhile, and stays).
// On failure errno tells why (ENOMEM: not memory enough).
std::FILE* open_output(const char* name);

// What the run needs to know of the file behind an open stream, asked of
// the system once: every check is made on the file opened, never on a name
// looked up before, which another process could point elsewhere meanwhile.
struct file_facts {
    bool regular = false;   // a file that holds its contents
    bool directory = false; // opens, but cannot be read
    std::int64_t size = 0;
    // Which file it is, where the system could tell: the volume and the
    // file's number on it, by either of two ways of asking (Windows may
    // answer one and not the other; wine gives no volume for the shell's
    // streams, 0).
    bool numbered = false;
    std::uint64_t volume = 0;
    std::uint64_t number = 0;
    bool identified = false;
    std::uint64_t id_volume = 0;
    unsigned char id[16] = {};
};
file_facts facts_of(std::FILE* stream);

// True when the two are the same regular file.
bool same_regular_file(const file_facts& a, const file_facts& b);

// Empties the file `out` writes to, if it is one that holds contents and
// it is not empty already; false if that fails.
bool empty_output(std::FILE* out, const file_facts& file);

// How many processors this process may run on (1 when the system does
// not tell).
int usable_processors();

// True when writing to `stream`, whose file is `file`, adds after its
// contents (it appends, or stands at the end), as it always does on
// anything but a regular file.
bool writes_after_contents(std::FILE* stream, const file_facts& file);
