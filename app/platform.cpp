#include "app/platform.hpp"

#ifdef _WIN32

#include <windows.h>

#include <cstdlib>
#include <io.h>
#include <shellapi.h>

namespace {

std::wstring widen(const std::string& text)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(size > 0 ? static_cast<std::size_t>(size) : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

std::string narrow(const wchar_t* wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.resize(text.size() - 1);
    return text;
}

UINT console_code_page = 0;

void restore_console()
{
    SetConsoleOutputCP(console_code_page);
}

bool file_info(HANDLE file, BY_HANDLE_FILE_INFORMATION* info)
{
    return file != INVALID_HANDLE_VALUE && GetFileType(file) == FILE_TYPE_DISK &&
           GetFileInformationByHandle(file, info) != 0;
}

} // namespace

void reserve_standard_streams()
{
    // The C runtime keeps the standard streams apart from the files a
    // program opens: a closed one is not reused here.
}

std::vector<std::string> utf8_arguments(int, char**)
{
    // The narrow arguments are in the ANSI code page and lose what it cannot
    // hold; the wide ones are the names as typed.
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i)
        args.push_back(narrow(wide[i]));
    LocalFree(wide);
    // Names are printed in UTF-8; the console gets its own code page back at exit.
    console_code_page = GetConsoleOutputCP();
    if (console_code_page != 0 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(restore_console);
    return args;
}

std::FILE* open_text_file(const std::string& name, const char* mode)
{
    return _wfopen(widen(name).c_str(), mode[0] == 'w' ? L"w" : L"r");
}

bool is_directory(std::FILE* file)
{
    BY_HANDLE_FILE_INFORMATION info;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return file_info(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool is_same_regular_file(std::FILE* in, const std::string& name)
{
    // The C runtime shares files freely here, so the platform would not
    // refuse to truncate the file being read: compare the files themselves.
    BY_HANDLE_FILE_INFORMATION input;
    BY_HANDLE_FILE_INFORMATION output;
    const auto in_handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(in)));
    if (!file_info(in_handle, &input))
        return false;
    HANDLE out_handle =
        CreateFileW(widen(name).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = file_info(out_handle, &output);
    if (out_handle != INVALID_HANDLE_VALUE)
        CloseHandle(out_handle);
    return known && input.dwVolumeSerialNumber == output.dwVolumeSerialNumber &&
           input.nFileIndexHigh == output.nFileIndexHigh &&
           input.nFileIndexLow == output.nFileIndexLow;
}

#else

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void reserve_standard_streams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // An end of a pipe of our own, the wrong one for the stream (the
        // end written to for standard input, the end read from for the
        // others), so that using it fails. Unlike the null device, a pipe
        // is there even in a root holding nothing but the program.
        int ends[2];
        if (pipe(ends) != 0)
            continue;
        const int kept = fd == STDIN_FILENO ? ends[1] : ends[0];
        if (kept != fd)
            dup2(kept, fd);
        for (const int end : ends)
            if (end != fd)
                close(end);
    }
}

std::vector<std::string> utf8_arguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

std::FILE* open_text_file(const std::string& name, const char* mode)
{
    return std::fopen(name.c_str(), mode);
}

bool is_directory(std::FILE* file)
{
    struct stat info {};
    return fstat(fileno(file), &info) == 0 && S_ISDIR(info.st_mode);
}

bool is_same_regular_file(std::FILE* in, const std::string& name)
{
    struct stat input {};
    struct stat output {};
    if (fstat(fileno(in), &input) != 0 || stat(name.c_str(), &output) != 0)
        return false;
    return S_ISREG(input.st_mode) && S_ISREG(output.st_mode) && input.st_dev == output.st_dev &&
           input.st_ino == output.st_ino;
}

#endif
