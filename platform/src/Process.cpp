// Child processes started as CreateProcess starts them.
//
// The program is found by the Windows search rules over Windows paths, then started
// with posix_spawn: argv is the command line split by the C runtime's rules
// (CommandLine.h, as the child's runtime would split it on Windows) and converted to
// UTF-8, and the exact line travels in MORVAN_CMDLINE so a child of ours can read it
// back byte for byte.
#include "platform/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "ErrnoError.h"
#include "HostPath.h"
#include "ProgramSearch.h"
#include "platform/CommandLine.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"
#include "platform/UniqueFd.h"

extern char** environ;

namespace platform {
namespace {

// The exit status as Windows reports it: the low byte read as signed, so exit(-1)
// gives -1. A child killed by a signal reads as a shell reports it (128 + signal),
// folded the same way.
std::int32_t ExitCodeOf(int status) {
    if (WIFEXITED(status)) return static_cast<std::int8_t>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return static_cast<std::int8_t>(128 + WTERMSIG(status));
    return -1;
}

// The candidate for `name` in one folder: NAME.EXE when the name has no extension, as
// Windows does. The bare name is deliberately not tried: names are matched without
// regard to case, so "LHA" would otherwise find a host program "lha" in a PATH folder
// instead of reporting that the prefix lacks LHA.EXE.
bool TryFolder(const std::string& dir, std::string_view name, std::string& found) {
    std::string n = detail::NameHasExtension(name) ? std::string(name) : std::string(name) + ".EXE";
    std::string candidate = dir.empty() ? n : detail::JoinWindowsPath(dir, n);
    if (!detail::IsPlainFileAt(candidate)) return false;
    found = FullWindowsPath(candidate);
    return true;
}

std::string ProgramName(const ProcessStart& start) {
    if (!start.applicationName.empty()) return start.applicationName;
    return ProgramOfCommandLine(start.commandLine);
}

// Reads the first bytes of a host file to tell a program the host can run (an ELF
// image or a "#!" script) from anything else.
bool LooksRunnable(const std::string& host) {
    UniqueFd fd(open(host.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return false;
    unsigned char head[4] = {};
    ssize_t n = read(fd.Get(), head, sizeof head);
    if (n >= 4 && head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F')
        return true;
    return n >= 2 && head[0] == '#' && head[1] == '!';
}

// A start failure: an image the host cannot run is 193, as Windows reports a file that
// is not a program; the rest as any file operation reports it.
WinError SpawnErrorToWin(int err) {
    if (err == ENOEXEC || err == ELIBBAD) return kErrorBadExeFormat;
    return detail::ErrnoToWinError(err);
}

// The attributes and file actions of one start, released however the start ends.
struct SpawnSetup {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    bool haveActions = false;
    bool haveAttr = false;

    SpawnSetup() = default;
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        if (haveActions) posix_spawn_file_actions_destroy(&actions);
        if (haveAttr) posix_spawnattr_destroy(&attr);
    }

    // 0, or the error of the first step that failed (the posix_spawn functions return it).
    int Init() {
        if (int err = posix_spawn_file_actions_init(&actions); err != 0) return err;
        haveActions = true;
        if (int err = posix_spawnattr_init(&attr); err != 0) return err;
        haveAttr = true;
        return 0;
    }
};

}  // namespace

// ---- finding and starting programs ----

WinError FindProgram(const ProcessStart& start, std::string& windowsPath) {
    std::string name = ProgramName(start);
    if (name.empty()) return kErrorFileNotFound;
    if (!IsValidCp932(name)) return kErrorInvalidName;
    if (detail::NameHasFolder(name)) {
        std::string folder;
        std::size_t delim = FindLastPathDelimiter(name);
        if (delim != std::string::npos) folder = name.substr(0, delim + 1);
        if (!folder.empty()) {
            std::string host;
            struct stat st;
            WinError rc = ToHostPath(folder, host);
            if (rc != kErrorSuccess) return rc;
            if (stat(host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrorPathNotFound;
        }
        return TryFolder("", name, windowsPath) ? kErrorSuccess : kErrorFileNotFound;
    }

    std::vector<std::string> folders;
    if (std::string own = detail::OwnProgramFolder(); !own.empty()) folders.push_back(own);
    folders.push_back(GetCurrentDirectoryW());
    folders.push_back(GetWindowsDirectoryW() + "\\SYSTEM32");
    folders.push_back(GetWindowsDirectoryW());
    for (std::string& dir : detail::PathVariableFolders()) folders.push_back(std::move(dir));
    for (const auto& folder : folders) {
        if (TryFolder(folder, name, windowsPath)) return kErrorSuccess;
    }
    return kErrorFileNotFound;
}

WinError StartProcess(const ProcessStart& start, ChildProcess& child) {
    std::string program;
    if (WinError rc = FindProgram(start, program); rc != kErrorSuccess) return rc;
    std::string host;
    if (WinError rc = ToHostPath(program, host); rc != kErrorSuccess) return rc;

    struct stat st;
    if (stat(host.c_str(), &st) != 0) return kErrorFileNotFound;
    if ((st.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) == 0) return kErrorAccessDenied;
    if (!LooksRunnable(host)) return kErrorBadExeFormat;

    std::string cwdHost;
    if (!start.currentDirectory.empty()) {
        if (WinError rc = ToHostPath(start.currentDirectory, cwdHost); rc != kErrorSuccess)
            return rc;
        if (stat(cwdHost.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrorPathNotFound;
    }

    // Windows uses the application name as the command line when none is given.
    const std::string& commandLine =
        start.commandLine.empty() ? start.applicationName : start.commandLine;
    std::vector<std::string> args;
    for (const auto& arg : SplitCommandLine(commandLine)) {
        std::string utf8;
        if (!Cp932ToUtf8(arg, utf8)) return kErrorInvalidName;
        args.push_back(std::move(utf8));
    }
    if (args.empty()) args.push_back(host);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envStore;
    std::string prefixEntry = std::string(kCommandLineVariable) + "=";
    for (char** e = environ; e && *e; ++e) {
        if (std::strncmp(*e, prefixEntry.c_str(), prefixEntry.size()) != 0)
            envStore.emplace_back(*e);
    }
    envStore.push_back(prefixEntry + commandLine);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);

    // Every step is checked: a child started without its folder, its signal state or
    // its own session would run, but not as asked.
    SpawnSetup setup;
    int err = setup.Init();
    // Only the standard streams pass to the child: descriptors the caller opened
    // without close-on-exec (hive locks, pipes) must not leak into it.
    if (err == 0) err = posix_spawn_file_actions_addclosefrom_np(&setup.actions, 3);
    if (err == 0 && !cwdHost.empty())
        err = posix_spawn_file_actions_addchdir_np(&setup.actions, cwdHost.c_str());
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    if (err == 0) err = posix_spawnattr_setsigmask(&setup.attr, &none);
    if (err == 0) err = posix_spawnattr_setsigdefault(&setup.attr, &all);
    if (start.detached) {
        flags |= POSIX_SPAWN_SETSID;
        if (err == 0)
            err = posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (err == 0) err = posix_spawnattr_setflags(&setup.attr, flags);
    if (err != 0) return detail::ErrnoToWinError(err);

    pid_t pid = -1;
    err = posix_spawn(&pid, host.c_str(), &setup.actions, &setup.attr, argv.data(), envp.data());
    if (err != 0) return SpawnErrorToWin(err);

    child = ChildProcess();
    child.pid_ = pid;
    child.ended_ = false;
    child.exitCode_ = static_cast<std::int32_t>(kStillActive);
    return kErrorSuccess;
}

// ---- ChildProcess ----

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), ended_(other.ended_), exitCode_(other.exitCode_) {
    other.pid_ = -1;
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        pid_ = other.pid_;
        ended_ = other.ended_;
        exitCode_ = other.exitCode_;
        other.pid_ = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess() = default;

std::int32_t ChildProcess::Wait() {
    if (pid_ <= 0) return -1;
    if (ended_) return exitCode_;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
        if (errno != EINTR) {
            ended_ = true;
            exitCode_ = -1;
            return exitCode_;
        }
    }
    ended_ = true;
    exitCode_ = ExitCodeOf(status);
    return exitCode_;
}

bool ChildProcess::WaitFor(int milliseconds, std::int32_t& code) {
    if (pid_ <= 0) {
        code = -1;
        return true;
    }
    if (ended_) {
        code = exitCode_;
        return true;
    }
    // A pidfd becomes readable when the child ends, so the wait needs no polling loop.
    UniqueFd pidfd(static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
    if (pidfd) {
        pollfd p{pidfd.Get(), POLLIN, 0};
        int rc;
        do {
            rc = poll(&p, 1, milliseconds < 0 ? -1 : milliseconds);
        } while (rc < 0 && errno == EINTR);
    }
    int status = 0;
    pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == 0 && !pidfd) {
        // No pidfd (old kernel): poll the child in small steps.
        for (int waited = 0; r == 0 && waited < milliseconds; waited += 5) {
            usleep(5000);
            r = waitpid(pid_, &status, WNOHANG);
        }
    }
    if (r == 0) {
        code = static_cast<std::int32_t>(kStillActive);
        return false;
    }
    ended_ = true;
    exitCode_ = r < 0 ? -1 : ExitCodeOf(status);
    code = exitCode_;
    return true;
}

}  // namespace platform
