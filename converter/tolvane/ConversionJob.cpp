// The conversion job.
//
// The job owns its work files through one guard, so that every way out of the job (a
// status of the conversion, a failed merge, an early end) removes what it made: a
// leftover extension file would take one of the 99 names for good, a leftover working
// copy fills the temporary folder, and a half-made PDB at the output path would be taken
// for a result.
#include "tolvane/ConversionJob.h"

#include <array>
#include <string>

#include "convert/MakePdbDraft.h"
#include "pelmar/Pelmar.h"
#include "platform/Files.h"
#include "platform/SystemServices.h"
#include "support/pipe/DebugPrint.h"
#include "support/tables/PdbTables.h"
#include "support/util/FileKind.h"
#include "support/util/FileOps.h"
#include "support/util/TmpName.h"
#include "tolvane/AnalyserRun.h"
#include "tolvane/CommandLine.h"
#include "tolvane/ConditionFile.h"
#include "tolvane/ExtensionFileName.h"

namespace {

// The files the job has made and must not leave behind. Each is deleted when the guard
// goes, unless the job has handed it over (the finished PDB).
class WorkFiles {
  public:
    WorkFiles() = default;
    WorkFiles(const WorkFiles&) = delete;
    WorkFiles& operator=(const WorkFiles&) = delete;
    ~WorkFiles() {
        DeleteWorkCopy();
        DeleteExtensionFile();
        if (!newPdb_.empty()) (void)File_Delete(newPdb_);
    }

    void SetExtensionFile(const std::string& path) { extensionFile_ = path; }
    void SetWorkCopy(const std::string& path) { workCopy_ = path; }
    // From now on a failed end removes the PDB at this path.
    void GuardNewPdb(const std::string& path) { newPdb_ = path; }
    // The PDB is the job's result: it stays.
    void KeepNewPdb() { newPdb_.clear(); }

    void DeleteWorkCopy() {
        if (!workCopy_.empty()) (void)File_Delete(workCopy_);
        workCopy_.clear();
    }
    void DeleteExtensionFile() {
        if (!extensionFile_.empty()) (void)File_Delete(extensionFile_);
        extensionFile_.clear();
    }

  private:
    std::string extensionFile_;
    std::string workCopy_;
    std::string newPdb_;
};

// The path checks after the parameter line: true when every path fits its field, else
// false after a line naming the path and its limit.
bool PathsFit(const CommandLine& line) {
    const auto tooLong = [](const std::string& path, std::size_t limit) {
        DbgPrint("Tolvane.EXE パスが長すぎる(上限[%d]バイト) [%s]\n", static_cast<int>(limit),
                 path.c_str());
        return false;
    };
    if (!JobPath_FitsField(line.drawing, kJobPathField)) {
        return tooLong(line.drawing, kJobPathField - 1);
    }
    if (line.newPdb.size() > kJobNewPdbPathMax) return tooLong(line.newPdb, kJobNewPdbPathMax);
    if (!JobPath_FitsField(line.conditionFile, kJobPathField)) {
        return tooLong(line.conditionFile, kJobPathField - 1);
    }
    return true;
}

// Step 8: 0 and the copy's path, or kJobNoDrawing after ten failed attempts. A name
// Tmp_MakeUniqueName made for an attempt whose copy failed is deleted again.
int MakeWorkCopy(const std::string& drawing, const JobServices& services, WorkFiles& files,
                 std::string& copy) {
    for (int attempt = 1; attempt <= kWorkCopyAttempts; ++attempt) {
        std::array<char, kJobPathField> name{};
        if (Tmp_MakeUniqueName(0, ".099", name) == 1) {
            copy = name.data();
            files.SetWorkCopy(copy);
            if (File_Copy(drawing, copy) == platform::kErrorSuccess) return kJobDone;
            files.DeleteWorkCopy();
        }
        if (attempt < kWorkCopyAttempts) services.sleepMs(kWorkCopyPauseMs);
    }
    copy.clear();
    return kJobNoDrawing;
}

// Steps 12 and 13: 0, or kJobUnionFailed.
int MergeExtensionData(const CommandLine& line, const std::string& extensionFile) {
    DbgPrint("Tolvane.EXE データの合成\n");
    if (const int registered = PdbHead_PutPensAndFonts(); registered != 0) {
        DbgPrint("Tolvane.EXE ペン・フォントの登録に失敗 rc[%d]\n", registered);
        return kJobUnionFailed;
    }
    std::int32_t r = PDB_PdmExData_resize(extensionFile.c_str());
    if (r == PELMAR_OK) r = PDB_Union_DraftNPdmDataBase(line.newPdb.c_str(), extensionFile.c_str());
    if (r != PELMAR_OK) {
        DbgPrint(" PDBファイルと「PDM専用拡張情報」ファイルの合成に失敗 r[%d] [%s]+[%s]\n", r,
                 line.newPdb.c_str(), extensionFile.c_str());
        return kJobUnionFailed;
    }
    return kJobDone;
}

// Everything after the command line has been read and logged; `files` removes the work
// files on the way out.
int RunSteps(const CommandLine& line, const JobServices& services, std::time_t start,
             WorkFiles& files) {
    if (!PathsFit(line)) return kJobNoDrawing;
    if (JobPath_SameFile(line.drawing, line.newPdb)) {
        DbgPrint("Tolvane.EXE 出力先が入力と同じファイル [%s]\n", line.newPdb.c_str());
        return kJobNoDrawing;
    }

    std::string extensionFile;
    switch (ExtensionFile_Choose(line.newPdb, extensionFile)) {
        case kExtensionNameOk:
            break;
        case kExtensionNameNoneFree:
            return kJobNoExtensionName;
        default:
            DbgPrint("Tolvane.EXE パスが長すぎる(上限[%d]バイト) [%s]\n",
                     static_cast<int>(kJobPathField - 1), line.newPdb.c_str());
            return kJobNoDrawing;
    }

    if (File_KindOfExt(line.drawing) != kFileKindDrawing) return kJobNotADrawing;

    if (PDB_Query_PdmDataBase(line.drawing.c_str()) != 0) {
        if (const platform::WinError copied = File_Copy(line.drawing, line.newPdb);
            copied != platform::kErrorSuccess) {
            DbgPrint("Tolvane.EXE PDBファイルのコピーに失敗 err[%u] [%s]->[%s]\n", copied,
                     line.drawing.c_str(), line.newPdb.c_str());
            return kJobNoDrawing;
        }
        return kJobDone;
    }

    files.SetExtensionFile(extensionFile);
    if (const int begun = PdbHead_Begin(extensionFile.c_str(), line.sourceKind); begun != 0) {
        DbgPrint("Tolvane.EXE 「PDM専用拡張情報」ファイルを作成できない rc[%d] [%s]\n", begun,
                 extensionFile.c_str());
        return begun == kPdbTablesNoMemory ? kJobNoMemory : kJobCannotCreatePdb;
    }

    std::string workCopy;
    if (MakeWorkCopy(line.drawing, services, files, workCopy) != kJobDone) return kJobNoDrawing;

    files.GuardNewPdb(line.newPdb);
    Analyser_Run(workCopy);
    const int level = ReadDecimal(ConditionFile_Lookup(line.conditionFile, kDownLevelKey));
    const int status =
        Make_PDB_Draft(level, workCopy, line.newPdb, line.sourceKind, line.dashExpansion);
    files.DeleteWorkCopy();
    DbgPrint("    Make_PDB_Draft() rtn[%d] level[%d]\n", status, level);
    if (status != 0) return status;

    const int result = MergeExtensionData(line, extensionFile);
    files.DeleteExtensionFile();
    if (result == kJobDone) files.KeepNewPdb();

    Job_LogElapsed(services.now() - start);
    return result;
}

}  // namespace

JobServices Job_SystemServices() {
    return JobServices{[] { return std::time(nullptr); },
                       [](std::uint32_t ms) { platform::Sleep(ms); }};
}

void Job_LogElapsed(std::time_t seconds) {
    const long minutes = static_cast<long>(seconds / 60);
    const long rest = static_cast<long>(seconds - 60 * minutes);
    DbgPrint("Tolvane.EXE 処理タイム表示\n");
    DbgPrint("      [%d]分 [%d]秒 [%.3lf]\n", static_cast<int>(minutes), static_cast<int>(rest),
             static_cast<double>(seconds));
}

int Job_Run(std::span<const ProgramArgument> args, const JobServices& services) {
    DbgPrint("Tolvane.EXE 実行!!! argc[%d]\n", static_cast<int>(args.size()));
    const std::time_t start = services.now();

    CommandLine line;
    if (CommandLine_Read(args, line) != kCommandLineOk) return kJobTooFewArguments;
    if (!platform::FileExists(line.drawing)) return kJobNoDrawing;
    DbgPrint("Tolvane.EXE パラメータ draft[%s] newpdb[%s] 元データ種別[%d] 条件ファイル[%s]\n",
             line.drawing.c_str(), line.newPdb.c_str(), line.sourceKind,
             line.conditionFile.c_str());

    WorkFiles files;
    return RunSteps(line, services, start, files);
}
