#include <cstdarg>
#include <cstdio>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "app/command_line.hpp"
#include "app/platform.hpp"
#include "engine/output_sink.hpp"
#include "engine/period_transcription.hpp"

namespace {

constexpr std::size_t input_block = 256 * 1024;
constexpr std::size_t output_block = 128 * 1024;

// A script that reads the console must not be told that all went well when
// the console text could not be written (a full disk behind `>`), so every
// line is checked, and standard output once more at the end.
bool console_failed = false;

void say(const char* format, ...)
{
    std::va_list values;
    va_start(values, format);
    if (std::vprintf(format, values) < 0)
        console_failed = true;
    va_end(values);
}

int finish(int status)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0 || console_failed)
        return 1;
    return status;
}

int fail(const char* message)
{
    say("%s", message);
    return finish(1);
}

int usage(int status, std::span<const char* const> lines = usage_lines)
{
    for (const char* line : lines)
        say("%s", line);
    return finish(status);
}

} // namespace

int sfoltitesto_main(int argc, char** argv)
{
    const std::vector<std::string> args = utf8_arguments(argc, argv);
    // Asked for, the usage text is no error. Neither form has one argument,
    // so these cannot be taken for a file name.
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h"))
        return usage(0, help_lines);
    if (args.size() == 2 && args[1] == "--version") {
        say("sfoltitesto %s\n", SFOLTITESTO_VERSION);
        return finish(0);
    }
    if (args.size() < 3)
        return usage(1);
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
    // Nor may the output be the file that standard output writes to: it
    // would be emptied, and the console lines written over the result.
    if (is_same_regular_file(in, output_name) || is_same_regular_file(stdout, output_name)) {
        std::fclose(in);
        return fail(output_open_error);
    }
    // And so is what the run needs: large blocks make it cost about what
    // copying the file costs, and the memory stays the same whatever the
    // size of the input.
    std::unique_ptr<unsigned char[]> input_buffer;
    std::unique_ptr<unsigned char[]> output_buffer;
    try {
        input_buffer = std::make_unique_for_overwrite<unsigned char[]>(input_block + input_slack);
        output_buffer = std::make_unique_for_overwrite<unsigned char[]>(output_block);
    } catch (const std::bad_alloc&) {
        std::fclose(in);
        return fail(memory_error);
    }
    std::FILE* out = open_text_file(output_name, "w");
    if (out == nullptr) {
        std::fclose(in);
        return fail(output_open_error);
    }
    stream_sink sink(out);

    // A fourth argument or more means the user did not use either form, so
    // the limit is not taken from the third.
    if (args.size() == 4)
        word_limit = parse_limit(args[3].c_str());
    say(announcement, input_name.c_str(), output_name.c_str(), static_cast<int>(word_limit));
    // Before the work, so that the announcement comes first when the result
    // goes down the same pipe.
    if (std::fflush(stdout) != 0)
        console_failed = true;

    text_input input = make_text_input(in, input_buffer.get(), input_block, &sink);
    text_output output = make_text_output(sink, output_buffer.get(), output_block);
    transcribe_text(input, output);
    flush_output(output);
    run_outcome outcome = sink.finish();
    if (std::fclose(out) != 0 && outcome == run_outcome::done)
        outcome = run_outcome::write_failed;
    std::fclose(in);
    switch (outcome) {
    case run_outcome::read_failed:
        return fail(read_error);
    case run_outcome::write_failed:
        return fail(write_error);
    case run_outcome::done:
        break;
    }
    say(completion, output_name.c_str());
    return finish(0);
}

int sfoltitesto_memory_exhausted()
{
    return fail(memory_error);
}
