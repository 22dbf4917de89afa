// A real pdmmon process for a test: started in the test's prefix with its standard
// output and error in files, waited for until it reports that it listens.
// (<chrono> itself cannot be included where literals are code page 932; <thread> brings
// the clocks and durations.)
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestPrefix.h"

extern char** environ;

namespace pipe_test {

inline std::string ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class MonitorProcess {
  public:
    // `dir` receives the files "<name>.out" and "<name>.err".
    MonitorProcess(const std::filesystem::path& dir, const std::string& name,
                   std::vector<std::string> args)
        : out_(dir / (name + ".out")), err_(dir / (name + ".err")) {
        std::string program = (platform::test::BinDir() / "pdmmon").string();
        std::vector<std::string> all{program};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0) << program;
        if (rc != 0) pid_ = -1;
    }

    ~MonitorProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
    }

    // Waits (up to 20 s) until the monitor has reported on standard error that it
    // listens, or has ended. True when it listens.
    bool WaitListening() {
        for (int i = 0; i < 2000; ++i) {
            if (Err().find("listening on") != std::string::npos) return true;
            if (pid_ <= 0 || Ended()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // Waits (up to 30 s) for the monitor to end; its exit code, or -1 when it did not
    // end by itself (it is killed then).
    int Wait() {
        for (int i = 0; i < 3000 && pid_ > 0; ++i) {
            if (Ended()) return code_;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        Kill(SIGKILL);
        return -1;
    }

    void Kill(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        code_ = -1;
    }

    std::string Out() const { return ReadHostFile(out_); }
    std::string Err() const { return ReadHostFile(err_); }

  private:
    bool Ended() {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
        code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        pid_ = -1;
        return true;
    }

    std::filesystem::path out_;
    std::filesystem::path err_;
    pid_t pid_ = -1;
    int code_ = -1;
};

}  // namespace pipe_test
