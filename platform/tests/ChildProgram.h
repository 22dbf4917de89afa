// Host programs started by tests: argv[0] is the program's path, the environment is the
// test's own.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace platform::test {

// Starts the program and returns its process id (-1 when fork fails).
inline pid_t SpawnProgram(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

// Waits for it: its exit code, or 128 + the signal that ended it.
inline int WaitProgram(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

inline int RunProgram(const std::vector<std::string>& args) {
    return WaitProgram(SpawnProgram(args));
}

}  // namespace platform::test
