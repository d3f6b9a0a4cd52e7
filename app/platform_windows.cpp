// What the program needs of Windows and its C runtime.
#include "app/platform.hpp"

#include <cerrno>
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

int open_for_writing(const char* name, creating how)
{
    const wide_text wide = widen(name);
    if (wide == nullptr)
        return -1;
    const int create = how == creating::only_new     ? _O_CREAT | _O_EXCL
                       : how == creating::if_missing ? _O_CREAT
                                                     : 0;
    return _wopen(wide.get(), _O_WRONLY | _O_BINARY | create, _S_IREAD | _S_IWRITE);
}

std::FILE* stream_for_writing(int fd)
{
    return _fdopen(fd, "wb");
}

void close_descriptor(int fd)
{
    _close(fd);
}

void remove_name(const char* name)
{
    const wide_text wide = widen(name);
    if (wide != nullptr)
        _wremove(wide.get());
}

// Wine cannot read the whole identity of a handle it made from a standard
// stream of the shell that started it (`wine sfoltitesto.exe ... >> file`):
// its file's number can be read, and its volume is then 0.
file_facts facts_of(std::FILE* stream)
{
    file_facts file;
    const HANDLE handle = handle_of(stream);
    if (!is_disk_file(handle))
        return file;
    BY_HANDLE_FILE_INFORMATION info;
    FILE_ID_INFO id;
    FILE_STANDARD_INFO standard;
    if (GetFileInformationByHandle(handle, &info) != 0) {
        file.directory = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        file.size = static_cast<std::int64_t>(
            (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
        file.numbered = true;
        file.volume = info.dwVolumeSerialNumber;
        file.number = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    } else if (GetFileInformationByHandleEx(handle, FileStandardInfo, &standard, sizeof standard) !=
               0) {
        file.directory = standard.Directory != 0;
        file.size = standard.EndOfFile.QuadPart;
    } else {
        // Nothing told its size: taken as holding something, so that it is
        // emptied, and not as one that writing adds to.
        file.size = INT64_MAX;
    }
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) != 0) {
        file.identified = true;
        file.id_volume = id.VolumeSerialNumber;
        static_assert(sizeof id.FileId == sizeof file.id);
        std::memcpy(file.id, &id.FileId, sizeof file.id);
    }
    file.regular = !file.directory;
    return file;
}

bool empty_output(std::FILE* out, const file_facts& file)
{
    return !file.regular || file.size == 0 || _chsize(_fileno(out), 0) == 0;
}

bool writes_after_contents(std::FILE* stream, const file_facts& file)
{
    LARGE_INTEGER at;
    if (!file.regular)
        return true;
    at.QuadPart = 0;
    return SetFilePointerEx(handle_of(stream), at, &at, FILE_CURRENT) != 0 &&
           at.QuadPart >= file.size;
}

int usable_processors()
{
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) == 0)
        return 1;
    int count = 0;
    for (; process != 0; process &= process - 1)
        ++count;
    return count;
}
