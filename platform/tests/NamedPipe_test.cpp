// Named pipes: names, message boundaries, instances and waiting, servers that die or
// close, long prefixes, and bytes that do not come from this layer. Most cases run a
// real second process (platform-test-pipe-peer) in the test's own prefix.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <set>
#include <thread>

#include "PipePeer.h"
#include "TestPrefix.h"
#include "platform/NamedPipe.h"

extern char** environ;

namespace platform {
namespace {

using test::PipePattern;
using test::PrefixTest;
using test::Sj;
namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A running platform-test-pipe-peer; killed and reaped when it goes out of scope.
class Peer {
  public:
    explicit Peer(const std::vector<std::string>& args) {
        int out[2];
        EXPECT_EQ(pipe2(out, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        const std::string program = (test::BinDir() / test::kPipePeerProgram).string();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        output_ = out[0];
    }
    ~Peer() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(output_);
    }
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;

    // True once the peer printed "ready" (its pipe exists).
    bool Ready() {
        pollfd p{output_, POLLIN, 0};
        char line[16] = {};
        return poll(&p, 1, 10000) == 1 && read(output_, line, sizeof line - 1) > 0 &&
               std::string(line) == "ready\n";
    }
    // Exit status of a peer that ends by itself (-1 when it did not end in time).
    int Wait() {
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    void KillNow() {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    pid_t pid_ = -1;
    int output_ = -1;
};

std::string Read(PipeHandle h, std::uint32_t size, WinError expected = kErrorSuccess) {
    std::string buffer(size, '\0');
    std::uint32_t got = 0;
    EXPECT_EQ(ReadFilePipe(h, buffer.data(), size, got), expected);
    buffer.resize(got);
    return buffer;
}

void Write(PipeHandle h, const std::string& message) {
    std::uint32_t put = 0;
    ASSERT_EQ(WriteFilePipe(h, message.data(), static_cast<std::uint32_t>(message.size()), put),
              kErrorSuccess);
    EXPECT_EQ(put, message.size());
}

TEST_F(PrefixTest, PipeNamesMapOntoThePrefixFolder) {
    const fs::path pipes = prefix_ / "pipes";
    std::string host;
    ASSERT_EQ(PipeHostPath("\\\\.\\PIPE\\DBMAN", host), kErrorSuccess);
    EXPECT_EQ(host, (pipes / "DBMAN").string());
    ASSERT_EQ(PipeHostPath("\\PIPE\\DBGPRT\\PDMMON", host), kErrorSuccess);
    EXPECT_EQ(host, (pipes / "DBGPRT" / "PDMMON").string());

    // Existing folders are found whatever the case; the rest is kept as written. A
    // double-byte character ending in 0x5C is no separator.
    fs::create_directories(pipes / "DbgPrt");
    ASSERT_EQ(PipeHostPath("\\\\.\\pipe\\DBGPRT\\pdmmon", host), kErrorSuccess);
    EXPECT_EQ(host, (pipes / "DbgPrt" / "pdmmon").string());
    ASSERT_EQ(PipeHostPath(Sj("\\\\.\\PIPE\\表\\ソ"), host), kErrorSuccess);
    EXPECT_EQ(host, (pipes / "表" / "ソ").string());

    const std::string at256 = "\\\\.\\PIPE\\" + std::string(256 - 9, 'N');
    EXPECT_EQ(PipeHostPath(at256, host), kErrorSuccess);

    std::string hundredKanji;
    for (int i = 0; i < 100; ++i) hundredKanji += Sj("表");
    struct Bad {
        std::string name;
        WinError error;
    };
    const Bad bad[] = {
        {"\\\\HOST\\PIPE\\DBMAN", kErrorFileNotFound},  // another machine
        {"\\\\.\\MAILSLOT\\X", kErrorFileNotFound},
        {"C:\\PIPE\\X", kErrorFileNotFound},
        {"\\\\.", kErrorFileNotFound},
        {at256 + "N", kErrorInvalidName},
        {"\\\\.\\PIPE\\", kErrorInvalidName},
        {"\\\\.\\PIPE\\A\\\\B", kErrorInvalidName},
        {"\\\\.\\PIPE\\A\\", kErrorInvalidName},
        {"\\\\.\\PIPE\\..\\..\\etc", kErrorInvalidName},  // never out of the pipes folder
        {"\\\\.\\PIPE\\.", kErrorInvalidName},
        {"\\\\.\\PIPE\\A/B", kErrorInvalidName},
        {std::string("\\\\.\\PIPE\\A\0B", 12), kErrorInvalidName},
        {"\\\\.\\PIPE\\\x81", kErrorInvalidName},  // a lead byte without its trail byte
        {"\\\\.\\PIPE\\" + hundredKanji,
         kErrorInvalidName},  // fits 256 bytes of code page 932, not a 255-byte host name
    };
    for (const auto& b : bad) {
        EXPECT_EQ(PipeHostPath(b.name, host), b.error) << b.name;
        PipeHandle h;
        EXPECT_EQ(CreateFilePipe(b.name, h), b.error) << b.name;
        EXPECT_EQ(h, kInvalidPipeHandle);
        PipeServer server;
        EXPECT_NE(server.Create(b.name, 1), kErrorSuccess) << b.name;
    }
    EXPECT_FALSE(fs::exists(prefix_ / "etc"));
}

TEST_F(PrefixTest, PipeServerInThisProcess) {
    const std::string name = "\\\\.\\PIPE\\LOCAL";
    PipeHandle client;
    EXPECT_EQ(CreateFilePipe(name, client), kErrorFileNotFound);
    EXPECT_EQ(WaitNamedPipeA(name, kPipeWaitForever), kErrorFileNotFound);  // at once

    PipeServer server;
    EXPECT_EQ(server.Create(name, 0), kErrorInvalidParameter);
    EXPECT_EQ(server.Create(name, 256), kErrorInvalidParameter);
    ASSERT_EQ(server.Create(name, 2), kErrorSuccess);
    EXPECT_TRUE(fs::exists(prefix_ / "pipes" / "LOCAL"));
    EXPECT_EQ(server.Create(name, 2), kErrorInvalidParameter);  // serves one pipe at a time

    ASSERT_EQ(CreateFilePipe("\\\\.\\pipe\\local", client), kErrorSuccess);
    PipeHandle connection;
    ASSERT_EQ(server.Accept(connection), kErrorSuccess);
    Write(client, "ping");
    EXPECT_EQ(Read(connection, 16), "ping");
    EXPECT_EQ(FlushFileBuffersPipe(client), kErrorSuccess);

    // A handle closed by another thread ends the read blocked on it.
    auto reader = std::async(std::launch::async, [&] {
        char c;
        std::uint32_t got;
        return ReadFilePipe(connection, &c, 1, got);
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(CloseHandlePipe(connection), kErrorSuccess);
    ASSERT_EQ(reader.wait_for(10s), std::future_status::ready);
    // 6 only when the thread came to its read after the close (a very slow start).
    const WinError ended = reader.get();
    EXPECT_TRUE(ended == kErrorBrokenPipe || ended == kErrorInvalidHandle) << ended;
    EXPECT_EQ(Read(client, 16, kErrorBrokenPipe), "");
    EXPECT_EQ(FlushFileBuffersPipe(client), kErrorBrokenPipe);

    // Closed and unknown handles.
    EXPECT_EQ(CloseHandlePipe(client), kErrorSuccess);
    std::uint32_t n;
    char c = 0;
    for (PipeHandle h : {client, connection, kInvalidPipeHandle, 0x3FFFFFFF}) {
        EXPECT_EQ(ReadFilePipe(h, &c, 1, n), kErrorInvalidHandle);
        EXPECT_EQ(WriteFilePipe(h, &c, 1, n), kErrorInvalidHandle);
        EXPECT_EQ(FlushFileBuffersPipe(h), kErrorInvalidHandle);
        EXPECT_EQ(CloseHandlePipe(h), kErrorInvalidHandle);
    }

    // Close() ends a blocked Accept() and takes the pipe away.
    auto accepting = std::async(std::launch::async, [&] {
        PipeHandle h;
        return server.Accept(h);
    });
    std::this_thread::sleep_for(50ms);
    server.Close();
    ASSERT_EQ(accepting.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(accepting.get(), kErrorOperationAborted);
    EXPECT_FALSE(fs::exists(prefix_ / "pipes" / "LOCAL"));
    EXPECT_EQ(CreateFilePipe(name, client), kErrorFileNotFound);
    PipeHandle h;
    EXPECT_EQ(server.Accept(h), kErrorOperationAborted);
}

TEST_F(PrefixTest, MessagesKeepTheirBoundariesBetweenProcesses) {
    PipeServer server;
    ASSERT_EQ(server.Create("\\\\.\\PIPE\\BOUNDS", 1), kErrorSuccess);
    const std::vector<std::size_t> sizes = {0, 1, 740, kPipeMaxMessage, 0, 3};
    Peer peer({"send", "\\\\.\\pipe\\bounds", "0", "1", "740", std::to_string(kPipeMaxMessage), "0",
               "3"});
    PipeHandle connection;
    ASSERT_EQ(server.Accept(connection), kErrorSuccess);
    for (std::size_t size : sizes)
        EXPECT_EQ(Read(connection, kPipeMaxMessage), PipePattern(size)) << size;
    // The peer wrote everything, closed and ended: the end, not an empty message.
    EXPECT_EQ(peer.Wait(), 0);
    EXPECT_EQ(Read(connection, kPipeMaxMessage, kErrorBrokenPipe), "");
    EXPECT_EQ(FlushFileBuffersPipe(connection), kErrorBrokenPipe);
    std::uint32_t put = 0;
    EXPECT_EQ(WriteFilePipe(connection, "x", 1, put), kErrorNoData);
    EXPECT_EQ(CloseHandlePipe(connection), kErrorSuccess);
}

TEST_F(PrefixTest, ALongMessageComesInPiecesOfTheBuffer) {
    Peer peer({"echo", "\\\\.\\PIPE\\ECHO", "1"});
    ASSERT_TRUE(peer.Ready());
    PipeHandle client;
    ASSERT_EQ(CreateFilePipe("\\\\.\\PIPE\\ECHO", client), kErrorSuccess);

    const std::string long1000 = PipePattern(1000), short5 = PipePattern(5);
    Write(client, long1000);
    Write(client, short5);
    std::string got = Read(client, 740, kErrorMoreData);
    got += Read(client, 0, kErrorMoreData);
    got += Read(client, 100, kErrorMoreData);
    got += Read(client, 4096);  // the rest only, never the next message
    EXPECT_EQ(got, long1000);
    EXPECT_EQ(Read(client, 4096), short5);

    // A message of exactly the buffer's size, and the largest one.
    Write(client, PipePattern(740));
    EXPECT_EQ(Read(client, 740), PipePattern(740));
    Write(client, PipePattern(kPipeMaxMessage));
    got = Read(client, 740, kErrorMoreData);
    got += Read(client, kPipeMaxMessage);
    EXPECT_EQ(got, PipePattern(kPipeMaxMessage));

    std::string tooLong(kPipeMaxMessage + 1, 'x');
    std::uint32_t put = 7;
    EXPECT_EQ(
        WriteFilePipe(client, tooLong.data(), static_cast<std::uint32_t>(tooLong.size()), put),
        kErrorInvalidParameter);
    EXPECT_EQ(put, 0u);

    // The server dies mid-conversation: the client learns it, nothing hangs.
    Write(client, "last");
    EXPECT_EQ(Read(client, 16), "last");
    peer.KillNow();
    EXPECT_EQ(Read(client, 16, kErrorBrokenPipe), "");
    const WinError w = WriteFilePipe(client, "x", 1, put);
    EXPECT_TRUE(w == kErrorNoData || w == kErrorBrokenPipe) << w;
    EXPECT_EQ(CloseHandlePipe(client), kErrorSuccess);
}

TEST_F(PrefixTest, BusyInstanceAndWaitingForIt) {
    const std::string name = "\\\\.\\PIPE\\ONE";
    Peer peer({"echo", name, "1"});
    ASSERT_TRUE(peer.Ready());
    PipeHandle first, second;
    ASSERT_EQ(CreateFilePipe(name, first), kErrorSuccess);
    Write(first, "a");
    EXPECT_EQ(Read(first, 4), "a");

    EXPECT_EQ(CreateFilePipe(name, second), kErrorPipeBusy);
    EXPECT_EQ(second, kInvalidPipeHandle);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitNamedPipeA(name, 100), kErrorSemTimeout);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, 100ms);
    EXPECT_EQ(WaitNamedPipeA(name, 0), kErrorSemTimeout);  // the default wait

    auto waiting =
        std::async(std::launch::async, [&] { return WaitNamedPipeA(name, kPipeWaitForever); });
    EXPECT_EQ(waiting.wait_for(100ms), std::future_status::timeout);
    EXPECT_EQ(CloseHandlePipe(first), kErrorSuccess);  // the server reads the end, frees it
    ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(waiting.get(), kErrorSuccess);

    // The wait took no instance: the one instance is there for the open.
    ASSERT_EQ(CreateFilePipe(name, second), kErrorSuccess);
    Write(second, "b");
    EXPECT_EQ(Read(second, 4), "b");
    EXPECT_EQ(WaitNamedPipeA(name, 50), kErrorSemTimeout);
    EXPECT_EQ(CloseHandlePipe(second), kErrorSuccess);
}

TEST_F(PrefixTest, KilledServerLeavesNoHangAndItsNameIsTakenOver) {
    const std::string name = "\\\\.\\PIPE\\DBMAN";
    const fs::path socketFile = prefix_ / "pipes" / "DBMAN";
    {
        Peer peer({"echo", name, "1"});
        ASSERT_TRUE(peer.Ready());
        // A live server keeps its name (also under another case), and the probe that
        // found it out took none of its instances.
        PipeServer rival;
        EXPECT_EQ(rival.Create("\\\\.\\pipe\\DbMan", 1), kErrorAccessDenied);
        PipeHandle client;
        ASSERT_EQ(CreateFilePipe(name, client), kErrorSuccess);
        EXPECT_EQ(CloseHandlePipe(client), kErrorSuccess);
        peer.KillNow();
    }
    ASSERT_TRUE(fs::is_socket(fs::symlink_status(socketFile)));  // left behind

    PipeHandle client;
    EXPECT_EQ(CreateFilePipe(name, client), kErrorFileNotFound);
    EXPECT_EQ(WaitNamedPipeA(name, kPipeWaitForever), kErrorFileNotFound);

    PipeServer server;
    ASSERT_EQ(server.Create("\\\\.\\PIPE\\dbman", 1), kErrorSuccess);
    ASSERT_EQ(CreateFilePipe(name, client), kErrorSuccess);
    PipeHandle connection;
    ASSERT_EQ(server.Accept(connection), kErrorSuccess);
    Write(client, "hello");
    EXPECT_EQ(Read(connection, 16), "hello");
    EXPECT_EQ(CloseHandlePipe(client), kErrorSuccess);
    EXPECT_EQ(CloseHandlePipe(connection), kErrorSuccess);

    // Something that is not a socket is never taken over.
    fs::create_directories(prefix_ / "pipes" / "FOLDER");
    PipeServer other;
    EXPECT_EQ(other.Create("\\\\.\\PIPE\\FOLDER", 1), kErrorAccessDenied);
    EXPECT_TRUE(fs::is_directory(prefix_ / "pipes" / "FOLDER"));
}

TEST_F(PrefixTest, EveryConnectionReachesAcceptThroughOneInstance) {
    // Three processes log lines, one connection per line, through a single instance:
    // clients that find it busy wait and try again, and no line is lost.
    PipeServer server;
    ASSERT_EQ(server.Create("\\\\.\\PIPE\\DBGPRT\\PDMMON", 1), kErrorSuccess);
    constexpr int kLines = 40;
    const std::vector<std::string> names = {
        "\\\\.\\PIPE\\DBGPRT\\PDMMON", "\\\\.\\pipe\\dbgprt\\pdmmon", "\\PIPE\\DbgPrt\\PdmMon"};
    std::vector<std::unique_ptr<Peer>> peers;
    for (std::size_t p = 0; p < names.size(); ++p) {
        peers.push_back(std::make_unique<Peer>(std::vector<std::string>{
            "lines", names[p], std::to_string(kLines), std::string(1, char('a' + p))}));
    }
    std::set<std::string> lines;
    for (std::size_t i = 0; i < names.size() * kLines; ++i) {
        PipeHandle connection;
        ASSERT_EQ(server.Accept(connection), kErrorSuccess);
        lines.insert(Read(connection, 64));
        EXPECT_EQ(Read(connection, 64, kErrorBrokenPipe), "");
        EXPECT_EQ(CloseHandlePipe(connection), kErrorSuccess);
    }
    for (auto& peer : peers) EXPECT_EQ(peer->Wait(), 0);
    EXPECT_EQ(lines.size(), names.size() * kLines);
    EXPECT_EQ(lines.count("a 0") + lines.count("c " + std::to_string(kLines - 1)), 2u);
}

TEST_F(PrefixTest, PipesWorkUnderALongPrefix) {
    // A prefix whose socket paths exceed the host's 108 bytes by far, and a pipe name
    // whose socket name alone would not fit.
    fs::path deep = prefix_;
    while (deep.string().size() < 220) deep /= "a-rather-long-folder-name";
    fs::create_directories(deep);
    setenv("MORVAN_PREFIX", deep.c_str(), 1);
    ResetPrefixForTesting();
    const std::string name = "\\\\.\\PIPE\\DBGPRT\\" + std::string(120, 'P');

    Peer peer({"echo", name, "1"});
    ASSERT_TRUE(peer.Ready());
    std::string host;
    ASSERT_EQ(PipeHostPath(name, host), kErrorSuccess);
    EXPECT_GT(host.size(), 300u);
    EXPECT_TRUE(fs::is_socket(host));
    PipeHandle client;
    ASSERT_EQ(CreateFilePipe(name, client), kErrorSuccess);
    Write(client, PipePattern(740));
    EXPECT_EQ(Read(client, 740), PipePattern(740));
    EXPECT_EQ(CloseHandlePipe(client), kErrorSuccess);

    // This process serves a pipe there too, replacing the killed peer's socket.
    peer.KillNow();
    PipeServer server;
    ASSERT_EQ(server.Create(name, 1), kErrorSuccess);
    ASSERT_EQ(CreateFilePipe(name, client), kErrorSuccess);
    PipeHandle connection;
    ASSERT_EQ(server.Accept(connection), kErrorSuccess);
    Write(client, "x");
    EXPECT_EQ(Read(connection, 4), "x");
    EXPECT_EQ(CloseHandlePipe(client), kErrorSuccess);
    EXPECT_EQ(CloseHandlePipe(connection), kErrorSuccess);
    server.Close();
    EXPECT_FALSE(fs::exists(host));
}

// A raw socket connected to the pipe's socket file, speaking the wire protocol by hand.
int RawConnect(const std::string& host) {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", host.c_str());
    EXPECT_EQ(connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    return fd;
}

TEST_F(PrefixTest, ForeignBytesOnThePipeAreRefused) {
    const std::string name = "\\\\.\\PIPE\\RAW";
    PipeServer server;
    ASSERT_EQ(server.Create(name, 1), kErrorSuccess);
    std::string host;
    ASSERT_EQ(PipeHostPath(name, host), kErrorSuccess);

    // An unknown hello is hung up on and takes no instance.
    int junk = RawConnect(host);
    ASSERT_EQ(send(junk, "XYZ", 3, 0), 3);
    char status = 0;
    EXPECT_EQ(recv(junk, &status, 1, 0), 0);
    close(junk);

    int raw = RawConnect(host);
    ASSERT_EQ(send(raw, "O", 1, 0), 1);
    ASSERT_EQ(recv(raw, &status, 1, 0), 1);
    EXPECT_EQ(status, 'A');
    PipeHandle connection;
    ASSERT_EQ(server.Accept(connection), kErrorSuccess);
    // A message without the layer's mark, one longer than any message may be, then a
    // proper one: the first two are refused, the connection goes on.
    ASSERT_EQ(send(raw, "no mark", 7, 0), 7);
    std::string huge(kPipeMaxMessage + 100, 'M');
    int size = 4 * static_cast<int>(huge.size());
    setsockopt(raw, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    ASSERT_EQ(send(raw, huge.data(), huge.size(), 0), static_cast<ssize_t>(huge.size()));
    ASSERT_EQ(send(raw, "Mok", 3, 0), 3);
    EXPECT_EQ(Read(connection, 740, kErrorInvalidData), "");
    EXPECT_EQ(Read(connection, kPipeMaxMessage, kErrorInvalidData), "");
    EXPECT_EQ(Read(connection, 740), "ok");
    close(raw);
    EXPECT_EQ(Read(connection, 740, kErrorBrokenPipe), "");
    EXPECT_EQ(CloseHandlePipe(connection), kErrorSuccess);
}

}  // namespace
}  // namespace platform
