#pragma once

// Runs a program as a child process of a benchmark and reports what the system counted for
// it: the time from the start to its end and its processor time. A fresh process tells
// what the program costs as its users run it, which a benchmark's own long-lived process,
// warm from earlier rounds, cannot. (The system's peak memory of a child is no help here:
// it never reads below the parent's size at the fork, so a child reports its own peak.)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace kanvio::bench {

struct TChildRun {
    bool Ran = false; // started and ended with exit code 0
    int ExitCode = -1;
    double WallMilliseconds = 0;
    double CpuMilliseconds = 0; // user and system
};

// Runs arguments[0] with the arguments in folder, its standard output written to
// outputFile (or thrown away when empty), its standard error to this process's.
inline TChildRun RunChild(const std::vector<std::string>& arguments, const std::string& folder,
                          const std::string& outputFile) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string output = outputFile.empty() ? "/dev/null" : outputFile;

    TChildRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0)
        return run;
    if (child == 0) {
        const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || dup2(fd, STDOUT_FILENO) < 0 || chdir(folder.c_str()) != 0)
            _exit(126);
        close(fd);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child)
        return run;
    run.WallMilliseconds =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const auto milliseconds = [](const timeval& time) {
        return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
    };
    run.CpuMilliseconds = milliseconds(usage.ru_utime) + milliseconds(usage.ru_stime);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Ran = run.ExitCode == 0;
    return run;
}

// A line of /proc/self/status in kilobytes ("VmRSS", "VmHWM"), or -1.
inline long OwnStatusKilobytes(const std::string& key) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr)
        return -1;
    char line[256];
    long value = -1;
    while (std::fgets(line, sizeof line, status) != nullptr)
        if (std::string(line).rfind(key + ":", 0) == 0)
            value = std::atol(line + key.size() + 1);
    std::fclose(status);
    return value;
}

// This benchmark's own program file, for running a part of it in a fresh process.
inline std::string OwnProgramFile() {
    std::vector<char> path(4096);
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    return length > 0 ? std::string(path.data(), static_cast<size_t>(length)) : std::string();
}

} // namespace kanvio::bench
