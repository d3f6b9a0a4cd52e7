// The policy of the program's files, written once over the calls each
// platform's file gives.
#include "app/platform.hpp"

#include <cerrno>
#include <cstring>

std::FILE* open_output(const char* name)
{
    // Open what is there; else create it, and only then is it ours to
    // remove. Another process may create it in between: open that one. A
    // link to a file not yet there exists but opens nothing, and creating
    // only a new file does not follow it: create the file it leads to,
    // which cannot be told from one made in between, so it is not removed.
    bool created = false;
    int fd = open_for_writing(name, creating::no);
    if (fd < 0 && errno == ENOENT) {
        fd = open_for_writing(name, creating::only_new);
        created = fd >= 0;
        if (fd < 0 && errno == EEXIST)
            fd = open_for_writing(name, creating::no);
        if (fd < 0 && errno == ENOENT)
            fd = open_for_writing(name, creating::if_missing);
    }
    if (fd < 0)
        return nullptr;
    std::FILE* out = stream_for_writing(fd);
    if (out == nullptr) {
        const int error = errno;
        close_descriptor(fd);
        if (created)
            remove_name(name);
        errno = error;
    }
    return out;
}

bool same_regular_file(const file_facts& a, const file_facts& b)
{
    if (!a.regular || !b.regular)
        return false;
    if (a.numbered && b.numbered)
        return a.volume == b.volume && a.number == b.number;
    return a.identified && b.identified &&
           (a.id_volume == b.id_volume || a.id_volume == 0 || b.id_volume == 0) &&
           std::memcmp(a.id, b.id, sizeof a.id) == 0;
}
