#include "app/platform.hpp"

#include <cerrno>

#ifdef _WIN32

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <memory>
#include <sys/stat.h>

namespace {

struct free_memory {
    void operator()(void* p) const
    {
        std::free(p);
    }
};

using wide_text = std::unique_ptr<wchar_t[], free_memory>;

// `text` in UTF-16, or null (errno ENOMEM) without memory for it.
wide_text widen(const char* text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    wide_text wide(static_cast<wchar_t*>(
        std::malloc(sizeof(wchar_t) * static_cast<std::size_t>(size > 0 ? size : 1))));
    if (wide == nullptr) {
        errno = ENOMEM;
        return nullptr;
    }
    wide[0] = L'\0';
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.get(), size);
    return wide;
}

UINT console_code_page = 0;

void restore_console()
{
    SetConsoleOutputCP(console_code_page);
}

HANDLE handle_of(std::FILE* stream)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

bool is_disk_file(HANDLE file)
{
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK;
}

// Whether two handles are the same file (not a folder). Wine cannot read
// the whole identity of a handle it made from a standard stream of the
// shell that started it (`wine sfoltitesto.exe ... >> file`): its file's
// number can be read, and its volume is then 0.
bool same_file(HANDLE a, HANDLE b)
{
    if (!is_disk_file(a) || !is_disk_file(b))
        return false;
    BY_HANDLE_FILE_INFORMATION x;
    BY_HANDLE_FILE_INFORMATION y;
    if (GetFileInformationByHandle(a, &x) != 0 && GetFileInformationByHandle(b, &y) != 0)
        return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
               x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow &&
               (x.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    FILE_ID_INFO x_id;
    FILE_ID_INFO y_id;
    FILE_BASIC_INFO basic;
    if (GetFileInformationByHandleEx(a, FileIdInfo, &x_id, sizeof x_id) == 0 ||
        GetFileInformationByHandleEx(b, FileIdInfo, &y_id, sizeof y_id) == 0)
        return false;
    const bool same_volume = x_id.VolumeSerialNumber == y_id.VolumeSerialNumber ||
                             x_id.VolumeSerialNumber == 0 || y_id.VolumeSerialNumber == 0;
    const bool folder = GetFileInformationByHandleEx(b, FileBasicInfo, &basic, sizeof basic) != 0 &&
                        (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return same_volume && !folder &&
           std::memcmp(&x_id.FileId, &y_id.FileId, sizeof x_id.FileId) == 0;
}

} // namespace

void reserve_standard_streams()
{
    // The C runtime keeps the standard streams apart from the files a
    // program opens: a closed one is not reused here.
}

char** utf8_arguments(int argc, wchar_t** wide)
{
    // One block: the pointers, then the texts.
    std::size_t bytes = sizeof(char*) * (static_cast<std::size_t>(argc) + 1);
    for (int i = 0; i < argc; ++i)
        bytes += static_cast<std::size_t>(
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr));
    char** args = static_cast<char**>(std::malloc(bytes));
    if (args == nullptr)
        return nullptr;
    char* text = reinterpret_cast<char*>(args + argc + 1);
    char* const end = reinterpret_cast<char*>(args) + bytes;
    for (int i = 0; i < argc; ++i) {
        args[i] = text;
        text += WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text, static_cast<int>(end - text),
                                    nullptr, nullptr);
    }
    args[argc] = nullptr;
    // Names are printed in UTF-8; the console gets its own code page back at exit.
    console_code_page = GetConsoleOutputCP();
    if (console_code_page != 0 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(restore_console);
    return args;
}

std::FILE* open_input(const char* name)
{
    const wide_text wide = widen(name);
    return wide != nullptr ? _wfopen(wide.get(), L"rb") : nullptr;
}

std::FILE* open_output(const char* name)
{
    const wide_text wide = widen(name);
    if (wide == nullptr)
        return nullptr;
    bool created = false;
    int fd = _wopen(wide.get(), _O_WRONLY | _O_BINARY);
    if (fd < 0 && errno == ENOENT) {
        fd = _wopen(wide.get(), _O_WRONLY | _O_BINARY | _O_CREAT | _O_EXCL, _S_IREAD | _S_IWRITE);
        created = fd >= 0;
    }
    if (fd < 0)
        return nullptr;
    std::FILE* out = _fdopen(fd, "wb");
    if (out == nullptr) {
        const int error = errno;
        _close(fd);
        if (created)
            _wremove(wide.get());
        errno = error;
    }
    return out;
}

bool empty_output(std::FILE* out)
{
    return !is_disk_file(handle_of(out)) || _chsize(_fileno(out), 0) == 0;
}

bool is_directory(std::FILE* file)
{
    BY_HANDLE_FILE_INFORMATION info;
    const HANDLE handle = handle_of(file);
    return is_disk_file(handle) && GetFileInformationByHandle(handle, &info) != 0 &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool is_same_regular_file(std::FILE* stream, const char* name)
{
    // The C runtime shares files freely here, so the platform would not
    // refuse to truncate the file being read: compare the files themselves.
    const wide_text wide = widen(name);
    if (wide == nullptr)
        return false;
    const HANDLE named =
        CreateFileW(wide.get(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool same = same_file(handle_of(stream), named);
    if (named != INVALID_HANDLE_VALUE)
        CloseHandle(named);
    return same;
}

bool are_same_regular_file(std::FILE* a, std::FILE* b)
{
    return same_file(handle_of(a), handle_of(b));
}

bool writes_after_contents(std::FILE* stream)
{
    const HANDLE file = handle_of(stream);
    LARGE_INTEGER at;
    LARGE_INTEGER size;
    if (!is_disk_file(file))
        return true;
    at.QuadPart = 0;
    return SetFilePointerEx(file, at, &at, FILE_CURRENT) != 0 && GetFileSizeEx(file, &size) != 0 &&
           at.QuadPart >= size.QuadPart;
}

#else

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool regular_file(int fd, struct stat* info)
{
    return fstat(fd, info) == 0 && S_ISREG(info->st_mode);
}

} // namespace

void reserve_standard_streams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
            // The root folder, which is there even in a root holding nothing
            // but the program, held as a path alone: it can be neither read nor
            // written, and named again (/dev/stdout) it opens as the folder it
            // is, which no file of the run may be. The lowest free descriptor
            // is the closed one.
#ifdef O_PATH
        const int held = open("/", O_PATH | O_DIRECTORY);
#else
        const int held = open("/", O_RDONLY | O_DIRECTORY);
#endif
        if (held >= 0 && held != fd) {
            dup2(held, fd);
            close(held);
        }
    }
}

std::FILE* open_input(const char* name)
{
    return std::fopen(name, "r");
}

std::FILE* open_output(const char* name)
{
    bool created = false;
    int fd = open(name, O_WRONLY | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        fd = open(name, O_WRONLY | O_CLOEXEC | O_CREAT | O_EXCL, 0666);
        created = fd >= 0;
    }
    if (fd < 0)
        return nullptr;
    std::FILE* out = fdopen(fd, "w");
    if (out == nullptr) {
        const int error = errno;
        close(fd);
        if (created)
            unlink(name);
        errno = error;
    }
    return out;
}

bool empty_output(std::FILE* out)
{
    struct stat info {};
    return !regular_file(fileno(out), &info) || ftruncate(fileno(out), 0) == 0;
}

bool is_directory(std::FILE* file)
{
    struct stat info {};
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

bool is_same_regular_file(std::FILE* stream, const char* name)
{
    struct stat opened {};
    struct stat named {};
    return regular_file(fileno(stream), &opened) && stat(name, &named) == 0 &&
           S_ISREG(named.st_mode) && opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

bool are_same_regular_file(std::FILE* a, std::FILE* b)
{
    struct stat x {};
    struct stat y {};
    return regular_file(fileno(a), &x) && regular_file(fileno(b), &y) && x.st_dev == y.st_dev &&
           x.st_ino == y.st_ino;
}

bool writes_after_contents(std::FILE* stream)
{
    const int fd = fileno(stream);
    struct stat info {};
    if (!regular_file(fd, &info))
        return true;
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1 && (flags & O_APPEND) != 0)
        return true;
    const off_t at = lseek(fd, 0, SEEK_CUR);
    return at >= 0 && at >= info.st_size;
}

#endif
