// The record of a running job in the store: written whole, appended entry by entry,
// read back at the next start, and never mistaken for "no job" when it is damaged.
#include "installer/env/JobRecord.h"

#include "installer/tests/env/EnvTestSupport.h"

namespace {

class JobRecordTest : public EnvTest {
  protected:
    JobRecordTest() {
        prefix.InstallStandardProduct("2.00");
        EXPECT_EQ(LoadInstallEnvironment(state.env), 0);
    }

    static JobRecord InstallRecord() {
        JobRecord record;
        record.mode = JobMode::Install;
        record.group = "Revision";
        record.title = "Morvan,追加モジュール";
        record.mediaVersion = "2.10";
        record.versionText = "2.10";
        record.revision = "20240115";
        record.required = "2.00";
        record.mediaNo = "01";
        record.mediaCount = "02";
        record.version = "2.00";
        record.hadVersion = true;
        record.hadList = false;
        record.hadGroup = false;
        record.hadControl = false;
        record.held = true;
        return record;
    }
    std::string failed;
};

TEST_F(JobRecordTest, OpenAppendReadAndEnd) {
    // Without an open record the engine runs on its own: nothing is written.
    EXPECT_TRUE(state.record.RecordJobEntry(state.env, "01", "00", failed));
    EXPECT_FALSE(platform::PathExists(JobRecordDir(state.env)));

    ASSERT_TRUE(state.record.OpenJobRecord(state.env, InstallRecord(), failed)) << failed;
    EXPECT_EQ(JobRecordPath(state.env), "C:\\MORVAN\\MorvanDN\\JOBREC\\JOB.INF");
    ASSERT_TRUE(state.record.RecordJobEntry(state.env, "01", "00", failed));
    ASSERT_TRUE(state.record.RecordJobEntry(state.env, "01", "07", failed));
    EXPECT_EQ(ReadFile(JobRecordPath(state.env)),
              "MODE=INSTALL\r\nGROUP=Revision\r\nTITLE=Morvan,追加モジュール\r\n"
              "MEDIAVERSION=2.10\r\nVERSIONTEXT=2.10\r\nREVISION=20240115\r\nREQUIRED=2.00\r\n"
              "MEDIA=01\r\nMEDIACOUNT=02\r\nDOWNVERSION=\r\nVERSION=2.00\r\nHADVERSION=1\r\n"
              "HADLIST=0\r\nHADGROUP=0\r\nHADCONTROL=0\r\nHELD=1\r\n"
              "ENTRY=01,00\r\nENTRY=01,07\r\n");

    JobRecord read;
    ASSERT_EQ(ReadJobRecord(state.env, read), JobRecordState::Found);
    EXPECT_EQ(read.title, "Morvan,追加モジュール");
    EXPECT_EQ(read.held, std::optional<bool>(true));
    EXPECT_EQ(read.hadList, std::optional<bool>(false));
    EXPECT_EQ(read.entries, (std::vector<JobRecordEntry>{{"01", "00"}, {"01", "07"}}));
    EXPECT_EQ(FormatJobRecord(read), ReadFile(JobRecordPath(state.env)));

    ASSERT_TRUE(state.record.MarkJobRecordDone(state.env, failed));
    EXPECT_EQ(ReadJobRecord(state.env, read), JobRecordState::None);
    EXPECT_FALSE(state.record.JobRecordIsOpen());
    EXPECT_TRUE(state.record.RecordJobEntry(state.env, "01", "08",
                                            failed));  // closed: nothing more is written
    EXPECT_EQ(ReadFile(JobRecordPath(state.env)), "STATE=DONE\r\n");
}

TEST_F(JobRecordTest, RecordsThatCannotBeUnderstoodAreDamagedNotAbsent) {
    JobRecord read;
    EXPECT_EQ(ReadJobRecord(state.env, read), JobRecordState::None);
    const std::string whole = FormatJobRecord(InstallRecord());
    const std::vector<std::pair<std::string, std::string>> damaged{
        {"an unknown line", whole + "COLOUR=BLUE\r\n"},
        {"a line without =", whole + "ENTRY\r\n"},
        {"a group that is a path", "MODE=INSTALL\r\nGROUP=..\\..\\MORVAN\r\n"},
        {"an install without its flags", "MODE=INSTALL\r\nGROUP=20240115\r\n"},
        {"a bad entry", whole + "ENTRY=1,100\r\n"},
        {"no mode", "GROUP=Revision\r\n"},
        {"bytes", std::string("\x81\x00\xff=\x5c\r\n\r", 8)},
        {"empty", ""},
    };
    for (const auto& [what, text] : damaged) {
        WriteFile(JobRecordPath(state.env), text);
        EXPECT_EQ(ReadJobRecord(state.env, read), JobRecordState::Damaged) << what;
    }
    // What can be read is kept, so that a roll-back does what the record still states.
    WriteFile(JobRecordPath(state.env),
              "MODE=UNINSTALL\r\nGROUP=20240115\r\nTITLE=T\r\nODD\r\nENTRY=02,03\r\n");
    EXPECT_EQ(ReadJobRecord(state.env, read), JobRecordState::Damaged);
    EXPECT_EQ(read.mode, std::optional<JobMode>(JobMode::Uninstall));
    EXPECT_EQ(read.group, "20240115");
    EXPECT_EQ(read.title, "T");
    EXPECT_EQ(read.entries, (std::vector<JobRecordEntry>{{"02", "03"}}));
    // An uninstall needs no flags.
    WriteFile(JobRecordPath(state.env), "MODE=UNINSTALL\r\nGROUP=20240115\r\n");
    EXPECT_EQ(ReadJobRecord(state.env, read), JobRecordState::Found);
}

TEST_F(JobRecordTest, WritesThatFailNameThePath) {
    // The record's folder blocked by a file.
    WriteFile(JobRecordDir(state.env), "not a folder");
    EXPECT_FALSE(state.record.OpenJobRecord(state.env, InstallRecord(), failed));
    EXPECT_EQ(failed, JobRecordDir(state.env));
    EXPECT_FALSE(state.record.JobRecordIsOpen());
    ASSERT_EQ(platform::DeleteFileW(JobRecordDir(state.env)), 0u);

    // The record itself blocked by a folder.
    ASSERT_EQ(platform::CreateDirectoryTree(JobRecordPath(state.env)), 0u);
    failed.clear();
    EXPECT_FALSE(state.record.OpenJobRecord(state.env, InstallRecord(), failed));
    EXPECT_EQ(failed, JobRecordPath(state.env));
    ASSERT_EQ(platform::RemoveDirectoryW(JobRecordPath(state.env)), 0u);

    // An entry that cannot be added: false, and the record on disk stays whole.
    ASSERT_TRUE(state.record.OpenJobRecord(state.env, InstallRecord(), failed));
    ASSERT_TRUE(state.record.RecordJobEntry(state.env, "01", "00", failed));
    const std::string before = ReadFile(JobRecordPath(state.env));
    ASSERT_EQ(platform::SetReadOnly(JobRecordPath(state.env), true), 0u);
    failed.clear();
    EXPECT_FALSE(state.record.RecordJobEntry(state.env, "01", "01", failed));
    EXPECT_EQ(failed, JobRecordPath(state.env));
    EXPECT_EQ(ReadFile(JobRecordPath(state.env)), before);
    JobRecord read;
    EXPECT_EQ(ReadJobRecord(state.env, read), JobRecordState::Found);
    EXPECT_EQ(read.entries.size(), 1u);
}

TEST_F(JobRecordTest, UnsyncedWritesKeepTheSameRecord) {
    state.env.WriteAheadSync = false;
    ASSERT_TRUE(state.record.OpenJobRecord(state.env, InstallRecord(), failed));
    ASSERT_TRUE(state.record.RecordJobEntry(state.env, "03", "99", failed));
    JobRecord read;
    ASSERT_EQ(ReadJobRecord(state.env, read), JobRecordState::Found);
    EXPECT_EQ(read.entries, (std::vector<JobRecordEntry>{{"03", "99"}}));
}

}  // namespace
