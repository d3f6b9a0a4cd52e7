// Preloaded into the program by the end-to-end tests (LD_PRELOAD), to make
// happen at one exact moment what a real system does only by chance:
// - SFOLTITESTO_SWAP_NAME and SFOLTITESTO_SWAP_TARGET: just before the
//   program opens that name for writing, the name is made a link to the
//   target, as another process could do at that moment;
// - SFOLTITESTO_FAIL=fdopen: no stream can be made from a descriptor (as
//   without memory for one);
// - SFOLTITESTO_FAIL=fclose: closing the stream made from a descriptor (the
//   output) fails, as a last write the system kept back can.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

bool failing(const char* call)
{
    const char* fail = std::getenv("SFOLTITESTO_FAIL");
    return fail != nullptr && std::strcmp(fail, call) == 0;
}

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
    return next<open_function>(real_name)(path, flags, mode);
}

std::FILE* made_from_descriptor = nullptr;

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

extern "C" std::FILE* fdopen(int fd, const char* mode)
{
    if (failing("fdopen")) {
        errno = ENOMEM;
        return nullptr;
    }
    made_from_descriptor = next<std::FILE* (*)(int, const char*)>("fdopen")(fd, mode);
    return made_from_descriptor;
}

extern "C" int fclose(std::FILE* stream)
{
    const int result = next<int (*)(std::FILE*)>("fclose")(stream);
    if (stream != made_from_descriptor || !failing("fclose"))
        return result;
    errno = EIO;
    return EOF;
}
