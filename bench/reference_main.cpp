// The plain engine run over two files, with none of the program's checks:
// only for timing against the program.
#include <cstdio>
#include <cstdlib>

#include "engine/period_transcription.hpp"
#include "reference/reference_engine.hpp"

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    std::FILE* in = std::fopen(argv[1], "r");
    std::FILE* out = std::fopen(argv[2], "w");
    if (in == nullptr || out == nullptr)
        return 1;
    if (argc > 3)
        word_limit = static_cast<std::int32_t>(std::atoi(argv[3]));
    reference::transcribe_text(in, out);
    return std::fclose(out) == 0 ? 0 : 1;
}
