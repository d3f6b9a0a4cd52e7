#pragma once

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#endif

#include "engine/copy_worker.hpp"
#include "engine/instruction_sets.hpp"
#include "engine/period_transcription.hpp"
#include "engine/run_outcome.hpp"
#include "engine/text_mode.hpp"
#include "reference/reference_engine.hpp"

// A binary scratch file, removed when closed. Microsoft's tmpfile() names
// its files per process from a counter, so test programs running side by
// side clash; there each gets a name of its own.
inline std::FILE* scratch_file()
{
#ifdef _WIN32
    static unsigned count = 0;
    const std::string name =
        (std::filesystem::temp_directory_path() /
         ("sfoltitesto_" + std::to_string(_getpid()) + "_" + std::to_string(++count) + ".tmp"))
            .string();
    return std::fopen(name.c_str(), "w+bD"); // D: delete on close
#else
    return std::tmpfile();
#endif
}

// A temporary stream holding `bytes`, positioned at its start.
inline std::FILE* stream_of(const std::string& bytes)
{
    std::FILE* f = scratch_file();
    if (f == nullptr)
        return nullptr;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::rewind(f);
    return f;
}

// Everything written to `f` so far.
inline std::string contents_of(std::FILE* f)
{
    std::fflush(f);
    std::rewind(f);
    std::string bytes;
    for (int c = std::fgetc(f); c != EOF; c = std::fgetc(f))
        bytes.push_back(static_cast<char>(c));
    return bytes;
}

// Has `worker` make the copies of a run beside the engine, through the
// spare buffers given; a test that cannot start it would not test what it
// says, and stops.
inline void copy_beside(copy_worker& worker, text_input& in, unsigned char* const* spares,
                        text_output& out, unsigned char* spare_out)
{
    if (!worker.start())
        std::abort();
    read_ahead(in, worker, spares);
    write_behind(out, worker, spare_out);
}

// How a test drives the engine over a whole text: the one pass the program
// makes, or the two calls alternated as the definition of the run has it.
enum class drive { one_pass, alternating };

// The pieces the output of a run in text mode is stored in: small, so that
// they meet LFs everywhere.
inline constexpr std::size_t text_mode_piece = 61;

// Runs the program's loop from `in` to `out` at the current word_limit,
// reading blocks of `block` bytes and handing the output over once it holds
// more than `flush_at` bytes, driven `how`, the files' bytes taken as `files`
// says, the copies made beside the engine by a worker thread or not, and
// tells how the run ended and (if `result` is not null) what the engine
// returned.
enum class copies { in_turn, beside };
inline run_outcome run_engine(std::FILE* in, std::FILE* out, std::size_t block,
                              std::size_t flush_at, drive how,
                              file_bytes files = file_bytes::as_they_are, int* result = nullptr,
                              copies made = copies::in_turn)
{
    std::vector<unsigned char> in_buffer(block + input_slack);
    std::vector<unsigned char> out_buffer(flush_at + window_output_room);
    std::vector<unsigned char> staging(text_mode_write_room(text_mode_piece));
    output_sink sink = files == file_bytes::in_text_mode
                           ? output_sink(out, staging.data(), staging.size())
                           : output_sink(out);
    text_input text_in = make_text_input(in, in_buffer.data(), block, files);
    text_output text_out = make_text_output(sink, out_buffer.data(), out_buffer.size(), flush_at);
    std::vector<unsigned char> spare_in[blocks_read_ahead];
    unsigned char* spares[blocks_read_ahead] = {};
    std::vector<unsigned char> spare_out;
    copy_worker worker; // stopped before the buffers go
    if (made == copies::beside) {
        for (std::size_t i = 0; i < blocks_read_ahead; ++i) {
            spare_in[i].resize(in_buffer.size());
            spares[i] = spare_in[i].data();
        }
        spare_out.resize(out_buffer.size());
        copy_beside(worker, text_in, spares, text_out, spare_out.data());
    }
    const int returned =
        how == drive::one_pass
            ? transcribe_text(text_in, text_out)
            : alternate_periods([&] { return transcribe_periods(text_in, text_out); },
                                [&] { return skip_rest_of_period(text_in); });
    if (result != nullptr)
        *result = returned;
    finish_output(text_out);
    worker.stop();
    return outcome_of(text_in, sink);
}

// Runs the program's loop over `input` at `limit`, reading blocks of `block`
// bytes and handing the output over once it holds more than `flush_at`
// bytes, with the build of the engine for `set`, and returns the output file
// (and what the engine returned, through `result`).
inline std::string condense(const std::string& input, std::int32_t limit,
                            std::size_t block = 256 * 1024, std::size_t flush_at = 4096,
                            instruction_set set = best_instruction_set(),
                            drive how = drive::one_pass, file_bytes files = file_bytes::as_they_are,
                            int* result = nullptr, copies made = copies::in_turn)
{
    word_limit = limit;
    engine_instructions = set;
    std::FILE* in = stream_of(input);
    std::FILE* out = scratch_file();
    run_engine(in, out, block, flush_at, how, files, result, made);
    std::string output = contents_of(out);
    std::fclose(in);
    std::fclose(out);
    word_limit = 7;
    engine_instructions = best_instruction_set();
    return output;
}

// The same with the plain engine that the fast one is held to.
inline std::string condense_reference(const std::string& input, std::int32_t limit,
                                      int* result = nullptr)
{
    word_limit = limit;
    std::FILE* in = stream_of(input);
    std::FILE* out = scratch_file();
    const int returned = reference::transcribe_text(in, out);
    if (result != nullptr)
        *result = returned;
    std::string output = contents_of(out);
    std::fclose(in);
    std::fclose(out);
    word_limit = 7;
    return output;
}

// Block sizes that put characters and semicolons across every boundary, and
// the program's own.
inline constexpr std::size_t block_sizes[] = {1, 2, 3, 7, 64, 250, 1000, 256 * 1024};

// Shows bytes as a C string literal, so a failing case can be pasted back.
inline std::string escaped(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text = "\"";
    bool after_hex = false;
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        // A hex escape would swallow a hex digit after it: close the literal.
        if (after_hex && std::isxdigit(c))
            text += "\"\"";
        after_hex = false;
        if (c == '\n')
            text += "\\n";
        else if (c == '\r')
            text += "\\r";
        else if (c == '"' || c == '\\')
            text += std::string("\\") + static_cast<char>(c);
        else if (c >= 0x20 && c < 0x7F)
            text += static_cast<char>(c);
        else {
            text += std::string("\\x") + digits[c >> 4] + digits[c & 15];
            after_hex = true;
        }
    }
    return text + "\"";
}
