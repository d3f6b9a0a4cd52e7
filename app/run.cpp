#include <cstdio>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/platform.hpp"
#include "engine/period_transcription.hpp"

namespace {

constexpr std::size_t input_block = 256 * 1024;
constexpr std::size_t output_block = 128 * 1024;

int fail(const char* message)
{
    std::printf("%s", message);
    return 1;
}

} // namespace

int sfoltitesto_main(int argc, char** argv)
{
    const std::vector<std::string> args = utf8_arguments(argc, argv);
    if (args.size() < 3) {
        for (const char* line : usage_lines)
            std::printf("%s", line);
        return 1;
    }
    const std::string& input_name = args[1];
    const std::string& output_name = args[2];

    // Everything that could refuse the run is checked before the output is
    // opened, because opening it for writing empties it.
    std::FILE* in = open_text_file(input_name, "r");
    if (in == nullptr)
        return fail(input_open_error);
    if (is_directory(in)) {
        std::fclose(in);
        return fail(input_open_error);
    }
    if (is_same_regular_file(in, output_name)) {
        std::fclose(in);
        return fail(output_open_error);
    }
    std::FILE* out = open_text_file(output_name, "w");
    if (out == nullptr) {
        std::fclose(in);
        return fail(output_open_error);
    }

    // A fourth argument or more means the user did not use either form, so
    // the limit is not taken from the third.
    if (args.size() == 4)
        word_limit = parse_limit(args[3].c_str());
    std::printf(announcement, input_name.c_str(), output_name.c_str(),
                static_cast<int>(word_limit));

    // Large blocks make the run cost about what copying the file costs; the
    // memory stays the same whatever the size of the input.
    std::vector<unsigned char> input_buffer(input_block + input_slack);
    std::vector<unsigned char> output_buffer(output_block);
    text_input input = make_text_input(in, input_buffer.data(), input_block);
    text_output output = make_text_output(out, output_buffer.data(), output_block);

    transcribe_text(input, output);

    const bool read_failed = std::ferror(in) != 0;
    bool write_failed = !flush_output(output);
    write_failed = std::fflush(out) != 0 || write_failed;
    write_failed = std::fclose(out) != 0 || write_failed;
    std::fclose(in);
    if (read_failed)
        return fail(read_error);
    if (write_failed)
        return fail(write_error);

    std::printf(completion, output_name.c_str());
    return 0;
}
