// Programs run as whole processes, as a user runs them: CPU time (user and system), minor page
// faults and peak resident size as the system accounts for the finished child (wait4).
#pragma once

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tessavo::bench {

struct ChildRun {
    double seconds = -1;  // CPU, user and system; negative when the run failed
    double faults = 0;
    double peakMb = 0;
};

// Runs `argv` (argv[0] a path) with its output streams thrown away; a failure to start or an
// exit status other than 0 is a failed run.
inline ChildRun RunChild(std::vector<std::string> argv) {
    std::vector<char*> args;
    for (std::string& arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
        return {};
    }
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return {seconds(usage.ru_utime) + seconds(usage.ru_stime),
            static_cast<double>(usage.ru_minflt), static_cast<double>(usage.ru_maxrss) / 1024.0};
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

}  // namespace tessavo::bench
