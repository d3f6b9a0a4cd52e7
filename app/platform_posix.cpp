// What the program needs of a POSIX system.
#include "app/platform.hpp"

#include <cassert>
#include <cerrno>
#include <fcntl.h>
#ifdef __linux__
#include <sched.h>
#endif
#include <sys/stat.h>
#include <unistd.h>

// A closed one is given the root folder, which is there even in a root
// holding nothing but the program, held as a path alone: it can be neither
// read nor written, and named again (/dev/stdout) it opens as the folder it
// is, which no file of the run may be.
void reserve_standard_streams()
{
#ifdef O_PATH
    constexpr int held_as = O_PATH | O_DIRECTORY;
#else
    constexpr int held_as = O_RDONLY | O_DIRECTORY;
#endif
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor is the closed one.
        [[maybe_unused]] const int held = open("/", held_as);
        assert(held == fd || held < 0);
    }
}

std::FILE* open_input(const char* name)
{
    return std::fopen(name, "r");
}

int open_for_writing(const char* name, creating how)
{
    const int create = how == creating::only_new     ? O_CREAT | O_EXCL
                       : how == creating::if_missing ? O_CREAT
                                                     : 0;
    return open(name, O_WRONLY | O_CLOEXEC | create, 0666);
}

std::FILE* stream_for_writing(int fd)
{
    return fdopen(fd, "w");
}

void close_descriptor(int fd)
{
    close(fd);
}

void remove_name(const char* name)
{
    unlink(name);
}

file_facts facts_of(std::FILE* stream)
{
    struct stat info {};
    file_facts file;
    if (fstat(fileno(stream), &info) != 0)
        return file;
    file.regular = S_ISREG(info.st_mode);
    file.directory = S_ISDIR(info.st_mode);
    file.size = static_cast<std::int64_t>(info.st_size);
    file.numbered = true;
    file.volume = static_cast<std::uint64_t>(info.st_dev);
    file.number = static_cast<std::uint64_t>(info.st_ino);
    return file;
}

bool empty_output(std::FILE* out, const file_facts& file)
{
    return !file.regular || file.size == 0 || ftruncate(fileno(out), 0) == 0;
}

bool writes_after_contents(std::FILE* stream, const file_facts& file)
{
    const int fd = fileno(stream);
    if (!file.regular)
        return true;
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1 && (flags & O_APPEND) != 0)
        return true;
    const off_t at = lseek(fd, 0, SEEK_CUR);
    return at >= 0 && at >= file.size;
}

int usable_processors()
{
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return CPU_COUNT(&set);
    return 1;
#else
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(online) : 1;
#endif
}
