// Runs commands in turn, round after round, and prints for each the median
// wall time and the median CPU time (user + system) of its runs, in
// milliseconds: hyperfine gives only the mean of the CPU times.
//
// Usage: timing RUNS NAME COMMAND ARGS... [:: NAME COMMAND ARGS...]...
// Prints one line per command: NAME wall_ms cpu_ms user_ms system_ms.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct command {
    std::string name;
    std::vector<char*> argv;
    std::vector<double> wall, cpu, user, system;
};

double ms(const timeval& t)
{
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_usec) / 1e3;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool run(command& c)
{
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The programs' console lines are not what is measured.
        if (std::freopen("/dev/null", "w", stdout) == nullptr)
            _exit(127);
        execv(c.argv[0], c.argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return false;
    const auto end = std::chrono::steady_clock::now();
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    const double user = ms(after.ru_utime) - ms(before.ru_utime);
    const double system = ms(after.ru_stime) - ms(before.ru_stime);
    c.wall.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    c.user.push_back(user);
    c.system.push_back(system);
    c.cpu.push_back(user + system);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const int runs = std::atoi(argv[1]);
    std::vector<command> commands(1);
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "::") == 0) {
            commands.emplace_back();
            continue;
        }
        command& c = commands.back();
        if (c.name.empty())
            c.name = argv[i];
        else
            c.argv.push_back(argv[i]);
    }
    for (command& c : commands)
        c.argv.push_back(nullptr);
    // One round unmeasured, to warm the page cache and the processor.
    for (command& c : commands) {
        if (!run(c)) {
            std::fprintf(stderr, "timing: %s failed\n", c.name.c_str());
            return 1;
        }
        c.wall.clear();
        c.cpu.clear();
        c.user.clear();
        c.system.clear();
    }
    for (int r = 0; r < runs; ++r)
        for (command& c : commands)
            if (!run(c))
                return 1;
    for (const command& c : commands)
        std::printf("%s %.3f %.3f %.3f %.3f\n", c.name.c_str(), median(c.wall), median(c.cpu),
                    median(c.user), median(c.system));
    return 0;
}
