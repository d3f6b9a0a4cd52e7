#include "app/platform.hpp"

#include <sys/stat.h>

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
