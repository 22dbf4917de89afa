// The backup step records by target file: a file of a name already recorded in
// another folder is still saved, and a file already recorded keeps the state its
// first change found. Each case installs, then uninstalls, and compares the machine.
#include <initializer_list>

#include "RollbackFixture.h"

namespace {

using namespace engine_test;

class BackupTargets : public RollbackFixture {
  protected:
    // Installs `commands`, then undoes them: the machine must be as it was. Returns
    // the uninstall script the install wrote.
    std::string InstallAndUndo(std::initializer_list<std::string> commands) {
        StartNewJob();
        messages_.Clear();
        const Machine before = Capture();
        Install(commands);
        const std::string undo = UndoText();
        EXPECT_EQ(state_.job.JobState.load(), kJobRunning) << messages_.AllTexts();
        Uninstall();
        EXPECT_EQ(FilesBelow("C:\\APP"), before.app) << Utf8(undo);
        EXPECT_TRUE(Capture() == before) << Utf8(undo);
        return undo;
    }

    static int Count(const std::string& text, const std::string& what) {
        int count = 0;
        for (std::size_t at = text.find(what); at != std::string::npos;
             at = text.find(what, at + 1)) {
            ++count;
        }
        return count;
    }
};

TEST_F(BackupTargets, OneNameCopiedIntoTwoFoldersIsSavedInBoth) {
    Write("C:\\APP\\LOGS\\CONF.INI", "[logs]\r\n");
    Write("C:\\APP\\LOGS\\LIST.TXT", "p\r\n");
    const std::string undo = InstallAndUndo({"C CONF.INI C:\\APP\\", "C CONF.INI C:\\APP\\LOGS\\",
                                             "A LIST.TXT C:\\APP", "A LIST.TXT C:\\APP\\LOGS"});
    EXPECT_NE(undo.find("C CONF~01.INI C:\\APP\\LOGS\\CONF.INI\r\n"), std::string::npos)
        << Utf8(undo);
    EXPECT_NE(undo.find("C LIST~01.TXT C:\\APP\\LOGS\\LIST.TXT\r\n"), std::string::npos)
        << Utf8(undo);
    EXPECT_EQ(Read("C:\\APP\\LOGS\\CONF.INI"), "[logs]\r\n");
}

TEST_F(BackupTargets, OneNameDeletedInTwoFoldersComesBackInBoth) {
    Write("C:\\APP\\A.LOG", "top");
    InstallAndUndo({"D C:\\APP\\LOGS\\A.LOG", "D C:\\APP\\A.LOG"});
    EXPECT_EQ(Read("C:\\APP\\A.LOG"), "top");
    EXPECT_EQ(Read("C:\\APP\\LOGS\\A.LOG"), "a");
}

TEST_F(BackupTargets, AFileChangedTwiceGetsBackTheStateBeforeTheFirstChange) {
    // Renamed onto a file copied before: covered by the first line's record.
    std::string undo = InstallAndUndo({"C CONF.INI C:\\APP\\", "C ADDED.INI C:\\APP\\CONF.INI"});
    EXPECT_EQ(Count(undo, "CONF"), 1) << Utf8(undo);
    // A wildcard matching a covered and a new file records the new one only.
    undo = InstallAndUndo({"C CONF.INI C:\\APP\\", "C *.INI C:\\APP\\"});
    EXPECT_NE(undo.find("D C:\\APP\\ADDED.INI\r\n;*.INI\r\nINSTEND"), std::string::npos)
        << Utf8(undo);
    // A file deleted after it was replaced, and one replaced after it was deleted.
    InstallAndUndo({"C ADDED.INI C:\\APP\\LOGS\\A.LOG", "D C:\\APP\\LOGS\\*.LOG"});
    InstallAndUndo({"D C:\\APP\\LOGS\\A.LOG", "C ADDED.INI C:\\APP\\LOGS\\A.LOG"});
    // An archive bringing a file copied before leaves that file out of its saved copy.
    MakeLzh("K:\\CONFS.LZH", {{"CONF.INI", "[archived]\r\n"}, {"OLD.TXT", "archived"}});
    InstallAndUndo({"C CONF.INI C:\\APP\\", "L CONFS.LZH C:\\APP"});
    EXPECT_EQ(Read("C:\\APP\\CONF.INI"), "[old]\r\n");
}

TEST_F(BackupTargets, OneArchiveExtractedIntoTwoFoldersIsSavedForEach) {
    Write("C:\\APP\\LOGS\\OLD.TXT", "logs old");
    // The third line goes where the first went: recorded there already.
    const std::string undo =
        InstallAndUndo({"L APP.LZH C:\\APP", "L APP.LZH C:\\APP\\LOGS", "L APP.LZH C:\\APP"});
    EXPECT_EQ(Count(undo, "\r\nL "), 2) << Utf8(undo);
    EXPECT_NE(undo.find("L APP~01.LZH C:\\APP\\LOGS\\\r\n"), std::string::npos) << Utf8(undo);
    EXPECT_NE(undo.find("D C:\\APP\\LOGS\\SUB\\NEW.TXT\r\n"), std::string::npos) << Utf8(undo);
    EXPECT_EQ(Read("C:\\APP\\LOGS\\OLD.TXT"), "logs old");
    EXPECT_FALSE(platform::PathExists("C:\\APP\\LOGS\\SUB\\NEW.TXT"));
}

}  // namespace
