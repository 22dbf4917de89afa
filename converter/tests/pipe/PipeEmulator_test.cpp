// The pipe layer on the family of Windows outside NT: traffic through the real
// emulator library, what happens when it is missing or incomplete.
//
// The emulator library stays loaded once loaded and keeps its own view of the prefix,
// so each test needs a process of its own (as ctest runs them).
#include <gtest/gtest.h>

#include <string>
#include <type_traits>

#include "MonitorProcess.h"
#include "PipeFixture.h"
#include "support/pipe/DebugPrint.h"
#include "support/pipe/OsFamily.h"
#include "support/pipe/PipeEmulator.h"
#include "support/pipe/PipeLayer.h"
#include "tessop/Tessop.h"

namespace {

// The layer looks the exports up by name: its pointer types must be the library's.
static_assert(std::is_same_v<decltype(&EmuPipe_Open), pipe_emulator::OpenFn>);
static_assert(std::is_same_v<decltype(&EmuPipe_Write), pipe_emulator::WriteFn>);
static_assert(std::is_same_v<decltype(&EmuPipe_Read), pipe_emulator::ReadFn>);
static_assert(std::is_same_v<decltype(&EmuPipe_Close), pipe_emulator::CloseFn>);
static_assert(std::is_same_v<decltype(&EmuPipe_IsHandle), pipe_emulator::IsHandleFn>);
static_assert(std::is_same_v<decltype(&EmuPipe_Wait), pipe_emulator::WaitFn>);

using pipe_test::MonitorProcess;
using pipe_test::RecordingServer;
using pipe_test::StderrCapture;

constexpr std::int32_t kFirstEmulated = 0x40000000;

std::string U8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

std::size_t CountOf(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1))
        ++n;
    return n;
}

class PipeEmulatorTest : public pipe_test::PipeFixture {
  protected:
    void SetUp() override {
        PipeFixture::SetUp();
        UseOtherFamily();
    }
};

TEST_F(PipeEmulatorTest, DebugPrintSendsTheSameBytesThroughTheEmulator) {
    InstallRealEmulator();
    ASSERT_FALSE(Os_IsNT());
    auto raw = prefix_ / "raw.log";
    MonitorProcess monitor(prefix_, "monitor",
                           {"--count", "3", "--timeout", "30", "-o", raw.string()});
    ASSERT_TRUE(monitor.WaitListening()) << monitor.Err();

    EXPECT_EQ(DbgPrint("変換終了 rc[%d]\n", 21), 16);
    EXPECT_EQ(DbgPrint("%s", ""), 0);
    std::string across = std::string(254, 'a') + "表" + "tail";
    EXPECT_EQ(DbgPrint("%s", across.c_str()), 254);

    EXPECT_EQ(monitor.Wait(), 0) << monitor.Err();
    EXPECT_EQ(pipe_test::ReadHostFile(raw), "変換終了 rc[21]\n" + std::string(254, 'a'));
    EXPECT_EQ(monitor.Out(), U8(u8"変換終了 rc[21]\n") + std::string(254, 'a'));
    EXPECT_FALSE(std::filesystem::exists(prefix_ / "messages.log"));
}

TEST_F(PipeEmulatorTest, LocalNamesGoThroughTheEmulatorFullNamesStayNative) {
    InstallRealEmulator();
    RecordingServer echo("\\\\.\\PIPE\\ECHO", 255, /*echo=*/true);
    ASSERT_EQ(echo.created(), 0u);

    std::int32_t emulated = Pipe_Open("\\PIPE\\ECHO");
    ASSERT_GE(emulated, kFirstEmulated);
    std::int32_t native = Pipe_Open("\\\\.\\PIPE\\ECHO");
    ASSERT_GE(native, 0);
    ASSERT_LT(native, kFirstEmulated);

    for (std::int32_t handle : {emulated, native}) {
        std::uint32_t written = 0;
        EXPECT_NE(Pipe_Write(handle, "ping", 4, written), 0) << handle;
        EXPECT_EQ(written, 4u);
        // A reply longer than the buffer comes in two reads, as from a message pipe.
        char reply[3] = {};
        std::uint32_t read = 0;
        EXPECT_EQ(Pipe_Read(handle, reply, sizeof reply, read), 0) << handle;
        EXPECT_EQ(std::string(reply, read), "pin");
        EXPECT_NE(Pipe_Read(handle, reply, sizeof reply, read), 0) << handle;
        EXPECT_EQ(std::string(reply, read), "g");
    }
    EXPECT_NE(Pipe_Close(emulated), 0);
    EXPECT_NE(Pipe_Close(native), 0);
    // A closed emulated handle is nobody's any more.
    std::uint32_t written = 0;
    EXPECT_EQ(Pipe_Write(emulated, "x", 1, written), 0);
    EXPECT_EQ(written, 0u);

    EXPECT_NE(Pipe_Wait("\\PIPE\\ECHO"), 0);
    EXPECT_EQ(Pipe_Wait("\\PIPE\\NOSUCH"), 0);
    EXPECT_EQ(Pipe_Open("\\PIPE\\NOSUCH"), kPipeInvalid);
    ASSERT_TRUE(echo.WaitConnections(2));
    EXPECT_FALSE(std::filesystem::exists(prefix_ / "messages.log"));
}

TEST_F(PipeEmulatorTest, MissingEmulatorIsReportedAtEveryCallUntilItIsThere) {
    const std::string line =
        U8(u8"パイプ通信エミュレータ: パイプ通信エミュレータＤＬＬがロードできませんでした");
    {
        StderrCapture capture(prefix_ / "stderr-1");
        EXPECT_EQ(Pipe_Open("\\PIPE\\DBMAN"), kPipeInvalid);
        EXPECT_EQ(capture.Text(), line + "\n");
    }
    EXPECT_EQ(CountOf(MessagesLog(), line), 1u);
    {
        StderrCapture capture(prefix_ / "stderr-2");
        EXPECT_EQ(DbgPrint("lost\n"), -1);
        EXPECT_EQ(capture.Text(), line + "\n");
    }
    EXPECT_EQ(CountOf(MessagesLog(), line), 2u);

    // Installed meanwhile: the next call loads it and works.
    InstallRealEmulator();
    RecordingServer server("\\\\.\\PIPE\\DBGPRT\\PDMMON", 255);
    ASSERT_EQ(server.created(), 0u);
    EXPECT_EQ(DbgPrint("found %s\n", "it"), 9);
    ASSERT_TRUE(server.WaitConnections(1));
    EXPECT_EQ(server.Connections()[0], std::vector<std::string>{std::string("found it\n") + '\0'});
    EXPECT_EQ(CountOf(MessagesLog(), line), 2u);
}

TEST_F(PipeEmulatorTest, MissingExportsFailWithoutAMessage) {
    InstallEmulator(PARTIAL_EMULATOR_PATH);
    std::uint32_t count = 99;
    char buffer[4] = {};
    EXPECT_EQ(Pipe_Open("\\PIPE\\DBMAN"), kPipeInvalid);
    EXPECT_EQ(Pipe_Wait("\\PIPE\\DBMAN"), 0);
    EXPECT_EQ(Pipe_Write(kFirstEmulated, "x", 1, count), 0);
    EXPECT_EQ(count, 0u);
    count = 99;
    EXPECT_EQ(Pipe_Read(kFirstEmulated, buffer, sizeof buffer, count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Pipe_Close(kFirstEmulated), 0);
    EXPECT_EQ(DbgPrint("x\n"), -1);
    EXPECT_FALSE(std::filesystem::exists(prefix_ / "messages.log"));
}

}  // namespace
