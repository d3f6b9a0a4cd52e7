// Runs the built program as a user would and checks its console text, exit
// status and output file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "case_names.hpp"
#include "reference/text_streams.hpp"
#include "stream_support.hpp"

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const std::string usage = "\nUtilizzo:\nsfoltitesto nomefile1 nomefile2\n"
                          "oppure:\nsfoltitesto nomefile1 nomefile2 n\n"
                          "\nLegge il file di input <nomefile1> e ne trascrive il contenuto\n"
                          "nel file <nomefile2>, evidenziando le prime n parole (7 se non "
                          "specificato)\n\n\n";
const std::string help = "\nUtilizzo:\nsfoltitesto nomefile1 nomefile2\n"
                         "oppure:\nsfoltitesto nomefile1 nomefile2 n\n"
                         "oppure:\nsfoltitesto --help | -h | --version\n"
                         "\nCon --help o -h mostra questo testo, con --version la versione\n"
                         "\nLegge il file di input <nomefile1> e ne trascrive il contenuto\n"
                         "nel file <nomefile2>, evidenziando le prime n parole (7 se non "
                         "specificato)\n\n\n";

std::string announced(const std::string& in, const std::string& out, long limit)
{
    return "Periodizzazione in corso da " + in + " a " + out + ", con " + std::to_string(limit) +
           " parole per periodo\n";
}

std::string completed(const std::string& out)
{
    return "Periodizzato in " + out + "\n";
}

// What the platform's text streams store for text written with line feeds:
// CR LF on Windows.
std::string as_stored(const std::string& text)
{
#ifdef _WIN32
    return reference::stored_in_text_mode(text);
#else
    return text;
#endif
}

// What a program reading `stored` through a text stream gets: on Windows CR
// LF is one line feed and a 1A byte ends the text.
std::string as_read(const std::string& stored)
{
#ifdef _WIN32
    return reference::read_in_text_mode(stored);
#else
    return stored;
#endif
}

struct run_result {
    std::string console;
    int status = -1;
};

// Everything the program printed, up to its end.
std::string read_all(std::FILE* pipe)
{
    std::string text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        text.append(buffer, n);
    return text;
}

#ifdef _WIN32
// Runs the program with `args` through the command interpreter, with
// `redirections` after them. Wine, on a loaded machine, now and then fails
// to start the interpreter or to tell how it ended (-1, a status neither
// gives): that run is said on standard error and made again, up to three
// times, rather than blamed on the program.
run_result run_program(const std::vector<std::string>& args, const std::string& = "",
                       const std::string& redirections = "")
{
    std::string program = SFOLTITESTO_EXE;
    // Under wine, the build tree's paths are on drive Z:.
    if (!program.empty() && program[0] == '/')
        program = "Z:" + program;
    std::replace(program.begin(), program.end(), '/', '\\');
    // cmd /c drops the first and the last quote of the line: add a pair.
    std::string command = "\"\"" + program + "\"";
    for (const std::string& arg : args)
        command += " \"" + arg + "\"";
    command += redirections + "\"";
    run_result result;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        errno = 0;
        std::FILE* pipe = _popen(command.c_str(), "rb");
        if (pipe == nullptr) {
            std::fprintf(stderr, "run %d of %s: not started (errno %d)\n", attempt, command.c_str(),
                         errno);
            continue;
        }
        result.console = read_all(pipe);
        errno = 0;
        result.status = _pclose(pipe);
        if (result.status != -1)
            break;
        std::fprintf(stderr, "run %d of %s: no status (errno %d), console \"%s\"\n", attempt,
                     command.c_str(), errno, result.console.c_str());
    }
    return result;
}
#else
std::string quoted(const std::string& arg)
{
    std::string q = "'";
    for (char c : arg)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs the program with `args`; `shell_prefix` and `shell_suffix` go around
// the command as the shell sees it (a pipe into it, a redirection).
run_result run_program(const std::vector<std::string>& args, const std::string& shell_prefix = "",
                       const std::string& shell_suffix = "")
{
    // A cross-built program runs under its emulator, named before it.
    std::string command = shell_prefix + SFOLTITESTO_RUNNER " " + quoted(SFOLTITESTO_EXE);
    for (const std::string& arg : args) {
        command += ' ';
        command += quoted(arg);
    }
    command += shell_suffix;
    run_result result;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    result.console = read_all(pipe);
    const int wait_status = pclose(pipe);
    result.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
    return result;
}
#endif

std::optional<std::string> file_bytes(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

void write_file(const fs::path& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

// A fresh folder per test, removed afterwards.
class e2e : public ::testing::Test {
  protected:
    void SetUp() override
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              identifier("sfoltitesto_e2e_" + std::to_string(getpid()) + "_" +
                         info->test_suite_name() + "_" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        in = (dir / "in.txt").string();
        out = (dir / "out.txt").string();
    }
    void TearDown() override
    {
        fs::remove_all(dir);
    }
    fs::path dir;
    std::string in;
    std::string out;
};

struct table_case {
    const char* name;
    std::vector<std::string> args; // "IN" and "OUT" stand for the scratch files
    std::optional<std::string> input;
    int status;
    std::optional<std::string> output; // nullopt: the output file must not exist
    // A completed run announces this limit; a refused one prints `message` alone.
    std::optional<long> limit;
    std::string message;
};

const table_case table_cases[] = {
    {"no arguments", {}, "a;", 1, std::nullopt, std::nullopt, usage},
    {"one argument", {"IN"}, "a;", 1, std::nullopt, std::nullopt, usage},
    {"help asked for", {"--help"}, "a;", 0, std::nullopt, std::nullopt, help},
    {"help asked for briefly", {"-h"}, "a;", 0, std::nullopt, std::nullopt, help},
    {"version",
     {"--version"},
     "a;",
     0,
     std::nullopt,
     std::nullopt,
     std::string("sfoltitesto ") + SFOLTITESTO_VERSION + "\n"},
    {"help among other arguments is a file name",
     {"--help", "OUT"},
     std::nullopt,
     1,
     std::nullopt,
     std::nullopt,
     "Errore apertura file input\n"},
    {"two arguments keep seven", {"IN", "OUT"}, "a b;\n", 0, "a b;\n;\n", 7, ""},
    {"limit given",
     {"IN", "OUT", "3"},
     "one two three four;five six;",
     0,
     "one two three;\nfive six;\n;\n",
     3,
     ""},
    {"limit with trailing text", {"IN", "OUT", "3x"}, "a b c d;", 0, "a b c;\n;\n", 3, ""},
    {"limit not a number", {"IN", "OUT", "abc"}, "abc;def;", 0, ";\n;\n;\n", 0, ""},
    {"negative limit", {"IN", "OUT", "-4"}, "w1 w2;w3", 0, ";\n;\n", -4, ""},
    {"limit after white space and sign", {"IN", "OUT", " \t+2"}, "a b c;", 0, "a b;\n;\n", 2, ""},
    {"limit too large saturates",
     {"IN", "OUT", "99999999999"},
     "a b;",
     0,
     "a b;\n;\n",
     2147483647,
     ""},
    {"limit too small saturates",
     {"IN", "OUT", "-99999999999"},
     "a b;",
     0,
     ";\n;\n",
     -2147483647L - 1,
     ""},
    {"limit of more digits than any integer holds saturates",
     {"IN", "OUT", "123456789012345678901234567890"},
     "a b;",
     0,
     "a b;\n;\n",
     2147483647,
     ""},
    {"negative limit of more digits than any integer holds saturates",
     {"IN", "OUT", "-123456789012345678901234567890"},
     "a b;",
     0,
     ";\n;\n",
     -2147483647L - 1,
     ""},
    {"four arguments keep seven", {"IN", "OUT", "2", "x"}, "a b c;", 0, "a b c;\n;\n", 7, ""},
    {"stray byte copied",
     {"IN", "OUT"},
     "\x80"
     "a b;",
     0,
     "\x80"
     "a b;\n;\n",
     7,
     ""},
    {"utf-8 copied whole",
     {"IN", "OUT"},
     "caff\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x98\x80;",
     0,
     "caff\xC3\xA8 \xE2\x82\xAC \xF0\x9F\x98\x80;\n;\n",
     7,
     ""},
    {"empty input", {"IN", "OUT"}, "", 0, ";\n", 7, ""},
    {"missing input",
     {"IN", "OUT"},
     std::nullopt,
     1,
     std::nullopt,
     std::nullopt,
     "Errore apertura file input\n"},
    {"output in a missing folder",
     {"IN", "nowhere/out.txt"},
     "a;",
     1,
     std::nullopt,
     std::nullopt,
     "Errore apertura file output\n"},
    {"directory as input",
     {".", "OUT"},
     "a;",
     1,
     std::nullopt,
     std::nullopt,
     "Errore apertura file input\n"},
};

void PrintTo(const table_case& c, std::ostream* os)
{
    *os << c.name;
}

class e2e_table : public e2e, public ::testing::WithParamInterface<table_case> {};

TEST_P(e2e_table, console_status_and_output)
{
    const table_case& c = GetParam();
    if (c.input)
        write_file(in, *c.input);
    std::vector<std::string> args;
    for (const std::string& arg : c.args)
        args.push_back(arg == "IN" ? in : arg == "OUT" ? out : arg == "." ? dir.string() : arg);
    const run_result r = run_program(args);

    if (c.limit)
        EXPECT_EQ(r.console, as_stored(announced(in, out, *c.limit) + completed(out)));
    else
        EXPECT_EQ(r.console, as_stored(c.message));
    EXPECT_EQ(r.status, c.status);
    const auto output = file_bytes(out);
    if (c.output)
        EXPECT_EQ(escaped(output.value_or("<missing>")), escaped(as_stored(*c.output)));
    else
        EXPECT_FALSE(output.has_value()) << "the output file must not be created";
}

INSTANTIATE_TEST_SUITE_P(cases, e2e_table, ::testing::ValuesIn(table_cases), named_case{});

TEST_F(e2e, failed_input_open_leaves_an_existing_output_alone)
{
    write_file(out, "keep me");
    const run_result r = run_program({in, out});
    EXPECT_EQ(r.console, as_stored("Errore apertura file input\n"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(file_bytes(out), "keep me");
}

TEST_F(e2e, same_file_by_any_name_is_refused_and_left_intact)
{
    const std::string text = "uno due tre quattro cinque sei sette otto;\n";
    write_file(in, text);
    fs::create_hard_link(in, dir / "hard.txt");
    std::vector<std::string> names = {in, (dir / "." / "in.txt").string(),
                                      (dir / "hard.txt").string()};
#ifdef _WIN32
    // Names differing only in case are one file there.
    names.push_back((dir / "IN.TXT").string());
#else
    fs::create_symlink(in, dir / "soft.txt");
    names.push_back((dir / "soft.txt").string());
#endif
    for (const std::string& name : names) {
        const run_result r = run_program({in, name});
        EXPECT_EQ(r.console, as_stored("Errore apertura file output\n")) << name;
        EXPECT_EQ(r.status, 1) << name;
        EXPECT_EQ(file_bytes(in), text) << name;
        // And the other way round, reading through the link.
        const run_result back = run_program({name, in});
        EXPECT_EQ(back.status, 1) << name;
        EXPECT_EQ(file_bytes(in), text) << name;
    }
}

// Line ends and the end of text as the platform's text streams have them;
// the words follow from the same rules on what the program reads.
TEST_F(e2e, text_streams_follow_the_platform)
{
    const std::string stored_inputs[] = {
        "uno\r\ndue tre;\r\nquattro\r\n",
        "a b;\x1A c d;",
        "riga\r\r\n;\n\r\n",
        "fine\r\n\x1A",
    };
    for (const std::string& stored : stored_inputs) {
        write_file(in, stored);
        const run_result r = run_program({in, out, "2"});
        EXPECT_EQ(r.status, 0) << escaped(stored);
        EXPECT_EQ(r.console, as_stored(announced(in, out, 2) + completed(out))) << escaped(stored);
        EXPECT_EQ(escaped(file_bytes(out).value_or("<missing>")),
                  escaped(as_stored(condense_reference(as_read(stored), 2))))
            << escaped(stored);
    }
}

// What the same run gives through the C runtime's own text streams ("r" and
// "w"), around the plain engine: the oracle the program's own reading and
// writing of text files is held to. On Linux they pass the bytes as they
// are, and the test holds the program's reading of small files in small
// blocks, and of the others in its large ones, to the plain engine. Wine's
// text streams drop a 1A that falls at the end of their 4 KiB buffer and
// read on (a 1A ends the text wherever it is in Microsoft's, and in the
// program): a buffer that holds the whole file keeps that edge away from the
// ones tried here.
std::string through_text_streams(const std::string& input, const std::string& output,
                                 std::int32_t limit)
{
    std::FILE* from = std::fopen(input.c_str(), "r");
    std::FILE* to = std::fopen(output.c_str(), "w");
    if (from == nullptr || to == nullptr)
        return "<not opened>";
    std::setvbuf(from, nullptr, _IOFBF, fs::file_size(input) + 1);
    word_limit = limit;
    reference::transcribe_text(from, to);
    word_limit = 7;
    std::fclose(from);
    std::fclose(to);
    return file_bytes(output).value_or("<missing>");
}

// Random files, dense in CR, LF, 1A, ';', spaces and bytes from 80 up, some
// a little longer than the program's block of 256 KiB with a CR, a CR LF or
// a 1A across its end, at every limit that matters: the program's output is
// byte for byte what the C runtime's text streams give.
TEST_F(e2e, text_files_are_read_and_written_as_the_c_runtime_does)
{
    const char bytes[] = {'\r',   '\r',   '\n',   '\n',   '\x1A', ';', ' ', ' ', '\xC3', '\xA8',
                          '\xE2', '\xF0', '\x80', '\xFF', 'a',    'b', 'c', 'd', 'e',    'f'};
    std::mt19937 g(20261209);
    const auto any = [&](std::size_t sparing_eof) {
        char c = bytes[std::uniform_int_distribution<std::size_t>(0, std::size(bytes) - 1)(g)];
        return c == '\x1A' && g() % sparing_eof != 0 ? 'a' : c;
    };
    const std::size_t block = 256 * 1024;
    const std::string edges[] = {"\r\n", "\r", "\ra", "\x1A", "\r\x1A", ";\r\n"};
    std::vector<std::string> inputs;
    for (int i = 0; i < 8; ++i) {
        std::string small(std::uniform_int_distribution<std::size_t>(0, 300)(g), ' ');
        for (char& c : small)
            c = any(4);
        inputs.push_back(small);
    }
    for (const std::string& edge : edges) {
        for (std::size_t before = 0; before < edge.size() + 1; ++before) {
            std::string large(block + 3000, ' ');
            for (char& c : large)
                c = any(1u << 30);
            large.replace(block - before, edge.size(), edge);
            inputs.push_back(large);
        }
    }
    const std::string oracle = (dir / "oracle.txt").string();
    for (const std::string& input : inputs) {
        write_file(in, input);
        for (const std::int32_t limit : {0, 1, 3, 7, 1000}) {
            const std::string expected = through_text_streams(in, oracle, limit);
            const run_result r = run_program({in, out, std::to_string(limit)});
            ASSERT_EQ(r.status, 0);
            const std::string got = file_bytes(out).value_or("<missing>");
            ASSERT_EQ(got.size(), expected.size())
                << "limit " << limit << ", input of " << input.size() << " bytes";
            ASSERT_TRUE(got == expected) << "limit " << limit << ", input " << escaped(input);
        }
    }
}

#ifndef _WIN32
TEST_F(e2e, a_full_disk_is_reported_without_completion)
{
    write_file(in, "a b;\n");
    const run_result r = run_program({in, "/dev/full"});
    EXPECT_EQ(r.console, announced(in, "/dev/full", 7) + "Errore scrittura file output\n");
    EXPECT_EQ(r.status, 1);
}

// On Linux this file opens for reading but every read fails.
std::optional<std::string> unreadable_file()
{
    const char* unreadable = "/proc/self/clear_refs";
    std::FILE* probe = std::fopen(unreadable, "r");
    if (probe == nullptr)
        return std::nullopt;
    char byte;
    const bool fails = std::fread(&byte, 1, 1, probe) == 0 && std::ferror(probe);
    std::fclose(probe);
    return fails ? std::optional<std::string>(unreadable) : std::nullopt;
}

TEST_F(e2e, a_failed_read_is_reported_without_completion)
{
    const std::optional<std::string> unreadable = unreadable_file();
    if (!unreadable)
        GTEST_SKIP() << "no file here that opens and cannot be read";
    const run_result r = run_program({*unreadable, out});
    EXPECT_EQ(r.console, announced(*unreadable, out, 7) + "Errore lettura file input\n");
    EXPECT_EQ(r.status, 1);
}

TEST_F(e2e, a_pipe_as_input)
{
    const run_result r = run_program({"/dev/stdin", out, "2"}, "printf 'uno due tre;quattro' | ");
    EXPECT_EQ(r.console, announced("/dev/stdin", out, 2) + completed(out));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(file_bytes(out), "uno due;\nquattro;\n");
}

// At a terminal the input ends with one Ctrl-D: a read after it would wait
// for the user to press it again.
TEST_F(e2e, one_end_of_input_at_a_terminal_is_enough)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string terminal = ptsname(master);
    // A line and the end of input, typed before the program reads them.
    const std::string typed = "uno due tre;\n\x04";
    ASSERT_EQ(write(master, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    const std::string command = SFOLTITESTO_RUNNER " " + quoted(SFOLTITESTO_EXE) + " /dev/stdin " +
                                (quoted)(out) + " 2 < " + (quoted)(terminal) + " > /dev/null";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    bool ended = false;
    for (int tenths = 0; tenths < 300 && !ended; ++tenths) {
        ended = waitpid(child, &status, WNOHANG) == child;
        if (!ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!ended) {
        // Let it go with another Ctrl-D, then make sure it has gone.
        const char again = '\x04';
        EXPECT_EQ(write(master, &again, 1), 1);
        std::this_thread::sleep_for(std::chrono::seconds(5));
        if (waitpid(child, &status, WNOHANG) != child) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
        }
    }
    close(master);
    ASSERT_TRUE(ended) << "the program waited for input after its end";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(file_bytes(out), "uno due;\n;\n");
}

TEST_F(e2e, standard_input_to_standard_output_is_not_the_same_file)
{
    // Down one pipe, the announcement comes before the result.
    const run_result r = run_program({"/dev/stdin", "/dev/stdout"}, "printf 'a b;' | ");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.console,
              announced("/dev/stdin", "/dev/stdout", 7) + "a b;\n;\n" + completed("/dev/stdout"));
}

TEST_F(e2e, a_console_that_cannot_be_written_is_a_failure)
{
    write_file(in, "uno due;\n");
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{in, out}, {"--help"}, {"--version"}, {}}) {
        const run_result r = run_program(args, "", " > /dev/full");
        EXPECT_EQ(r.status, 1) << args.size() << " arguments";
    }
    // The work itself was done and is left as it is.
    EXPECT_EQ(file_bytes(out), "uno due;\n;\n");
}

// Closed standard streams are not taken by the run's files: no console line
// goes into the output, and a console that cannot be written still fails the run.
TEST_F(e2e, closed_standard_streams_keep_console_lines_out_of_the_output)
{
    const std::string text = "uno due tre quattro;\ncinque;\n";
    write_file(in, text);
    const struct {
        const char* redirections;
        int status;
    } cases[] = {
        {" <&-", 0},
        {" <&- >&-", 1},
        {" >&- 2>&-", 1},
        {" <&- >&- 2>&-", 1},
    };
    for (const auto& c : cases) {
        std::remove(out.c_str());
        const run_result r = run_program({in, out, "3"}, "", c.redirections);
        EXPECT_EQ(r.status, c.status) << c.redirections;
        EXPECT_EQ(file_bytes(out), "uno due tre;\ncinque;\n;\n") << c.redirections;
        EXPECT_EQ(file_bytes(in), text) << c.redirections;
    }
}

// A closed standard stream named as a file is refused with the open error
// of its side; nothing waits on it.
TEST_F(e2e, a_closed_standard_stream_named_as_a_file_is_refused_at_once)
{
    const std::string text = "uno due;\n";
    const struct {
        std::string input;
        std::string output;
        const char* redirections;
        const char* console; // standard output's, where it is open
    } cases[] = {
        {"/dev/stdin", "OUT", " <&-", "Errore apertura file input\n"},
        {"/dev/fd/0", "OUT", " <&-", "Errore apertura file input\n"},
        {"/proc/self/fd/0", "OUT", " <&-", "Errore apertura file input\n"},
        {"IN", "/dev/stdin", " <&-", "Errore apertura file output\n"},
        {"IN", "/dev/stdout", " >&-", ""},
        {"IN", "/dev/fd/1", " >&-", ""},
        {"IN", "/dev/stderr", " 2>&-", "Errore apertura file output\n"},
        {"IN", "/proc/self/fd/2", " 2>&-", "Errore apertura file output\n"},
    };
    write_file(in, text);
    for (const auto& c : cases) {
        const std::string input = c.input == "IN" ? in : c.input;
        const std::string output = c.output == "OUT" ? out : c.output;
        const run_result r = run_program({input, output}, "timeout 10 ", c.redirections);
        const std::string where = input + " " + output + c.redirections;
        EXPECT_EQ(r.status, 1) << where;
        EXPECT_EQ(r.console, c.console) << where;
        EXPECT_FALSE(file_bytes(out).has_value()) << where;
        EXPECT_EQ(file_bytes(in), text) << where;
    }
}

// Runs `command` through the shell with standard output on `fd`, SIGPIPE
// and SIGXFSZ as a fresh process has them, and files limited to
// `file_limit` bytes (none if 0); returns the signal that ended it, or 0.
int signal_that_ended(const std::string& command, int fd, rlim_t file_limit = 0)
{
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        std::signal(SIGXFSZ, SIG_DFL);
        if (file_limit != 0) {
            const rlimit limit = {file_limit, file_limit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        dup2(fd, STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", ("exec " + command).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// A run that dies writing its announcement (to a pipe nobody reads, to a
// console file at its size limit) leaves an earlier result as it was: the
// output is emptied only once the run is announced.
TEST_F(e2e, an_earlier_output_is_kept_until_the_run_is_announced)
{
    write_file(in, "uno due;\n");
    const std::string command = SFOLTITESTO_RUNNER " " + (quoted)(SFOLTITESTO_EXE) + " " +
                                (quoted)(in) + " " + (quoted)(out);

    write_file(out, "keep me");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    EXPECT_EQ(signal_that_ended(command, ends[1]), SIGPIPE);
    close(ends[1]);
    EXPECT_EQ(file_bytes(out), "keep me");

    write_file(out, "keep me");
    const std::string log = (dir / "log.txt").string();
    write_file(log, std::string(8192, 'x'));
    const int console = open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(console, 0);
    EXPECT_EQ(signal_that_ended(command, console, 4096), SIGXFSZ);
    close(console);
    EXPECT_EQ(file_bytes(out), "keep me");
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define SFOLTITESTO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define SFOLTITESTO_SANITIZED 1
#endif
#endif

// Under every limit of memory from the smallest the program starts in (below
// it the loader gives up, with status 127) up to one where the run works, in
// steps of a page, a run and --version either work fully or say there is not
// memory enough and leave an existing output file as it was: they never
// abort.
TEST_F(e2e, too_little_memory_is_reported_and_leaves_the_output_alone)
{
#ifdef SFOLTITESTO_SANITIZED
    GTEST_SKIP() << "a sanitizer's shadow memory needs a vast address space";
#endif
    if (std::string(SFOLTITESTO_RUNNER).size() > 0)
        GTEST_SKIP() << "an emulator's own needs are not the program's";
    // Too large for the small buffers a small file is read through, so that
    // the run needs more memory than --version does.
    write_file(in, std::string(64 * 1024, ' ') + "uno due tre;\n");
    const auto within = [](long kib) { return "ulimit -v " + std::to_string(kib) + "; "; };
    // Below the smallest, the loader gives up (127), or the kernel cannot
    // even start it (a segmentation fault, 139 from the shell).
    const auto starts = [&](long kib) {
        const int status = run_program({"--version"}, within(kib)).status;
        return status != 127 && status != 139;
    };
    long low = 256;         // KiB: the program cannot start
    long high = 256 * 1024; // KiB: it can
    ASSERT_FALSE(starts(low));
    ASSERT_TRUE(starts(high));
    while (high - low > 4) {
        const long middle = (low + high) / 2;
        (starts(middle) ? high : low) = middle;
    }
    int refused = 0;
    for (long kib = high;; kib += 4) {
        ASSERT_LT(kib, high + 64 * 1024) << "the run never worked";
        const run_result version = run_program({"--version"}, within(kib));
        if (version.status != 0) {
            EXPECT_EQ(version.console, "Memoria insufficiente\n") << kib << " KiB";
            EXPECT_EQ(version.status, 1) << kib << " KiB";
        } else {
            EXPECT_EQ(version.console, std::string("sfoltitesto ") + SFOLTITESTO_VERSION + "\n");
        }
        write_file(out, "keep me");
        const run_result r = run_program({in, out}, within(kib));
        if (r.status == 0) {
            EXPECT_EQ(r.console, announced(in, out, 7) + completed(out)) << kib << " KiB";
            EXPECT_EQ(file_bytes(out), "uno due tre;\n;\n") << kib << " KiB";
            if (version.status == 0)
                break;
            continue;
        }
        EXPECT_EQ(r.console, "Memoria insufficiente\n") << kib << " KiB";
        EXPECT_EQ(r.status, 1) << kib << " KiB";
        EXPECT_EQ(file_bytes(out), "keep me") << kib << " KiB";
        ++refused;
    }
    EXPECT_GT(refused, 0) << "no address space was too small for the run but not for --version";
}

#endif

// A shell's way to name a file in a redirection.
std::string redirected(const std::string& name)
{
    return " \"" + name + "\"";
}

// The refusal's message goes where it harms nothing, as for the input
// below: after the earlier result where standard output adds there, else to
// standard error, unless that would write over it too.
TEST_F(e2e, the_file_standard_output_writes_to_is_refused_as_output)
{
    write_file(in, "uno due tre;\n");
    const std::string log = (dir / "log.txt").string();
    const std::string errors = (dir / "errors.txt").string();
    const std::string refusal = as_stored("Errore apertura file output\n");
    std::vector<std::string> names = {log, (dir / "." / "log.txt").string()};
#ifdef _WIN32
    names.push_back((dir / "LOG.TXT").string());
#else
    names.push_back("/dev/stdout");
#endif
    const struct {
        const char* name;
        std::string redirections;
        std::string log_after;
        std::string errors_after;
    } cases[] = {
        {"added after it", " >>" + redirected(log), "keep me\n" + refusal, ""},
#ifndef _WIN32
        {"written over it", " 1<>" + redirected(log) + " 2>" + redirected(errors), "keep me\n",
         refusal},
        {"written over it with standard error", " 1<>" + redirected(log) + " 2>&1", "keep me\n",
         ""},
#endif
    };
    for (const std::string& name : names)
        for (const auto& c : cases) {
            write_file(log, "keep me\n");
            write_file(errors, "");
            const run_result r = run_program({in, name}, "", c.redirections);
            EXPECT_EQ(r.status, 1) << name << ", " << c.name;
            EXPECT_EQ(file_bytes(log), c.log_after) << name << ", " << c.name;
            EXPECT_EQ(file_bytes(errors), c.errors_after) << name << ", " << c.name;
        }
}

// Standard output into the input file is refused before anything is
// written. Where it adds after the text the message goes there; where it
// would write over the text, to standard error, unless that would too.
TEST_F(e2e, the_file_standard_output_writes_to_is_refused_as_input)
{
    const std::string text = "uno due tre;quattro cinque;\n";
    const std::string link = (dir / "link.txt").string();
    const std::string errors = (dir / "errors.txt").string();
    const std::string refusal = as_stored("Errore apertura file input\n");
    const struct {
        const char* name;
        std::string redirections;
        std::string input_after;
        std::string errors_after;
    } cases[] = {
        {"added after the text", " >>" + redirected(in), text + refusal, ""},
        {"added after the text under another name", " >>" + redirected(link), text + refusal, ""},
#ifndef _WIN32
        {"written over the text", " 1<>" + redirected(in) + " 2>" + redirected(errors), text,
         refusal},
        {"written over the text with standard error", " 1<>" + redirected(in) + " 2>&1", text, ""},
        {"written over the text, standard error adding after it",
         " 1<>" + redirected(in) + " 2>>" + redirected(in), text + refusal, ""},
        {"emptied by the shell, so adding after it", " >" + redirected(in), refusal, ""},
#endif
    };
    for (const auto& c : cases) {
        write_file(in, text);
        std::remove(link.c_str());
        fs::create_hard_link(in, link);
        write_file(errors, "");
        const run_result r = run_program({in, out}, "", c.redirections);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(escaped(file_bytes(in).value_or("<missing>")), escaped(c.input_after)) << c.name;
        EXPECT_EQ(file_bytes(errors), c.errors_after) << c.name;
        EXPECT_FALSE(file_bytes(out).has_value()) << c.name;
    }
}

#ifndef _WIN32
// A link to a file not there yet leads where the output is to be made.
TEST_F(e2e, an_output_name_leading_to_no_file_yet_creates_it_there)
{
    write_file(in, "uno due tre;\n");
    fs::create_symlink(dir / "made.txt", out);
    const run_result r = run_program({in, out, "2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.console, announced(in, out, 2) + completed(out));
    EXPECT_EQ(file_bytes(dir / "made.txt"), "uno due;\n;\n");
}

// The library the tests preload into the program, with `settings` (see
// preloaded_faults.cpp), as the shell's words before the command; empty
// where this build of the program cannot be given one.
std::string preloaded(const std::string& settings)
{
    const std::string library = SFOLTITESTO_PRELOAD;
    if (library.empty())
        return "";
    // GCC's AddressSanitizer would have its library first.
    return "LD_PRELOAD=" + (quoted)(library) +
           " ASAN_OPTIONS=" + (quoted)("verify_asan_link_order=0") + " " + settings + " ";
}

// Another process may point the output's name elsewhere while the run
// starts (here, just before the program opens it): what is refused is
// decided on the file opened, so the input, or the file standard output
// writes to, is left as it was.
TEST_F(e2e, an_output_name_pointed_elsewhere_meanwhile_is_judged_by_what_it_opens)
{
    const std::string text = "uno due tre;\n";
    const std::string log = (dir / "log.txt").string();
    const std::string refusal = as_stored("Errore apertura file output\n");
    const struct {
        const char* name;
        std::string target;
        std::string console;
        std::string log_after;
    } cases[] = {
        {"the input", in, refusal, "keep me\n"},
        {"the file standard output writes to", log, "", "keep me\n" + refusal},
    };
    for (const auto& c : cases) {
        const std::string preload = preloaded("SFOLTITESTO_SWAP_NAME=" + (quoted)(out) +
                                              " SFOLTITESTO_SWAP_TARGET=" + (quoted)(c.target));
        if (preload.empty())
            GTEST_SKIP() << "no library to preload into this build of the program";
        fs::remove(out); // a link the case before made
        write_file(in, text);
        write_file(out, "OLD\n");
        write_file(log, "keep me\n");
        const std::string to_log = c.target == log ? " >>" + redirected(log) : "";
        const run_result r = run_program({in, out}, preload, to_log);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.console, c.console) << c.name;
        EXPECT_EQ(file_bytes(in), text) << c.name;
        EXPECT_EQ(file_bytes(log), c.log_after) << c.name;
    }
}

// When no stream can be made for the output, a file the run created is
// removed again, and one that was there keeps what it held.
TEST_F(e2e, an_output_whose_stream_cannot_be_made_is_left_as_it_was)
{
    const std::string preload = preloaded("SFOLTITESTO_FAIL=fdopen");
    if (preload.empty())
        GTEST_SKIP() << "no library to preload into this build of the program";
    write_file(in, "uno due tre;\n");
    for (const std::optional<std::string>& before : {std::optional<std::string>(), {"keep me"}}) {
        fs::remove(out);
        if (before)
            write_file(out, *before);
        const run_result r = run_program({in, out}, preload);
        EXPECT_EQ(r.console, "Memoria insufficiente\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(file_bytes(out), before);
    }
}

// The close is the one check of the last write; it names a write failure
// only when nothing failed before it.
TEST_F(e2e, a_failed_close_of_the_output_is_told_after_any_earlier_failure)
{
    const std::string preload = preloaded("SFOLTITESTO_FAIL=fclose");
    const std::optional<std::string> unreadable = unreadable_file();
    if (preload.empty() || !unreadable)
        GTEST_SKIP() << "no library to preload, or no unreadable file, here";
    write_file(in, "uno due tre;\n");
    const struct {
        std::string input;
        const char* message;
    } cases[] = {
        {in, "Errore scrittura file output\n"},
        {*unreadable, "Errore lettura file input\n"},
    };
    for (const auto& c : cases) {
        const run_result r = run_program({c.input, out}, preload);
        EXPECT_EQ(r.console, announced(c.input, out, 7) + c.message) << c.input;
        EXPECT_EQ(r.status, 1) << c.input;
    }
}

// A large file's copies are made by a thread of their own where two
// processors are usable, by the main thread where one is (pinned here), and
// a small file's always by the main thread. A read or a write that fails in
// either is told alike: the same message and status; a failed read ends the
// input, and the output is what the run made of the blocks before it (1 MiB
// each beside the engine, 256 KiB for a large file otherwise, the whole
// file for a small one); after a failed write, what went out is the start of
// the result. The preloaded library aborts the program if the thread it
// expects does not make the call that fails.
TEST_F(e2e, a_failed_copy_is_told_alike_whichever_thread_made_it)
{
    if (preloaded("").empty())
        GTEST_SKIP() << "no library to preload into this build of the program";
    cpu_set_t usable;
    if (sched_getaffinity(0, sizeof usable, &usable) != 0 || CPU_COUNT(&usable) < 2)
        GTEST_SKIP() << "one processor: the program makes every copy itself";
    std::string large;
    for (int i = 0; large.size() < 3 * 1024 * 1024 + 5000; ++i)
        large += "frase " + std::to_string(i) + " con parole in pi\xC3\xB9, e ancora;\n";
    const std::string small = "uno due tre;\n";
    const std::string read_message = "Errore lettura file input\n";
    const std::string write_message = "Errore scrittura file output\n";
    const struct {
        const std::string& text;
        const char* fail;
        const char* pinned;
        std::size_t read_before; // for a failed second read: the block read
        const std::string& message;
    } cases[] = {
        {large, "fread:worker", "", 1024 * 1024, read_message},
        {large, "fread:main", "taskset -c 0 ", 256 * 1024, read_message},
        {small, "fread:main", "", 0, read_message},
        {large, "fwrite:worker", "", 0, write_message},
        {large, "fwrite:main", "taskset -c 0 ", 0, write_message},
    };
    for (const auto& c : cases) {
        const bool small_text = &c.text == &small;
        const std::string where = std::string(c.fail) + (small_text ? ", small" : "") + c.pinned;
        write_file(in, c.text);
        const std::string preload = preloaded(std::string("SFOLTITESTO_FAIL=") + c.fail +
                                              " SFOLTITESTO_FAIL_AT=" + (small_text ? "1" : "2"));
        const run_result r = run_program({in, out, "1000"}, preload + c.pinned);
        EXPECT_EQ(r.status, 1) << where;
        EXPECT_EQ(r.console, announced(in, out, 1000) + c.message) << where;
        // Sizes, not the texts, are shown when they differ.
        const std::string written = file_bytes(out).value_or("none");
        const std::string clean = condense_reference(c.text, 1000);
        const std::string expected = &c.message == &read_message
                                         ? condense_reference(c.text.substr(0, c.read_before), 1000)
                                         : clean.substr(0, written.size());
        EXPECT_TRUE(written == expected && written.size() < clean.size())
            << where << ": " << written.size() << " bytes written, " << expected.size()
            << " expected, of " << clean.size();
    }
}
#endif

// The output is emptied before the new result goes in, whatever it held.
TEST_F(e2e, an_earlier_longer_output_is_replaced_whole)
{
    write_file(in, "uno due;\n");
    write_file(out, std::string(100000, 'x'));
    const run_result r = run_program({in, out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(file_bytes(out), as_stored("uno due;\n;\n"));
}

} // namespace
