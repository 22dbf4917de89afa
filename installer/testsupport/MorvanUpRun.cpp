// The runner of the real program. It needs what the platform layer does not offer a
// Windows program: the signal that ended a child (a Windows exit code cannot tell a
// SIGKILL from an exit) and a wait with a time limit that does not poll. So it starts
// the child with posix_spawn, waits on a pidfd with poll(), and keeps the child's
// standard error in an anonymous memory file.
#include "installer/testsupport/MorvanUpRun.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "installer/testsupport/TempPrefix.h"
#include "platform/UniqueFd.h"

extern char** environ;

namespace {

// The child's environment: ours, with the platform, the automation and the crash
// point set (the crash point removed when there is none).
std::vector<std::string> ChildEnvironment(const std::string& crashAt) {
    static const char* const kOwn[] = {
        "QT_QPA_PLATFORM=", "MORVANUP_AUTOPILOT=", "MORVANUP_TEST_CRASH_AT="};
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        bool own = false;
        for (const char* name : kOwn)
            own = own || std::strncmp(*entry, name, std::strlen(name)) == 0;
        if (!own) env.emplace_back(*entry);
    }
    env.emplace_back("QT_QPA_PLATFORM=offscreen");
    env.emplace_back("MORVANUP_AUTOPILOT=1");
    if (!crashAt.empty()) env.push_back("MORVANUP_TEST_CRASH_AT=" + crashAt);
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    for (std::string& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[8192];
    off_t offset = 0;
    while (true) {
        ssize_t n = pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return text;
        text.append(buffer, static_cast<std::size_t>(n));
        offset += n;
    }
}

}  // namespace

bool MorvanUpRun::KilledBySigkill() const { return started && !timedOut && signal == SIGKILL; }

bool MorvanUpRun::Printed(const std::string& utf8Text) const {
    return errors.find(utf8Text) != std::string::npos;
}

std::string MorvanUpRun::Account() const {
    std::string how;
    if (!started) {
        how = "not started";
    } else if (timedOut) {
        how = "timed out (killed by the runner)";
    } else if (exited) {
        how = "exited with " + std::to_string(exitCode);
    } else {
        how = "killed by signal " + std::to_string(signal);
    }
    return how + "; standard error:\n" + errors;
}

MorvanUpRun RunMorvanUpProgram(const std::vector<std::string>& parameters,
                               const std::string& crashAt, int timeLimitSeconds) {
    MorvanUpRun run;
    platform::UniqueFd errors(memfd_create("morvanup-stderr", MFD_CLOEXEC));
    platform::UniqueFd devNull(open("/dev/null", O_RDWR | O_CLOEXEC));
    if (!errors || !devNull) return run;

    std::vector<std::string> args{TempPrefix::BinDir() + "/MorvanUP"};
    args.insert(args.end(), parameters.begin(), parameters.end());
    std::vector<std::string> env = ChildEnvironment(crashAt);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, devNull.Get(), STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, devNull.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errors.Get(), STDERR_FILENO);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    run.started = true;

    // Wait for the end with a time limit: the pidfd becomes readable when the child
    // has ended. Without a pidfd (an old kernel) the wait has no limit.
    platform::UniqueFd child(static_cast<int>(syscall(SYS_pidfd_open, pid, 0)));
    if (child) {
        pollfd watch{child.Get(), POLLIN, 0};
        int ready;
        do {
            ready = poll(&watch, 1, timeLimitSeconds * 1000);
        } while (ready < 0 && errno == EINTR);
        if (ready == 0) {
            run.timedOut = true;
            kill(pid, SIGKILL);
        }
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        run.exited = true;
        run.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        run.signal = WTERMSIG(status);
    }
    run.errors = ReadAll(errors.Get());
    return run;
}
