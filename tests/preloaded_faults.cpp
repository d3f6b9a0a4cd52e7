// Preloaded into the program by the end-to-end tests (LD_PRELOAD), to make
// happen at one exact moment what a real system does only by chance:
// - SFOLTITESTO_SWAP_NAME and SFOLTITESTO_SWAP_TARGET: just before the
//   program opens that name for writing, the name is made a link to the
//   target, as another process could do at that moment;
// - SFOLTITESTO_FAIL=fdopen: no stream can be made from a descriptor (as
//   without memory for one);
// - SFOLTITESTO_FAIL=fclose: closing the stream made from a descriptor (the
//   output) fails, as a last write the system kept back can;
// - SFOLTITESTO_FAIL=fread:main, fread:worker, fwrite:main or fwrite:worker,
//   with SFOLTITESTO_FAIL_AT=n: the n-th read of a stream (or write) fails,
//   as a disk's can, and it must be made by the program's main thread or by
//   another one: if not, the program is aborted, so that a test cannot
//   pass without the failure it means.
// The library defines fread itself, which a fortified build's headers
// define inline around the C library's.
#undef _FORTIFY_SOURCE

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>

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

namespace {

// Whether the n-th call of `call` (fread or fwrite) is to fail, the thread
// checked: the stream's descriptor is then one that cannot do it for the
// call, so that the C library meets a real failure and keeps it in the
// stream's error flag.
bool fails_now(const char* call, std::atomic<int>& calls)
{
    const char* fail = std::getenv("SFOLTITESTO_FAIL");
    const char* at = std::getenv("SFOLTITESTO_FAIL_AT");
    const std::size_t length = std::strlen(call);
    if (fail == nullptr || at == nullptr || std::strncmp(fail, call, length) != 0 ||
        fail[length] != ':' || ++calls != std::atoi(at))
        return false;
    const bool on_main = gettid() == getpid();
    if (on_main != (std::strcmp(fail + length + 1, "main") == 0))
        std::abort();
    return true;
}

template <typename Call> std::size_t failing_on(std::FILE* stream, int unusable_mode, Call call)
{
    const int fd = fileno(stream);
    const int kept = dup(fd);
    const int unusable = open("/dev/null", unusable_mode);
    dup2(unusable, fd);
    const std::size_t done = call();
    dup2(kept, fd);
    close(kept);
    close(unusable);
    return done;
}

std::atomic<int> reads{0};
std::atomic<int> writes{0};

using fread_function = std::size_t (*)(void*, std::size_t, std::size_t, std::FILE*);

std::size_t read_stream(const char* real, void* into, std::size_t size, std::size_t count,
                        std::FILE* stream)
{
    const auto read = next<fread_function>(real);
    if (!fails_now("fread", reads))
        return read(into, size, count, stream);
    return failing_on(stream, O_WRONLY, [&] { return read(into, size, count, stream); });
}

} // namespace

extern "C" std::size_t fread(void* into, std::size_t size, std::size_t count, std::FILE* stream)
{
    return read_stream("fread", into, size, count, stream);
}

extern "C" std::size_t __fread_chk(void* into, std::size_t room, std::size_t size,
                                   std::size_t count, std::FILE* stream)
{
    (void)room;
    return read_stream("fread", into, size, count, stream);
}

extern "C" std::size_t fwrite(const void* bytes, std::size_t size, std::size_t count,
                              std::FILE* stream)
{
    using fwrite_function = std::size_t (*)(const void*, std::size_t, std::size_t, std::FILE*);
    const auto write = next<fwrite_function>("fwrite");
    if (!fails_now("fwrite", writes))
        return write(bytes, size, count, stream);
    return failing_on(stream, O_RDONLY, [&] { return write(bytes, size, count, stream); });
}
