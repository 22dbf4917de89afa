// The real client against the real server program, installed by
// `morvan-prefix init --product` in a fresh prefix: the new-file initialisation, element
// numbering and attributes, a client killed inside its update, the server killed during a
// run of records, the second server and the stop request.
//
// The client's settings library reads the prefix once per process, so the suite shares
// one prefix.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "ByteOrder.h"
#include "TestPrefix.h"
#include "pdbform/FormIo.h"
#include "platform/NamedPipe.h"
#include "platform/Prefix.h"
#include "platform/SystemServices.h"
#include "support/db/DbHeadTemplate.h"
#include "support/db/DbSessionOps.h"
#include "support/db/ElementRecords.h"

namespace fs = std::filesystem;

namespace {

pid_t Spawn(const std::vector<std::string>& args) {
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
int Wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
bool PipeGone() {
    for (int i = 0; i < 200; ++i) {
        if (platform::WaitNamedPipeA("\\PIPE\\DBMAN", 0) == platform::kErrorFileNotFound)
            return true;
        platform::Sleep(25);
    }
    return false;
}

class AmbrelProcess : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string templ = (fs::temp_directory_path() / "morvan-amb-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        prefix_ = templ;
        setenv("MORVAN_PREFIX", prefix_.c_str(), 1);
        platform::ResetPrefixForTesting();
        const std::string tool = (platform::test::BinDir() / "morvan-prefix").string();
        ASSERT_EQ(Wait(Spawn({tool, "init", "--product", prefix_.string()})), 0);
        std::string host;
        ASSERT_EQ(platform::ToHostPath("C:\\KEL\\PDM\\Ambrel.EXE", host), 0u);
        server_ = host;
        ASSERT_TRUE(fs::exists(server_));
    }
    static void TearDownTestSuite() {
        (void)Wait(Spawn({server_, "--stop"}));
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
        unsetenv("MORVAN_PREFIX");
        platform::ResetPrefixForTesting();
    }
    static pdbform::PdbFile Load(const std::string& windowsPath) {
        std::string host;
        EXPECT_EQ(platform::ToHostPath(windowsPath, host), 0u);
        pdbform::PdbFile f;
        std::string reason;
        EXPECT_EQ(pdbform::Load(host, f, &reason), pdbform::Status::kOk) << reason;
        return f;
    }
    // Opens `path` on the process's session and begins the update.
    static void OpenForUpdate(const std::string& path) {
        DbSession& s = PdmDb_CreateSession();
        ASSERT_EQ(PdmDb_Open(s, path), 0);
        PdmDb_BeginUpdate(s);
    }
    static void PutLine(std::int16_t layer, std::int16_t pen, std::int16_t lineType) {
        PdmDb_PutElementRec2(0, {layer, 0, pen, lineType}, {1, 2, 3, 4, 0, 0, 0});
        PdmDb_EndElement();
    }

    static fs::path prefix_;
    static std::string server_;
};
fs::path AmbrelProcess::prefix_;
std::string AmbrelProcess::server_;

TEST_F(AmbrelProcess, NewFileThenThreeHundredRecords) {
    // The client starts the installed server itself.
    OpenForUpdate("c:\\NEW.PDB");
    // A second server on the same prefix gives up at once.
    EXPECT_EQ(Wait(Spawn({server_})), 2);

    HeadBlock expected = BuildHeadTemplate();
    (void)StoreU16(expected, 0, 256);
    (void)StoreI16(expected, 512, 1);
    (void)StoreI16(expected, 514, 1);
    for (std::size_t at = 1028; at <= 1058; at += 2) (void)StoreI16(expected, at, -1);
    auto initial = Load("C:\\NEW.PDB");
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), initial.head.begin()));
    ASSERT_EQ(initial.layers.size(), 1u);
    ASSERT_TRUE(initial.headTexts);
    EXPECT_EQ(initial.headTexts->groupNames[0].size(), 16u);

    for (int i = 0; i < 300; ++i) {
        PutLine(1, static_cast<std::int16_t>(1 + i % 3), static_cast<std::int16_t>(i % 2 ? 2 : 1));
        ASSERT_EQ(PdmDb_LastElemNo(), i + 1);
        ASSERT_NE(SessionLastRecord(PdmDb_Session()->block) % 128, 0);
    }
    EXPECT_EQ(SessionLastRecord(PdmDb_Session()->block), 302);
    PdmDb_QueryMulti();
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    auto file = Load("C:\\NEW.PDB");
    ASSERT_EQ(file.Elements().size(), 300u);
    EXPECT_EQ(file.head[0], 0);
    EXPECT_EQ(file.head[1], 1);
    EXPECT_EQ(file.lineAttributes.Size(), 6u);  // 3 pens x 2 line types
    for (const auto& [position, element] : file.Elements()) {
        const auto* line = file.lineAttributes.Get(element.AttributeId());
        ASSERT_NE(line, nullptr) << position;
        const int i = static_cast<int>(position - position / 128) - 1;
        EXPECT_EQ(line->pen, 1 + i % 3);
        double x2 = 0;
        ASSERT_TRUE(LoadF64(element.fixed, 6 + 16, x2));
        EXPECT_EQ(x2, 3.0);
    }
}

TEST_F(AmbrelProcess, ClientKilledInsideUpdateWhileAnotherFileIsServed) {
    OpenForUpdate("C:\\HELD.PDB");
    PutLine(1, 1, 1);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        OpenForUpdate("C:\\HELD.PDB");
        for (int i = 0; i < 5; ++i) PutLine(2, 2, 1);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    // Another file is served while the child holds its bracket.
    OpenForUpdate("C:\\OTHER.PDB");
    PutLine(1, 1, 1);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    kill(child, SIGKILL);
    Wait(child);
    close(ready[0]);
    close(ready[1]);
    // The child's records are gone; the file is free for the next update.
    OpenForUpdate("C:\\HELD.PDB");
    PutLine(3, 3, 1);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);
    auto held = Load("C:\\HELD.PDB");
    ASSERT_EQ(held.Elements().size(), 2u);
    EXPECT_EQ(held.Elements().begin()->second.Layer(), 1);
    EXPECT_EQ(held.Elements().rbegin()->second.Layer(), 3);
}

TEST_F(AmbrelProcess, ServerKilledDuringRecordsLeavesLastBracket) {
    // Replace the running server by one whose process id the test knows.
    (void)Wait(Spawn({server_, "--stop"}));
    ASSERT_TRUE(PipeGone());
    const pid_t server = Spawn({server_});
    for (int i = 0; i < 200 && platform::WaitNamedPipeA("\\PIPE\\DBMAN", 0) != 0; ++i)
        platform::Sleep(25);

    const pid_t writer = fork();
    if (writer == 0) {
        DbSession& s = PdmDb_CreateSession();
        if (PdmDb_Open(s, "C:\\KILLED.PDB") != 0) _exit(1);
        for (;;) {
            PdmDb_BeginUpdate(s);
            for (int i = 0; i < 10; ++i) PutLine(1, 1, 1);
            PdmDb_EndUpdate(s);
        }
    }
    platform::Sleep(400);
    kill(server, SIGKILL);
    Wait(server);
    kill(writer, SIGKILL);
    Wait(writer);

    auto file = Load("C:\\KILLED.PDB");
    EXPECT_GT(file.Elements().size(), 0u);
    EXPECT_EQ(file.Elements().size() % 10, 0u);
}

}  // namespace
