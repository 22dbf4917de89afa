// The start of the server program from the product's folder when its pipe is missing.
//
// The settings library keeps its own copy of the platform layer, which reads the prefix
// once per process; so the whole suite shares one prefix, and each test names its own
// program folder in the registry.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "platform/NamedPipe.h"
#include "platform/Prefix.h"
#include "platform/Registry.h"
#include "platform/SystemServices.h"
#include "support/db/DbSessionOps.h"
#include "support/db/ElementRecords.h"

#include "tests/SuitePrefix.h"

namespace fs = std::filesystem;

namespace {

class DbServerStart : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { converter_test::MakeSuitePrefix("morvan-dbc", prefix_); }
    static void TearDownTestSuite() { converter_test::RemoveSuitePrefix(prefix_); }
    void TearDown() override { unsetenv("DBC_SERVER_SILENT"); }

    // Names C:\<folder> as the program folder, with the test server in it or not.
    static void UseProgramFolder(const std::string& folder, bool withServer) {
        fs::create_directories(prefix_ / "drive_c" / folder);
        if (withServer)
            fs::copy_file(FAKE_SERVER_PATH, prefix_ / "drive_c" / folder / "Ambrel.EXE");
        platform::RegKey key;
        ASSERT_EQ(platform::RegCreateKey(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\PDM", key),
                  0u);
        ASSERT_EQ(platform::RegSetString(key, "PDMDIR", "C:\\" + folder), 0u);
    }

    static fs::path prefix_;
};

fs::path DbServerStart::prefix_;

}  // namespace

TEST_F(DbServerStart, MissingPipeStartsTheServerProgram) {
    UseProgramFolder("PDM1", true);
    DbSession& s = PdmDb_CreateSession();
    EXPECT_EQ(PdmDb_Open(s, "*DRAWING"), 0);
    EXPECT_EQ(SessionPipeName(s.block), "\\PIPE\\DBMAN");
    EXPECT_EQ(PdmDb_BeginUpdate(s), 0);
    PdmDb_PutElementRec1(0, {1, 2, 3}, {1.0, 2.0});
    PdmDb_EndElement();
    EXPECT_EQ(PdmDb_CloseDrawing(), 0);
    // The server ends after the close; the next tests need its pipe gone.
    for (int i = 0; i < 100; ++i) {
        if (platform::WaitNamedPipeA("\\\\.\\PIPE\\DBMAN", 0) == platform::kErrorFileNotFound)
            break;
        platform::Sleep(50);
    }
}

TEST_F(DbServerStart, MissingProgramFailsAtOnce) {
    UseProgramFolder("PDM2", false);
    DbSession s;
    EXPECT_EQ(PdmDb_Open(s, "*DRAWING"), kDbUnreachable);
    EXPECT_TRUE(s.transportFailed);
}

TEST_F(DbServerStart, ServerThatNeverCreatesItsPipeIsGivenUpAfter31Attempts) {
    UseProgramFolder("PDM3", true);
    setenv("DBC_SERVER_SILENT", "1", 1);
    DbSession s;
    EXPECT_EQ(PdmDb_Open(s, "*DRAWING"), kDbUnreachable);
}
