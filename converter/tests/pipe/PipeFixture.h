// What the pipe tests share: a fresh prefix, the switch to the other family of
// Windows, the emulator library put where LoadLibraryA finds it, an in-process pipe
// server that records what clients send, and a capture of standard error.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "MonitorProcess.h"
#include "TestPrefix.h"
#include "platform/NamedPipe.h"
#include "platform/Registry.h"

namespace pipe_test {

class PipeFixture : public platform::test::PrefixTest {
  protected:
    // The prefix becomes a Windows outside the NT family.
    void UseOtherFamily() {
        platform::RegKey key;
        ASSERT_EQ(
            platform::RegCreateKey(platform::RegRoot::LocalMachine, "SOFTWARE\\MorvanPrefix", key),
            0u);
        ASSERT_EQ(platform::RegSetString(key, "Platform", "Windows"), 0u);
    }

    // Installs a library as C:\WINDOWS\SYSTEM32\Tessop.DLL.
    void InstallEmulator(const std::filesystem::path& library) {
        std::filesystem::copy_file(library, C("WINDOWS/SYSTEM32/Tessop.DLL"),
                                   std::filesystem::copy_options::overwrite_existing);
    }
    void InstallRealEmulator() { InstallEmulator(platform::test::BinDir() / "Tessop.DLL"); }

    std::string MessagesLog() const { return ReadHostFile(prefix_ / "messages.log"); }
};

// A pipe served in this process. Every connection is read to its end; its messages are
// recorded, and an echo server writes each message back.
class RecordingServer {
  public:
    RecordingServer(const std::string& name, unsigned instances, bool echo = false) : echo_(echo) {
        created_ = server_.Create(name, instances);
        if (created_ == 0) thread_ = std::thread([this] { Run(); });
    }
    ~RecordingServer() {
        server_.Close();
        if (thread_.joinable()) thread_.join();
        for (auto& t : readers_) t.join();
    }

    platform::WinError created() const { return created_; }

    // The messages of every connection that has ended so far, in the order they ended.
    std::vector<std::vector<std::string>> Connections() {
        std::lock_guard lock(mutex_);
        return ended_;
    }

    // Waits (up to 10 s) until `n` connections have ended.
    bool WaitConnections(std::size_t n) {
        for (int i = 0; i < 1000; ++i) {
            if (Connections().size() >= n) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

  private:
    void Run() {
        for (;;) {
            platform::PipeHandle connection = platform::kInvalidPipeHandle;
            if (server_.Accept(connection) != 0) return;
            readers_.emplace_back([this, connection] { Read(connection); });
        }
    }

    void Read(platform::PipeHandle connection) {
        std::vector<std::string> messages;
        std::vector<char> buffer(platform::kPipeMaxMessage);
        for (;;) {
            std::uint32_t got = 0;
            if (platform::ReadFilePipe(connection, buffer.data(),
                                       static_cast<std::uint32_t>(buffer.size()), got) != 0) {
                break;
            }
            messages.emplace_back(buffer.data(), got);
            if (echo_) {
                std::uint32_t written = 0;
                (void)platform::WriteFilePipe(connection, buffer.data(), got, written);
            }
        }
        platform::CloseHandlePipe(connection);
        std::lock_guard lock(mutex_);
        ended_.push_back(std::move(messages));
    }

    platform::PipeServer server_;
    platform::WinError created_ = 0;
    bool echo_;
    std::thread thread_;
    std::vector<std::thread> readers_;
    std::mutex mutex_;
    std::vector<std::vector<std::string>> ended_;
};

// Standard error goes to a file while this lives; Text() is what was written.
class StderrCapture {
  public:
    explicit StderrCapture(const std::filesystem::path& file) : file_(file) {
        std::fflush(stderr);
        saved_ = ::dup(STDERR_FILENO);
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(fd, STDERR_FILENO);
        ::close(fd);
    }
    ~StderrCapture() { Restore(); }
    std::string Text() {
        Restore();
        return ReadHostFile(file_);
    }

  private:
    void Restore() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        saved_ = -1;
    }
    std::filesystem::path file_;
    int saved_ = -1;
};

}  // namespace pipe_test
