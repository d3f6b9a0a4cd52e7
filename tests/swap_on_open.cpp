// Preloaded into the program by the end-to-end tests (LD_PRELOAD): just
// before the program opens SFOLTITESTO_SWAP_NAME for writing, that name is
// made a link to SFOLTITESTO_SWAP_TARGET, as another process could do at
// that moment. What the program decided on the name before then no longer
// holds; only what it decides on the file it opened can.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

namespace {

using open_function = int (*)(const char*, int, ...);

int swapped_open(const char* real_name, const char* path, int flags, std::va_list more)
{
    const mode_t mode = (flags & O_CREAT) != 0 ? static_cast<mode_t>(va_arg(more, int)) : 0;
    const char* name = std::getenv("SFOLTITESTO_SWAP_NAME");
    const char* target = std::getenv("SFOLTITESTO_SWAP_TARGET");
    if (name != nullptr && target != nullptr && (flags & (O_WRONLY | O_RDWR)) != 0 &&
        std::strcmp(path, name) == 0) {
        unlink(name);
        if (symlink(target, name) != 0)
            std::abort();
    }
    const auto real = reinterpret_cast<open_function>(dlsym(RTLD_NEXT, real_name));
    return real(path, flags, mode);
}

} // namespace

extern "C" int open(const char* path, int flags, ...)
{
    std::va_list more;
    va_start(more, flags);
    const int fd = swapped_open("open", path, flags, more);
    va_end(more);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...)
{
    std::va_list more;
    va_start(more, flags);
    const int fd = swapped_open("open64", path, flags, more);
    va_end(more);
    return fd;
}
