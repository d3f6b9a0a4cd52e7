#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "app/command_line.hpp"
#include "app/platform.hpp"
#include "engine/copy_worker.hpp"
#include "engine/period_transcription.hpp"
#include "engine/run_outcome.hpp"
#include "engine/text_input.hpp"
#include "engine/text_mode.hpp"

bool copies_beside_engine = true;

namespace {

constexpr std::size_t input_block = 256 * 1024;
constexpr std::size_t output_block = 128 * 1024;
// With the copies made beside the engine, each hand-over between the two
// threads may wait for one to wake, which takes tens of microseconds and
// more in a virtual machine: fewer, larger blocks wait less often.
constexpr std::size_t overlapped_input_block = 1024 * 1024;
constexpr std::size_t overlapped_output_block = 512 * 1024;
constexpr file_bytes platform_files =
    files_are_text_streams ? file_bytes::in_text_mode : file_bytes::as_they_are;

// Large blocks make the run cost about what copying the file costs, and the
// memory stays the same whatever the size of the input. A file much smaller
// than a block is read in one block of about its size, and the output goes
// through a buffer to match: large buffers would be mapped, faulted in and
// given back for nothing, which costs a small text's run more than its work.
// (Where the output is stored as text mode stores it, a piece at a time,
// its staging buffer goes with the output's.)
//
// The copies of a file of more than one large block are made beside the
// engine, by a thread of their own, where a second processor can make them:
// the next blocks read, and the last piece written, while the engine works
// on the one between (spare buffers for the blocks read ahead, and one for
// the output). Only a file's: its reads never wait for more than the run
// reads anyway, where a pipe's could wait for input the run will not use.
struct buffer_sizes {
    std::size_t input;
    std::size_t output;
    bool overlapped = false;
};

buffer_sizes buffer_sizes_for(const file_facts& input)
{
    constexpr std::size_t page = 4096;
    if (!input.regular || input.size < 0)
        return {input_block, output_block};
    const auto size = static_cast<std::uint64_t>(input.size);
    if (size > overlapped_input_block && copies_beside_engine && usable_processors() >= 2)
        return {overlapped_input_block, overlapped_output_block, true};
    if (size >= input_block / 16)
        return {input_block, output_block};
    // All of it and the read that meets its end, in whole pages; each byte
    // of it may give two of the output (a ';' and its LF).
    const std::size_t block = (static_cast<std::size_t>(input.size) / page + 1) * page;
    return {block, 2 * block};
}

// The buffers come from malloc: the program needs no C++ runtime library,
// whose loading would cost a small text's run more than its work.
struct free_memory {
    void operator()(void* p) const
    {
        std::free(p);
    }
};
using buffer = std::unique_ptr<unsigned char[], free_memory>;

buffer allocate(std::size_t size)
{
    return buffer(static_cast<unsigned char*>(std::malloc(size)));
}

void say(const char* format, ...)
{
    std::va_list values;
    va_start(values, format);
    std::vprintf(format, values);
    va_end(values);
}

// A script that reads the console must not be told that all went well when
// the console text could not be written (a full disk behind `>`): the
// stream's error flag keeps every failure of its lines, flushed at the end.
int finish(int status)
{
    std::fflush(stdout);
    return std::ferror(stdout) != 0 ? 1 : status;
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

bool is(const char* argument, const char* text)
{
    return std::strcmp(argument, text) == 0;
}

// Refuses the run, which leaves what `kept` holds as it is. The message
// goes where it harms nothing: to standard output, unless that writes over
// `kept`; else to standard error, unless that does too; else nowhere, and
// the status says it.
int refuse(const char* message, const file_facts& kept, const file_facts& console)
{
    std::FILE* told = stdout;
    if (same_regular_file(kept, console) && !writes_after_contents(stdout, console)) {
        const file_facts errors = facts_of(stderr);
        told = !same_regular_file(kept, errors) || writes_after_contents(stderr, errors) ? stderr
                                                                                         : nullptr;
    }
    if (told == nullptr)
        return 1;
    std::fputs(message, told);
    return told == stdout ? finish(1) : 1;
}

// The copies made beside the engine, with their spare buffers. Without
// memory for those or a thread, the run makes its copies itself.
// The worker is the last member, so the first to go: it has stopped before
// the buffers it reads into and writes from are freed.
struct overlap {
    buffer inputs[blocks_read_ahead];
    unsigned char* input_buffers[blocks_read_ahead] = {};
    buffer output;
    copy_worker worker;

    bool start(const buffer_sizes& sizes)
    {
        if (!sizes.overlapped)
            return false;
        for (std::size_t i = 0; i < blocks_read_ahead; ++i) {
            inputs[i] = allocate(sizes.input + input_slack);
            if (inputs[i] == nullptr)
                return false;
            input_buffers[i] = inputs[i].get();
        }
        output = allocate(sizes.output);
        return output != nullptr && worker.start();
    }
};

} // namespace

int sfoltitesto_main(int argc, char** argv)
{
    // Asked for, the usage text is no error. Neither form has one argument,
    // so these cannot be taken for a file name.
    if (argc == 2 && (is(argv[1], "--help") || is(argv[1], "-h")))
        return usage(0, help_lines);
    if (argc == 2 && is(argv[1], "--version")) {
        say("sfoltitesto %s\n", SFOLTITESTO_VERSION);
        return finish(0);
    }
    if (argc < 3)
        return usage(1);
    const char* const input_name = argv[1];
    const char* const output_name = argv[2];

    // Whatever could refuse the run is checked before the output is
    // created, but for what only the opened output can tell; the output is
    // emptied only once the run is under way.
    std::FILE* in = open_input(input_name);
    if (in == nullptr)
        return fail(errno == ENOMEM ? memory_error : input_open_error);
    // The engine reads in blocks of its own: the stream needs no
    // buffer, nor to ask about the file to size one.
    std::setvbuf(in, nullptr, _IONBF, 0);
    const file_facts input_file = facts_of(in);
    if (input_file.directory) {
        std::fclose(in);
        return fail(input_open_error);
    }
    // Standard output writing into the input would feed the run its own
    // lines, or write them over the text before it is read.
    const file_facts console = facts_of(stdout);
    if (same_regular_file(input_file, console)) {
        std::fclose(in);
        return refuse(input_open_error, input_file, console);
    }
    const buffer_sizes sizes = buffer_sizes_for(input_file);
    const buffer input_buffer = allocate(sizes.input + input_slack);
    const buffer output_buffer = allocate(sizes.output);
    const std::size_t staging_size = text_mode_write_room(sizes.output);
    const buffer staging =
        platform_files == file_bytes::in_text_mode ? allocate(staging_size) : nullptr;
    if (input_buffer == nullptr || output_buffer == nullptr ||
        (platform_files == file_bytes::in_text_mode && staging == nullptr)) {
        std::fclose(in);
        return fail(memory_error);
    }
    std::FILE* out = open_output(output_name);
    if (out == nullptr) {
        const bool no_memory = errno == ENOMEM;
        std::fclose(in);
        return fail(no_memory ? memory_error : output_open_error);
    }
    // Nor may the output be the input, or the file that standard output
    // writes to: it would be emptied, and the console lines written over the
    // result. What was opened is what counts, whatever the name led to when
    // it was looked up.
    const file_facts output_file = facts_of(out);
    if (same_regular_file(output_file, input_file) || same_regular_file(output_file, console)) {
        std::fclose(out);
        std::fclose(in);
        return refuse(output_open_error, output_file, console);
    }
    // The output goes out in large pieces from a buffer of our own.
    std::setvbuf(out, nullptr, _IONBF, 0);
    output_sink sink = platform_files == file_bytes::in_text_mode
                           ? output_sink(out, staging.get(), staging_size)
                           : output_sink(out);

    // A fourth argument or more means the user did not use either form, so
    // the limit is not taken from the third.
    if (argc == 4)
        word_limit = parse_limit(argv[3]);
    say(announcement, input_name, output_name, static_cast<int>(word_limit));
    // Before the work, so that the announcement comes first when the result
    // goes down the same pipe; and before the output is emptied, so that a
    // run that dies writing it (a pipe nobody reads, a file at its size
    // limit) leaves an earlier result as it was.
    std::fflush(stdout);
    if (!empty_output(out, output_file)) {
        std::fclose(out);
        std::fclose(in);
        return fail(write_error);
    }

    text_input input = make_text_input(in, input_buffer.get(), sizes.input, platform_files);
    text_output output = make_text_output(sink, output_buffer.get(), sizes.output);
    overlap copies;
    if (copies.start(sizes)) {
        read_ahead(input, copies.worker, copies.input_buffers);
        write_behind(output, copies.worker, copies.output.get());
    }
    transcribe_text(input, output);
    finish_output(output);
    copies.worker.stop();
    run_outcome outcome = outcome_of(input, sink);
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
    say(completion, output_name);
    return finish(0);
}

int sfoltitesto_memory_exhausted()
{
    return fail(memory_error);
}
