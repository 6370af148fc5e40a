// CPU use of the idle editor: starts the real loftwork on examples/ (the sample vase, the probe
// animating), lets it settle, and reads the user and system time of the whole process (every
// thread, llvmpipe's included) from /proc over 10 seconds. Reports the share of one core.
// Needs a display (scripts/bench runs it under xvfb-run with software GL).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

constexpr int kSettleSeconds = 3;
constexpr int kMeasureSeconds = 10;

// User plus system time of the process in clock ticks, or -1 when it cannot be read.
long long processTicks(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* file = fopen(path.c_str(), "r");
    if (file == nullptr) return -1;
    char line[1024] = {};
    const bool read = fgets(line, sizeof line, file) != nullptr;
    fclose(file);
    // The command name may hold spaces; the fields after it start after the last ')'.
    const char* rest = read ? strrchr(line, ')') : nullptr;
    if (rest == nullptr) return -1;
    unsigned long long utime = 0, stime = 0;
    // state ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt utime stime
    if (sscanf(rest + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
               &stime) != 2) {
        return -1;
    }
    return static_cast<long long>(utime + stime);
}

pid_t startEditor() {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const std::string examples = std::string(LOFTWORK_SOURCE_DIR) + "/examples";
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
    }
    if (chdir(examples.c_str()) != 0) _exit(127);
    execl(LOFTWORK_BINARY, LOFTWORK_BINARY, static_cast<char*>(nullptr));
    _exit(127);
}

void stopEditor(pid_t pid) {
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
}

bool stillRunning(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

void IdleEditorCpu(benchmark::State& state) {
    const double ticksPerSecond = static_cast<double>(sysconf(_SC_CLK_TCK));
    for (auto _ : state) {
        const pid_t pid = startEditor();
        if (pid < 0) {
            state.SkipWithError("cannot start the editor");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(kSettleSeconds));
        const long long before = processTicks(pid);
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(kMeasureSeconds));
        const long long after = processTicks(pid);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const bool running = stillRunning(pid);
        stopEditor(pid);
        if (!running || before < 0 || after < 0) {
            state.SkipWithError("the editor did not keep running");
            return;
        }
        const double busy = static_cast<double>(after - before) / ticksPerSecond;
        state.SetIterationTime(seconds);
        state.counters["core_percent"] = 100.0 * busy / seconds;
    }
}
BENCHMARK(IdleEditorCpu)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
