// Reads and writes that fail on cue, at the engine's boundary: over a grid of
// the read and the write that fail, once or from then on, the run tells the
// failure that came first, writes nothing after a failed write, and what it
// wrote is the clean output of what it read, or the start of it. With the
// copies made beside the engine by a worker thread, the run tells the same,
// writes the same and reads nothing once a write has failed.
#include <gtest/gtest.h>

#if defined(__GLIBC__)

#include <cerrno>
#include <cstdio>
#include <string>

#include "stream_support.hpp"

namespace {

// When the n-th call (from 1) fails: never, only then, or from then on.
struct cue {
    int call = 0; // 0: never
    bool lasting = false;

    bool fails(int n) const
    {
        return call != 0 && (n == call || (lasting && n > call));
    }
};

// Both ends of a run, through the C runtime's streams (glibc's fopencookie),
// so that the stream's own reading and error flags are at work. Each read
// brings at most `piece` bytes, as from a pipe, so that one read of the
// engine's is several here. Calls are numbered across both ends, to tell
// which failure came first.
struct faulty_files {
    std::string input;
    std::size_t piece = 1000;
    cue read_cue;
    cue write_cue;

    std::size_t delivered = 0;
    int reads = 0;
    int writes = 0;
    int calls = 0;
    int first_failed_read = 0; // the call number of each, 0 if none
    int first_failed_write = 0;
    int reads_after_a_failed_read = 0;
    int reads_after_a_failed_write = 0;
    int writes_after_a_failed_write = 0;
    std::string written;

    static ssize_t read(void* cookie, char* buffer, std::size_t size)
    {
        auto& f = *static_cast<faulty_files*>(cookie);
        ++f.calls;
        if (f.first_failed_read != 0)
            ++f.reads_after_a_failed_read;
        if (f.first_failed_write != 0)
            ++f.reads_after_a_failed_write;
        if (f.read_cue.fails(++f.reads)) {
            if (f.first_failed_read == 0)
                f.first_failed_read = f.calls;
            errno = EIO;
            return -1;
        }
        const std::size_t n = std::min({size, f.piece, f.input.size() - f.delivered});
        f.input.copy(buffer, n, f.delivered);
        f.delivered += n;
        return static_cast<ssize_t>(n);
    }

    static ssize_t write(void* cookie, const char* buffer, std::size_t size)
    {
        auto& f = *static_cast<faulty_files*>(cookie);
        ++f.calls;
        if (f.first_failed_write != 0)
            ++f.writes_after_a_failed_write;
        if (f.write_cue.fails(++f.writes)) {
            if (f.first_failed_write == 0)
                f.first_failed_write = f.calls;
            errno = ENOSPC;
            return 0; // a failed write's only way to say so here
        }
        f.written.append(buffer, size);
        return static_cast<ssize_t>(size);
    }

    std::FILE* open_input()
    {
        return fopencookie(this, "r", {read, nullptr, nullptr, nullptr});
    }

    // Unbuffered, so that each buffer the sink takes is one write here.
    std::FILE* open_output()
    {
        std::FILE* f = fopencookie(this, "w", {nullptr, write, nullptr, nullptr});
        if (f != nullptr)
            std::setvbuf(f, nullptr, _IONBF, 0);
        return f;
    }
};

run_outcome run(faulty_files& files, std::int32_t limit, drive how, copies made = copies::in_turn)
{
    word_limit = limit;
    std::FILE* in = files.open_input();
    std::FILE* out = files.open_output();
    const run_outcome outcome =
        run_engine(in, out, 4096, 1000, how, file_bytes::as_they_are, nullptr, made);
    std::fclose(in);
    std::fclose(out);
    word_limit = 7;
    return outcome;
}

std::string text_for_failures()
{
    std::string text;
    for (int i = 0; text.size() < 20000; ++i)
        text += "una frase di prova, con qualche parola in pi\xC3\xB9;\n  e " + std::to_string(i) +
                " ancora\r\n";
    return text;
}

std::string name_of(run_outcome outcome)
{
    switch (outcome) {
    case run_outcome::read_failed:
        return "read failed";
    case run_outcome::write_failed:
        return "write failed";
    case run_outcome::done:
        break;
    }
    return "done";
}

TEST(failures, the_first_is_told_and_nothing_is_written_after_a_failed_write)
{
    const std::string text = text_for_failures();
    for (const std::int32_t limit : {3, 1000, 0}) {
        const std::string clean = condense_reference(text, limit);
        // A clean run, to know how many reads and writes there are.
        faulty_files counted;
        counted.input = text;
        run(counted, limit, drive::one_pass);
        ASSERT_EQ(counted.written, clean);
        for (const drive how : {drive::one_pass, drive::alternating}) {
            for (int j = 0; j <= counted.reads + 1; ++j) {
                for (int k = 0; k <= counted.writes + 1; ++k) {
                    for (const bool lasting : {false, true}) {
                        const cue read_cue{j, lasting};
                        const cue write_cue{k, !lasting};
                        const std::string where =
                            "limit " + std::to_string(limit) + ", read " + std::to_string(j) +
                            ", write " + std::to_string(k) +
                            (lasting ? ", reads fail on" : ", writes fail on") +
                            (how == drive::one_pass ? ", one pass" : ", alternating");

                        // The failure met first is the one told.
                        faulty_files files;
                        files.input = text;
                        files.read_cue = read_cue;
                        files.write_cue = write_cue;
                        const run_outcome r = run(files, limit, how);
                        run_outcome first = run_outcome::done;
                        if (files.first_failed_read != 0 &&
                            (files.first_failed_write == 0 ||
                             files.first_failed_read < files.first_failed_write))
                            first = run_outcome::read_failed;
                        else if (files.first_failed_write != 0)
                            first = run_outcome::write_failed;
                        ASSERT_EQ(name_of(r), name_of(first)) << where;

                        // A failed read ends the input: nothing more is read,
                        // and the output is that of the bytes read before it.
                        EXPECT_EQ(files.reads_after_a_failed_read, 0) << where;
                        const std::string expected =
                            files.first_failed_read != 0
                                ? condense_reference(text.substr(0, files.delivered), limit)
                                : clean;
                        EXPECT_EQ(files.writes_after_a_failed_write, 0) << where;
                        EXPECT_EQ(files.reads_after_a_failed_write, 0) << where;
                        if (files.first_failed_write == 0)
                            ASSERT_EQ(files.written, expected) << where;
                        else
                            ASSERT_EQ(files.written, expected.substr(0, files.written.size()))
                                << where;

                        // The same, the copies made beside: reads and
                        // writes are made in their own order, the next
                        // block read before the last piece is written.
                        faulty_files beside;
                        beside.input = text;
                        beside.read_cue = read_cue;
                        beside.write_cue = write_cue;
                        ASSERT_EQ(name_of(run(beside, limit, how, copies::beside)), name_of(r))
                            << where << ", copies beside";
                        EXPECT_EQ(beside.written, files.written) << where << ", copies beside";
                        EXPECT_EQ(beside.reads_after_a_failed_read, 0) << where;
                        EXPECT_EQ(beside.reads_after_a_failed_write, 0) << where;
                        EXPECT_EQ(beside.writes_after_a_failed_write, 0) << where;
                    }
                }
            }
        }
    }
}

} // namespace

#endif
