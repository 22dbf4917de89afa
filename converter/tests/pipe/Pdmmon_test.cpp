// The monitor pdmmon as a program: how long it runs and with which exit code, one
// monitor per prefix, recovery after a killed monitor, and lines from many writers at
// once, broken text among them.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "MonitorProcess.h"
#include "PipeFixture.h"
#include "support/pipe/DebugPrint.h"

namespace {

using pipe_test::MonitorProcess;

constexpr const char* kMonitor = "\\\\.\\PIPE\\DBGPRT\\PDMMON";

// Sends raw messages on one connection of the monitor pipe, then closes it.
void SendRaw(const std::vector<std::string>& messages) {
    platform::PipeHandle handle = platform::kInvalidPipeHandle;
    ASSERT_EQ(platform::CreateFilePipe(kMonitor, handle), 0u);
    for (const auto& message : messages) {
        std::uint32_t written = 0;
        EXPECT_EQ(platform::WriteFilePipe(handle, message.data(),
                                          static_cast<std::uint32_t>(message.size()), written),
                  0u);
    }
    platform::CloseHandlePipe(handle);
}

class PdmmonTest : public pipe_test::PipeFixture {};

TEST_F(PdmmonTest, CountAndTimeoutDecideTheExitCode) {
    {
        MonitorProcess monitor(prefix_, "enough", {"--count", "2", "--timeout", "30"});
        ASSERT_TRUE(monitor.WaitListening()) << monitor.Err();
        EXPECT_EQ(DbgPrint("one\n"), 4);
        EXPECT_EQ(DbgPrint("two\n"), 4);
        EXPECT_EQ(monitor.Wait(), 0);
        EXPECT_EQ(monitor.Out(), "one\ntwo\n");
    }
    {
        MonitorProcess monitor(prefix_, "timed", {"--timeout", "0.5"});
        ASSERT_TRUE(monitor.WaitListening()) << monitor.Err();
        EXPECT_EQ(DbgPrint("only\n"), 5);
        EXPECT_EQ(monitor.Wait(), 0);
        EXPECT_EQ(monitor.Out(), "only\n");
    }
    {
        MonitorProcess monitor(prefix_, "short", {"--count", "3", "--timeout=0.5"});
        ASSERT_TRUE(monitor.WaitListening()) << monitor.Err();
        EXPECT_EQ(DbgPrint("just one\n"), 9);
        EXPECT_EQ(monitor.Wait(), 1);
        EXPECT_EQ(monitor.Out(), "just one\n");
    }
    // The monitor removed its pipe on leaving: nobody listens now.
    EXPECT_EQ(DbgPrint("nobody\n"), -1);
}

TEST_F(PdmmonTest, CommandLine) {
    MonitorProcess help(prefix_, "help", {"--help"});
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(help.Out().find("--count N"), std::string::npos) << help.Out();
    for (auto args : std::vector<std::vector<std::string>>{
             {"--count", "0"}, {"--count", "x"}, {"--timeout", "-1"}, {"--count"}, {"--bogus"}}) {
        MonitorProcess bad(prefix_, "bad", args);
        EXPECT_EQ(bad.Wait(), 2) << args[0];
        EXPECT_NE(bad.Err().find("pdmmon: "), std::string::npos);
    }
}

TEST_F(PdmmonTest, OneMonitorPerPrefixAndAKilledOneIsReplaced) {
    MonitorProcess first(prefix_, "first", {});
    ASSERT_TRUE(first.WaitListening()) << first.Err();

    MonitorProcess second(prefix_, "second", {"--timeout", "30"});
    EXPECT_EQ(second.Wait(), 2);
    EXPECT_NE(second.Err().find("already listening"), std::string::npos) << second.Err();
    // The refused one took nothing away from the first.
    EXPECT_EQ(DbgPrint("still here\n"), 11);

    first.Kill(SIGKILL);
    EXPECT_EQ(DbgPrint("between\n"), -1);
    MonitorProcess third(prefix_, "third", {"--count", "1", "--timeout", "30"});
    ASSERT_TRUE(third.WaitListening()) << third.Err();
    EXPECT_EQ(DbgPrint("after a kill\n"), 13);
    EXPECT_EQ(third.Wait(), 0);
    EXPECT_EQ(third.Out(), "after a kill\n");
}

TEST_F(PdmmonTest, ManyWritersBrokenTextAndAStalledConnection) {
    auto raw = prefix_ / "raw.log";
    constexpr int kThreads = 8;
    constexpr int kPerThread = 25;
    // Sequential lines, the threads' lines, and the four of the raw connections.
    const int total = 20 + kThreads * kPerThread + 4;
    MonitorProcess monitor(
        prefix_, "monitor",
        {"--count", std::to_string(total), "--timeout", "60", "-o", raw.string()});
    ASSERT_TRUE(monitor.WaitListening()) << monitor.Err();

    // A connection that is opened and never written to must not hold anyone back.
    platform::PipeHandle stalled = platform::kInvalidPipeHandle;
    ASSERT_EQ(platform::CreateFilePipe(kMonitor, stalled), 0u);

    // Lines written one after another arrive in that order.
    std::string sequential;
    for (int i = 0; i < 20; ++i) {
        std::string line = "seq " + std::to_string(i) + "\n";
        sequential += line;
        EXPECT_EQ(DbgPrint("%s", line.c_str()), static_cast<int>(line.size()));
    }
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) DbgPrint("thread %d line %d\n", t, i);
        });
    }
    // Two lines in one message; a lead byte cut off before its NUL; bytes that are no
    // code page 932 at all; a last line whose NUL never comes.
    SendRaw({std::string("a\n") + '\0' + "b\n" + '\0'});
    SendRaw({std::string("x\x82") + '\0'});
    SendRaw({std::string("\xFF\xA0\xFD") + "!"});
    for (auto& w : writers) w.join();

    EXPECT_EQ(monitor.Wait(), 0) << monitor.Err();
    platform::CloseHandlePipe(stalled);
    std::string out = monitor.Out();
    EXPECT_EQ(out.find(sequential), 0u) << out.substr(0, 200);
    for (int t = 0; t < kThreads; ++t) {
        for (int i = 0; i < kPerThread; ++i) {
            std::string line = "thread " + std::to_string(t) + " line " + std::to_string(i) + "\n";
            EXPECT_NE(out.find(line), std::string::npos) << line;
        }
    }
    EXPECT_NE(out.find("a\nb\n"), std::string::npos);
    std::string rawText = pipe_test::ReadHostFile(raw);
    EXPECT_EQ(rawText.find('\0'), std::string::npos);
    EXPECT_NE(rawText.find("x\x82"), std::string::npos);
    EXPECT_NE(rawText.find("\xFF\xA0\xFD!"), std::string::npos);
    // Standard output stays valid text: what is not code page 932 becomes "?".
    std::string converted;
    EXPECT_TRUE(platform::Utf8ToCp932(out, converted)) << "output is not clean UTF-8";
    EXPECT_NE(out.find("x?"), std::string::npos);
}

}  // namespace
