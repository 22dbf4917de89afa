// The real Tolvane program in a product prefix: exit codes, the job's own log lines as
// the monitor receives them, and what the job leaves behind.
#include <dirent.h>
#include <unistd.h>

#include "JobFixture.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "pelmar/Pelmar.h"

namespace job_test {
namespace {

std::string ReadBytes(const std::string& host) { return pipe_test::ReadHostFile(host); }

class Tolvane : public JobFixture {
  protected:
    // Runs Tolvane with a monitor listening; the exit code and the log.
    int Run(const std::vector<std::string>& args, std::string& log) {
        auto monitor = StartMonitor();
        if (!monitor) return -1000;
        const int code = RunTolvane(args);
        log = Lines(*monitor);
        return code;
    }
    std::string Work(const std::string& name) { return Host("C:\\WORK") + "/" + name; }
};

TEST_F(Tolvane, ArgumentsAndInputsRefusedBeforeAnythingIsWritten) {
    std::string log;
    EXPECT_EQ(Run({"C:\\WORK\\A.000", "C:\\WORK\\A.PDB"}, log), 1);
    EXPECT_EQ(JobLines(log), "Tolvane.EXE 実行!!! argc[3]\n");

    EXPECT_EQ(Run({"C:\\WORK\\MISSING.000", "C:\\WORK\\A.PDB", "1"}, log), 2);
    EXPECT_EQ(JobLines(log), "Tolvane.EXE 実行!!! argc[4]\n");

    // A DXF drawing is no drawing of kind 1: exit 3 after the parameter line.
    MakeDrawing(Work("A.DXF"), kSimpleDrawing);
    EXPECT_EQ(Run({"C:\\WORK\\A.DXF", "C:\\WORK\\A.PDB", "1", "/d1"}, log), 3);
    EXPECT_EQ(JobLines(log),
              "Tolvane.EXE 実行!!! argc[5]\n"
              "Tolvane.EXE パラメータ draft[C:\\WORK\\A.DXF] newpdb[C:\\WORK\\A.PDB] "
              "元データ種別[1] 条件ファイル[]\n");
    EXPECT_EQ(Names(Host("C:\\WORK")), std::vector<std::string>{"A.DXF"});

    // The output names the input (another case of the name, or another drive's way to
    // the same file): exit 2, the drawing untouched.
    MakeDrawing(Work("B.000"), kSimpleDrawing);
    const std::string before = ReadBytes(Work("B.000"));
    EXPECT_EQ(Run({"C:\\WORK\\B.000", "c:\\work\\b.000", "1"}, log), 2);
    EXPECT_NE(JobLines(log).find("Tolvane.EXE 出力先が入力と同じファイル [c:\\work\\b.000]\n"),
              std::string::npos)
        << log;
    std::string zName = "Z:" + Work("B.000");
    std::replace(zName.begin(), zName.end(), '/', '\\');
    EXPECT_EQ(Run({"C:\\WORK\\B.000", zName, "1"}, log), 2);
    EXPECT_EQ(ReadBytes(Work("B.000")), before);

    // Paths beyond their fields: exit 2 with a line, nothing cut.
    const std::string longPdb = "C:\\WORK\\" + std::string(250, 'P') + ".PDB";
    EXPECT_EQ(Run({"C:\\WORK\\B.000", longPdb, "1"}, log), 2);
    EXPECT_NE(JobLines(log).find("Tolvane.EXE パスが長すぎる(上限[255]バイト) "), std::string::npos)
        << log;
    const std::string longCondition = "C:\\WORK\\" + std::string(260, 'C') + ".TXT";
    EXPECT_EQ(Run({"C:\\WORK\\B.000", "C:\\WORK\\B.PDB", "1", longCondition}, log), 2);
    EXPECT_NE(JobLines(log).find("Tolvane.EXE パスが長すぎる(上限[259]バイト) "),
              std::string::npos);
    EXPECT_EQ(Names(Host("C:\\WORK")), (std::vector<std::string>{"A.DXF", "B.000"}));
    EXPECT_TRUE(WorkCopies().empty());
}

TEST_F(Tolvane, ConvertsADrawingAndLeavesNoWorkFiles) {
    MakeDrawing(Work("PLAN.000"), kSimpleDrawing);
    // Five extension names are taken already: the job uses .F06 and removes it again.
    for (int n = 1; n <= 5; ++n) std::ofstream(Work("PLAN.F0" + std::to_string(n))) << "x";
    std::string log;
    ASSERT_EQ(Run({"C:\\WORK\\PLAN.000", "C:\\WORK\\PLAN.PDB", "3"}, log), 0) << log;
    const std::string lines = JobLines(log);
    EXPECT_TRUE(lines.starts_with(
        "Tolvane.EXE 実行!!! argc[4]\n"
        "Tolvane.EXE パラメータ draft[C:\\WORK\\PLAN.000] newpdb[C:\\WORK\\PLAN.PDB] "
        "元データ種別[3] 条件ファイル[]\n"
        "    Make_PDB_Draft() rtn[0] level[0]\n"
        "Tolvane.EXE データの合成\n"
        "Tolvane.EXE 処理タイム表示\n"
        "      ["))
        << lines;
    EXPECT_NE(log.find("Stovik:"), std::string::npos) << "the analyser ran";

    pdbform::PdbFile pdb;
    std::string reason;
    ASSERT_EQ(pdbform::Load(Work("PLAN.PDB"), pdb, &reason), pdbform::Status::kOk) << reason;
    EXPECT_NE(PDB_Query_PdmDataBase("C:\\WORK\\PLAN.PDB"), 0) << "extension data merged";
    EXPECT_EQ(Names(Host("C:\\WORK")),
              (std::vector<std::string>{"PLAN.000", "PLAN.F01", "PLAN.F02", "PLAN.F03", "PLAN.F04",
                                        "PLAN.F05", "PLAN.PDB"}));
    EXPECT_TRUE(WorkCopies().empty());

    // The PDB as input: copied byte for byte, exit 0, the analyser not started.
    fs::copy_file(Work("PLAN.PDB"), Work("DONE.001"));
    ASSERT_EQ(Run({"C:\\WORK\\DONE.001", "C:\\WORK\\COPY.PDB", "3"}, log), 0);
    EXPECT_EQ(ReadBytes(Work("COPY.PDB")), ReadBytes(Work("DONE.001")));
    EXPECT_EQ(log.find("Stovik:"), std::string::npos) << log;
    EXPECT_EQ(JobLines(log).find("Make_PDB_Draft"), std::string::npos);
    // ... and when that copy cannot be made: exit 2 and a line, not success.
    EXPECT_EQ(Run({"C:\\WORK\\DONE.001", "C:\\WORK\\NO\\COPY.PDB", "3"}, log), 2);
    EXPECT_NE(JobLines(log).find("Tolvane.EXE PDBファイルのコピーに失敗 err[3] "),
              std::string::npos)
        << log;
}

TEST_F(Tolvane, FailedRunsLeaveNeitherPdbNorWorkFiles) {
    MakeDrawing(Work("PLAN.000"), kSimpleDrawing);
    std::string log;

    // A folder of the output that does not exist: 21 and a line, nothing made.
    EXPECT_EQ(Run({"C:\\WORK\\PLAN.000", "C:\\WORK\\NO\\PLAN.PDB", "1"}, log), 21);
    EXPECT_NE(JobLines(log).find("Tolvane.EXE 「PDM専用拡張情報」ファイルを作成できない rc["),
              std::string::npos)
        << log;

    EXPECT_EQ(Names(Host("C:\\WORK")), (std::vector<std::string>{"PLAN.000"}));
    EXPECT_TRUE(WorkCopies().empty());

    // All 99 extension names taken: exit 4.
    for (int n = 1; n <= 99; ++n) {
        char name[16];
        std::snprintf(name, sizeof name, "PLAN.F%02d", n);
        std::ofstream(Work(name)) << "x";
    }
    EXPECT_EQ(Run({"C:\\WORK\\PLAN.000", "C:\\WORK\\PLAN.PDB", "1"}, log), 4);
    EXPECT_FALSE(fs::exists(Work("PLAN.PDB")));
}

// Level 1 ("downlevel 1" in the condition file, dash expansion on): the down-level
// conversion replaces an old file at the output, exits 0 and leaves no work files; the
// PDB is the drawing's copy with its extension data merged.
TEST_F(Tolvane, DownLevelRunMakesThePdbFromTheDrawingsCopy) {
    MakeDrawing(Work("PLAN.000"), kSimpleDrawing);
    std::ofstream(Work("COND.TXT")) << "Other x\ndownlevel 1\n";
    std::ofstream(Work("PLAN.PDB")) << "an earlier result";
    std::string log;
    ASSERT_EQ(
        Run({"C:\\WORK\\PLAN.000", "C:\\WORK\\PLAN.PDB", "1", "C:\\WORK\\COND.TXT", "/D1"}, log), 0)
        << log;
    EXPECT_NE(JobLines(log).find("    Make_PDB_Draft() rtn[0] level[1]\n"), std::string::npos)
        << log;
    pdbform::PdbFile drawing;
    pdbform::PdbFile pdb;
    std::string reason;
    ASSERT_EQ(pdbform::Load(Work("PLAN.000"), drawing, &reason), pdbform::Status::kOk) << reason;
    ASSERT_EQ(pdbform::Load(Work("PLAN.PDB"), pdb, &reason), pdbform::Status::kOk) << reason;
    EXPECT_EQ(pdb.Elements().size(), drawing.Elements().size());
    EXPECT_NE(PDB_Query_PdmDataBase("C:\\WORK\\PLAN.PDB"), 0) << "extension data merged";
    EXPECT_EQ(Names(Host("C:\\WORK")),
              (std::vector<std::string>{"COND.TXT", "PLAN.000", "PLAN.PDB"}));
    EXPECT_TRUE(WorkCopies().empty());
}

// Host paths with Japanese names: converted to their Windows names at the edge, shown
// so in the log, and the output written under the host name.
TEST_F(Tolvane, JapaneseHostPaths) {
    const std::string folder = Host("C:\\WORK") + "/" + reinterpret_cast<const char*>(u8"図面表");
    fs::create_directories(folder);
    const std::string drawing = folder + "/" + reinterpret_cast<const char*>(u8"一階平面.000");
    const std::string pdb = folder + "/" + reinterpret_cast<const char*>(u8"一階平面.PDB");
    MakeDrawing(drawing, kSimpleDrawing);
    std::string log;
    ASSERT_EQ(Run({drawing, pdb, "1"}, log), 0) << log;
    EXPECT_NE(JobLines(log).find("draft[C:\\WORK\\図面表\\一階平面.000] "
                                 "newpdb[C:\\WORK\\図面表\\一階平面.PDB]"),
              std::string::npos)
        << JobLines(log);
    EXPECT_TRUE(fs::exists(pdb));
    EXPECT_EQ(Names(folder).size(), 2u);
}

// The pids of the running server of this prefix.
std::vector<pid_t> ServerPids() {
    std::vector<pid_t> pids;
    const std::string server = fs::canonical(Host("C:\\KEL\\PDM\\Ambrel.EXE")).string();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator("/proc", ec)) {
        const std::string name = e.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code linkError;
        const fs::path exe = fs::read_symlink(e.path() / "exe", linkError);
        if (!linkError && exe == server) pids.push_back(static_cast<pid_t>(std::stoi(name)));
    }
    return pids;
}

// The server killed while the job converts a large drawing: exit 22 (the close reports
// the requests the session lost), no PDB at the output and no work files.
TEST_F(Tolvane, ServerKilledMidConversion) {
    std::string source = R"({"layers": [{"number": 1, "colourCode": 1, "widthCode": 1}],
      "pens": [{"pen": 1, "widthCode": 1, "colourCode": 1}],
      "colours": [{"code": 1, "rgb": [0, 0, 0]}], "widths": [{"code": 1, "width": 0.25}],
      "elements": [)";
    for (int i = 0; i < 20000; ++i) {
        if (i) source += ",";
        source += R"({"kind": 2, "pen": 1, "lineType": 1, "points": [[0, )" + std::to_string(i) +
                  "], [100, " + std::to_string(i) + "]]}";
    }
    source += "]}";
    MakeDrawing(Work("BIG.000"), source);

    auto monitor = StartMonitor();
    ASSERT_TRUE(monitor);
    const pid_t job = platform::test::SpawnProgram(
        {Host("C:\\KEL\\PDM\\Tolvane.EXE"), "C:\\WORK\\BIG.000", "C:\\WORK\\BIG.PDB", "1"});
    // Wait until the conversion has reached the walk (the layers are defined), then kill.
    bool killed = false;
    for (int i = 0; i < 3000 && !killed; ++i) {
        if (pipe_test::ReadHostFile(RawLog()).find("PDB_drfio_init_put_layer() lno[1]") !=
            std::string::npos) {
            for (pid_t pid : ServerPids()) killed = ::kill(pid, SIGKILL) == 0 || killed;
        }
        if (!killed) platform::Sleep(5);
    }
    ASSERT_TRUE(killed);
    const int code = platform::test::WaitProgram(job);
    const std::string log = Lines(*monitor);
    EXPECT_EQ(code, 22) << "the close reports the lost requests";
    EXPECT_FALSE(fs::exists(Work("BIG.PDB")));
    EXPECT_EQ(Names(Host("C:\\WORK")), std::vector<std::string>{"BIG.000"});
    EXPECT_TRUE(WorkCopies().empty());
}

}  // namespace
}  // namespace job_test
