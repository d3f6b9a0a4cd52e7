// Copies a file through the C runtime's streams, 256 KiB at a time, opened
// as text streams ("r", "w") or binary ones ("rb", "wb"): the yardsticks the
// program is timed against on Windows.
// Usage: stream_copy text|binary INPUT OUTPUT
#include <cstdio>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const bool text = std::strcmp(argv[1], "text") == 0;
    std::FILE* in = std::fopen(argv[2], text ? "r" : "rb");
    std::FILE* out = std::fopen(argv[3], text ? "w" : "wb");
    if (in == nullptr || out == nullptr)
        return 1;
    std::vector<char> block(256 * 1024);
    for (std::size_t got; (got = std::fread(block.data(), 1, block.size(), in)) > 0;)
        if (std::fwrite(block.data(), 1, got, out) != got)
            return 1;
    return std::fclose(out) == 0 && std::ferror(in) == 0 ? 0 : 1;
}
