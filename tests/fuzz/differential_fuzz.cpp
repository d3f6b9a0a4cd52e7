// Feeds the same bytes to the fast engine and the plain one and stops at the
// first difference. Built for libFuzzer, or with a main that replays files.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "reference/text_streams.hpp"
#include "stream_support.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    // The first bytes choose the limit, the block size and how full the
    // output buffer gets before it is handed over (at every window, or
    // seldom).
    const std::int32_t limit = data[0] % 54 - 3;
    const std::size_t block = data[1] < 240 ? 1 + data[1] % 70 : 256 * 1024;
    const std::size_t flush_at = data[2] < 128 ? data[2] : 192 + 4 * std::size_t{data[2]};
    const std::string input(reinterpret_cast<const char*>(data) + 3, size - 3);

    const std::string plain = condense_reference(input, limit);
    // The same bytes as a Windows text file, read and written as a text
    // stream does it.
    const std::string text = reference::stored_in_text_mode(
        condense_reference(reference::read_in_text_mode(input), limit));
    for (const instruction_set set : runnable_instruction_sets()) {
        for (const drive how : {drive::one_pass, drive::alternating}) {
            for (const file_bytes files : {file_bytes::as_they_are, file_bytes::in_text_mode}) {
                const std::string& expected = files == file_bytes::in_text_mode ? text : plain;
                const std::string got = condense(input, limit, block, flush_at, set, how, files);
                if (got != expected) {
                    std::fprintf(stderr,
                                 "limit %d, block %zu, flush at %zu, instructions %s, %s%s\n"
                                 "input    %s\nexpected %s\ngot      %s\n",
                                 static_cast<int>(limit), block, flush_at, name_of(set),
                                 how == drive::one_pass ? "one pass" : "alternating",
                                 files == file_bytes::in_text_mode ? ", as text" : "",
                                 escaped(input).c_str(), escaped(expected).c_str(),
                                 escaped(got).c_str());
                    std::abort();
                }
            }
        }
    }
    return 0;
}

#ifdef SFOLTITESTO_FUZZ_REPLAY
int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        std::ifstream file(argv[i], std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(file), {}};
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("replayed %d inputs\n", argc - 1);
    return 0;
}
#endif
