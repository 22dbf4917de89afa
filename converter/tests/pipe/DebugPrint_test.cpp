// Debug print and the native pipe path (the NT family, the prefix's default): what the
// monitor receives, line by line, from a real monitor down to the bytes of each message.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "MonitorProcess.h"
#include "PipeFixture.h"
#include "support/pipe/DebugPrint.h"
#include "support/pipe/OsFamily.h"
#include "support/pipe/PipeLayer.h"

namespace {

using pipe_test::MonitorProcess;
using pipe_test::RecordingServer;

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::string Repeat(std::string_view piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

class DebugPrintTest : public pipe_test::PipeFixture {};

TEST_F(DebugPrintTest, RealMonitorPrintsUtf8AndKeepsRawBytes) {
    ASSERT_TRUE(Os_IsNT());
    auto raw = prefix_ / "raw.log";
    MonitorProcess monitor(prefix_, "monitor",
                           {"--count", "4", "--timeout", "30", "-o", raw.string()});
    ASSERT_TRUE(monitor.WaitListening()) << monitor.Err();

    EXPECT_EQ(DbgPrint("first %d\n", 1), 8);
    EXPECT_EQ(DbgPrint("%s", ""), 0);
    EXPECT_EQ(DbgPrint("変換開始 rc[%d]\n", 0), 15);
    // 150 double-byte characters: 300 bytes, cut before the one across byte 255.
    std::string kanji = Repeat("漢", 150);
    EXPECT_EQ(DbgPrint("%s", kanji.c_str()), 254);

    EXPECT_EQ(monitor.Wait(), 0) << monitor.Err();
    EXPECT_EQ(monitor.Out(),
              U8(u8"first 1\n") + U8(u8"変換開始 rc[0]\n") + Repeat(U8(u8"漢"), 127));
    EXPECT_EQ(pipe_test::ReadHostFile(raw),
              std::string("first 1\n") + "変換開始 rc[0]\n" + Repeat("漢", 127));
}

TEST_F(DebugPrintTest, EachLineIsOneMessageWithItsNulOnAConnectionOfItsOwn) {
    RecordingServer server("\\\\.\\PIPE\\DBGPRT\\PDMMON", 255);
    ASSERT_EQ(server.created(), 0u);

    EXPECT_EQ(DbgPrint("abc %s\n", "def"), 8);
    ASSERT_TRUE(server.WaitConnections(1));
    EXPECT_EQ(DbgPrint("%s", ""), 0);
    ASSERT_TRUE(server.WaitConnections(2));
    // Exactly 255 bytes fit; 256 are cut to 255.
    EXPECT_EQ(DbgPrint("%s", std::string(255, 'x').c_str()), 255);
    ASSERT_TRUE(server.WaitConnections(3));
    EXPECT_EQ(DbgPrint("%s", std::string(256, 'y').c_str()), 255);
    ASSERT_TRUE(server.WaitConnections(4));
    // A double-byte character whose trail byte would be byte 256 goes as a whole; one
    // that ends at byte 255 stays. "表" has "\" as its trail byte.
    std::string across = std::string(254, 'a') + "表" + std::string(44, 'b');
    std::string within = std::string(253, 'a') + "表" + std::string(45, 'b');
    EXPECT_EQ(DbgPrint("%s", across.c_str()), 254);
    ASSERT_TRUE(server.WaitConnections(5));
    EXPECT_EQ(DbgPrint("%s", within.c_str()), 255);
    ASSERT_TRUE(server.WaitConnections(6));

    auto connections = server.Connections();
    ASSERT_EQ(connections.size(), 6u);
    const std::string expected[] = {
        std::string("abc def\n") + '\0', std::string(1, '\0'),
        std::string(255, 'x') + '\0',    std::string(255, 'y') + '\0',
        std::string(254, 'a') + '\0',    std::string(253, 'a') + "表" + '\0',
    };
    for (std::size_t i = 0; i < 6; ++i) {
        ASSERT_EQ(connections[i].size(), 1u) << "connection " << i;
        EXPECT_EQ(connections[i][0], expected[i]) << "connection " << i;
    }
}

TEST_F(DebugPrintTest, WithoutMonitorTheLineIsDroppedAndNothingElseHappens) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(DbgPrint("lost %d\n", 1), -1);
    EXPECT_EQ(DbgPrint("%s", ""), -1);
    EXPECT_EQ(Pipe_Wait(kMonitorPipeName), 0);
    // Not a timing of speed: a client that waited for a monitor would take seconds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(std::filesystem::exists(prefix_ / "pipes" / "DBGPRT"));
    // On the NT family the emulator is never consulted, so no message about it either.
    EXPECT_FALSE(std::filesystem::exists(prefix_ / "messages.log"));
}

TEST_F(DebugPrintTest, WaitsWhileTheMonitorIsBusy) {
    platform::PipeServer server;
    ASSERT_EQ(server.Create("\\\\.\\PIPE\\DBGPRT\\PDMMON", 1), 0u);
    platform::PipeHandle first = platform::kInvalidPipeHandle;
    ASSERT_EQ(platform::CreateFilePipe("\\\\.\\PIPE\\DBGPRT\\PDMMON", first), 0u);
    platform::PipeHandle firstServerSide = platform::kInvalidPipeHandle;
    ASSERT_EQ(server.Accept(firstServerSide), 0u);

    std::atomic<int> result{-2};
    std::thread writer([&] { result = DbgPrint("after the wait\n"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(result.load(), -2) << "DbgPrint must wait for a free instance, not give up";

    platform::CloseHandlePipe(first);
    platform::CloseHandlePipe(firstServerSide);
    platform::PipeHandle second = platform::kInvalidPipeHandle;
    ASSERT_EQ(server.Accept(second), 0u);
    char buffer[64] = {};
    std::uint32_t got = 0;
    EXPECT_EQ(platform::ReadFilePipe(second, buffer, sizeof buffer, got), 0u);
    EXPECT_EQ(std::string(buffer, got), std::string("after the wait\n") + '\0');
    writer.join();
    EXPECT_EQ(result.load(), 15);
    platform::CloseHandlePipe(second);
}

TEST_F(DebugPrintTest, NativePipeNamesAndTraffic) {
    RecordingServer echo("\\\\.\\PIPE\\ECHO", 255, /*echo=*/true);
    ASSERT_EQ(echo.created(), 0u);
    // A full name is used as given, a local one gets the local machine's "\\.".
    for (std::string_view name : {"\\\\.\\PIPE\\ECHO", "\\PIPE\\ECHO", "\\pipe\\echo"}) {
        std::int32_t handle = Pipe_Open(name);
        ASSERT_GE(handle, 0) << name;
        EXPECT_LT(handle, 0x40000000) << name;
        std::uint32_t written = 0;
        EXPECT_NE(Pipe_Write(handle, "ping", 4, written), 0);
        EXPECT_EQ(written, 4u);
        char reply[16] = {};
        std::uint32_t read = 0;
        EXPECT_NE(Pipe_Read(handle, reply, sizeof reply, read), 0);
        EXPECT_EQ(std::string(reply, read), "ping");
        EXPECT_NE(Pipe_Close(handle), 0);
    }
    EXPECT_NE(Pipe_Wait("\\PIPE\\ECHO"), 0);
    EXPECT_EQ(Pipe_Open("\\PIPE\\NOSUCH"), kPipeInvalid);
    EXPECT_EQ(Pipe_Wait("\\PIPE\\NOSUCH"), 0);
    EXPECT_EQ(Pipe_Open(std::string_view("\\PIPE\\ECHO\0X", 12)), kPipeInvalid);
}

TEST_F(DebugPrintTest, LocalNamesMustFitTheNameBuffer) {
    // "\\." + a local name of 96 bytes + NUL fill the 100-byte buffer exactly.
    std::string fits = "\\PIPE\\" + std::string(90, 'F');
    std::string tooLong = "\\PIPE\\" + std::string(91, 'L');
    RecordingServer a("\\\\." + fits, 255);
    RecordingServer b("\\\\." + tooLong, 255);
    ASSERT_EQ(a.created(), 0u);
    ASSERT_EQ(b.created(), 0u);

    std::int32_t handle = Pipe_Open(fits);
    EXPECT_GE(handle, 0);
    Pipe_Close(handle);
    // Refused rather than overrun or cut to another name; the full name still works.
    EXPECT_EQ(Pipe_Open(tooLong), kPipeInvalid);
    EXPECT_EQ(Pipe_Wait(tooLong), 0);
    handle = Pipe_Open("\\\\." + tooLong);
    EXPECT_GE(handle, 0);
    Pipe_Close(handle);
}

}  // namespace
