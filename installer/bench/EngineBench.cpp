// engine-bench: how long the installer's script engine takes on large media.
//
//   1. ScanScripts over 100 scripts of 1,000 lines each (target: under 0.25 s), and the
//      same scan over the same lines with every setting reference ("%...%") written
//      out as plain text: the difference per reference is what expanding one costs.
//   2. RunScript of one entry of 2,000 "C" lines, each copying a 16 KiB file through
//      the staging directory, against "cp" of the same files in the same run
//      (target: within 3 times the plain copy).
//   3. The cost of the write-ahead guarantee: the same 2,000 lines as an uninstallable
//      entry, run from the same state (nothing installed, no store) once with the
//      write-ahead records only written in order and once with them synced.
//
// Works in a fresh temporary prefix (made by morvan-prefix from this program's own
// folder) and prints its figures; the exit status is 0 unless the set-up failed.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "installer/engine/InstallerState.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/engine/ScriptScan.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/VersionRecords.h"
#include "installer/testsupport/ScriptedMessages.h"
#include "installer/testsupport/TempPrefix.h"
#include "installer/util/TreeOps.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace {

// <chrono> cannot be compiled to code page 932 (its literals name "µs"): wall time
// through the C library instead.
double Now() {
    std::timespec ts{};
    std::timespec_get(&ts, TIME_UTC);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double Seconds(double since) { return Now() - since; }

std::string TwoDigit(int n) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", n);
    return text;
}

// A job run from its start: no abort, no commands counted, no entry running.
void StartNewJob(InstallerState& state) {
    state.job.JobState = kJobRunning;
    state.job.ExecutedCommandCount = 0;
    state.entry = RunningEntry{};
}

// The setting references of the bench scripts, and the plain text that stands for each
// in the scripts without references.
constexpr const char* kAppReference = "%INSTALL_DRIVE\\INSTALL_AP_PATH%";
constexpr const char* kInstallReference = "%KELSYS\\INSTALL%";
constexpr const char* kToolsReference = "%KELSYS\\TOOLS%";
constexpr const char* kPlainFolder = "C:\\MORVAN";

// A script of `lines` lines as media carry them: comments, counted commands of every
// letter with their folders named by setting references (or, without `references`,
// by plain folder names), IF blocks, a README section. `referenceCount` is increased
// by the number of references written.
std::string LargeScript(int nn, int lines, bool references, int& referenceCount) {
    auto Folder = [&](const char* reference) {
        if (!references) return std::string(kPlainFolder);
        ++referenceCount;
        return std::string(reference);
    };
    std::string text = "; bench script " + TwoDigit(nn) + "\r\n2.10/20240101\r\n";
    text += "README\r\nこのスクリプトは計測用です。\r\nREADMEEND\r\n";
    text += "UNINST,計測用の項目 " + TwoDigit(nn) + "\r\n";
    int written = 6;
    for (int i = 0; written < lines - 1; ++i, ++written) {
        switch (i % 10) {
            case 0:
                text += "C BIN\\表示" + std::to_string(i) + ".EXE " + Folder(kAppReference) +
                        "\\BIN\\\r\n";
                break;
            case 1: text += "D C:\\APP\\TMP\\*.TMP\r\n"; break;
            case 2:
                text += "L DATA" + std::to_string(i) + ".LZH " + Folder(kInstallReference) +
                        "\\DATA\r\n";
                break;
            case 3: text += "A LIST.LST " + Folder(kInstallReference) + "\r\n"; break;
            case 4: text += "R \"HKEY_CURRENT_USER\\SOFTWARE\\KEL\\ソフト\\V" + std::to_string(i) + "\" 1\r\n"; break;
            case 5: text += "IF !C:\\APP\\NONE" + std::to_string(i) + ".DLL\r\n"; break;
            case 6: text += "X " + Folder(kToolsReference) + "\\SETUP.EXE \"/Q\"\r\n"; break;
            case 7: text += "END\r\n"; break;
            case 8: text += ";   a comment line in the section\r\n"; break;
            default: text += "@HALTAPP\r\n"; break;
        }
    }
    text += "INSTEND\r\n";
    return text;
}

bool Prepare(TempPrefix& prefix, InstallerState& state) {
    prefix.InstallStandardProduct("2.00");
    if (LoadInstallEnvironment(state.env) != 0) return false;
    prefix.MapNewDrive('K');
    state.run.InstallDiskPath = "K:";
    if (platform::WriteFileBytes("K:\\MorvanUP.INF",
                                 "Morvan,計測\r\n2.10/20240101\r\n2.00/\r\n01/01\r\n") != 0) {
        return false;
    }
    return ReadControlFile(state.run, "K:") == 0;
}

// Writes the 100 bench scripts (with or without setting references) and scans them
// five times. False when the medium could not be written: figures without their files
// mean nothing. `times` comes sorted; `referenceCount` counts the references of the
// scripts the scan read.
bool TimeScan(InstallerState& state, bool references, std::vector<double>& times,
              int& entries, int& referenceCount) {
    std::vector<int> perScript;
    for (int nn = 0; nn < 100; ++nn) {
        int count = 0;
        const std::string script = LargeScript(nn, 1000, references, count);
        perScript.push_back(count);
        if (platform::WriteFileBytes("K:\\INST" + TwoDigit(nn) + ".DAT", script) != 0) return false;
    }
    times.clear();
    for (int rep = 0; rep < 5; ++rep) {
        double start = Now();
        entries = ScanScripts(state, false);
        times.push_back(Seconds(start));
    }
    std::sort(times.begin(), times.end());
    // A full table stops the probing: only the first `entries` scripts were read.
    referenceCount = 0;
    for (int nn = 0; nn < entries && nn < 100; ++nn) referenceCount += perScript[nn];
    return true;
}

bool BenchScan(InstallerState& state) {
    std::vector<double> times, plainTimes;
    int entries = 0, references = 0, plainEntries = 0, plainReferences = 0;
    if (!TimeScan(state, true, times, entries, references)) return false;
    const std::int32_t counted = state.table.TotalCommandCount.load();
    if (!TimeScan(state, false, plainTimes, plainEntries, plainReferences)) return false;
    std::printf("scan: 100 scripts x 1000 lines: %d entries, %d counted commands\n", entries,
                counted);
    std::printf("scan: best %.3f s, median %.3f s (target < 0.25 s): %s\n", times.front(), times[2],
                times[2] < 0.25 ? "met" : "NOT met");
    std::printf("scan: the same lines without setting references: best %.3f s, median %.3f s\n",
                plainTimes.front(), plainTimes[2]);
    if (references > 0) {
        std::printf("scan: per setting reference: %.2f us ((%.3f s - %.3f s) / %d references)\n",
                    (times[2] - plainTimes[2]) * 1e6 / references, times[2], plainTimes[2],
                    references);
    }
    // The scripts go with the temporary prefix; removing them only keeps the next run small.
    for (int nn = 0; nn < 100; ++nn) {
        (void)platform::DeleteFileW("K:\\INST" + TwoDigit(nn) + ".DAT");
    }
    return true;
}

// False when the medium or the destination could not be prepared.
bool BenchRun(TempPrefix& prefix, InstallerState& state) {
    const int kFiles = 2000;
    const std::string block(16 * 1024, 'x');
    std::string script = "2.10/20240101\r\nINST,大量コピー\r\n";
    if (platform::CreateDirectoryTree("K:\\FILES") != 0) return false;
    for (int i = 0; i < kFiles; ++i) {
        std::string name = "F" + std::to_string(10000 + i) + ".BIN";
        if (platform::WriteFileBytes("K:\\FILES\\" + name, block) != 0) return false;
        script += "C FILES\\" + name + " C:\\DEST\\ENGINE\\\r\n";
    }
    script += "INSTEND\r\n";
    if (platform::WriteFileBytes("K:\\INST00.DAT", script) != 0) return false;
    // The same files as an uninstallable entry into a folder of its own (BenchWriteAhead).
    std::string undoable = "2.10/20240101\r\nUNINST,大量コピー（元に戻せる）\r\n";
    for (int i = 0; i < kFiles; ++i) {
        undoable += "C FILES\\F" + std::to_string(10000 + i) + ".BIN C:\\DEST\\UNDO\\\r\n";
    }
    undoable += "INSTEND\r\n";
    if (platform::WriteFileBytes("K:\\INST01.DAT", undoable) != 0) return false;

    std::string mediumHost, destHost;
    if (platform::ToHostPath("K:\\FILES", mediumHost) != 0 ||
        platform::ToHostPath("C:\\DEST", destHost) != 0) {
        return false;
    }
    std::filesystem::create_directories(destHost + "/cp-one");
    std::filesystem::create_directories(destHost + "/cp-each");

    // The plain copy: one cp for the whole set, then one cp per file.
    double start = Now();
    std::string one = "cp '" + mediumHost + "'/* '" + destHost + "/cp-one/'";
    if (std::system(one.c_str()) != 0) std::printf("run: cp of the set failed\n");
    double cpOnce = Seconds(start);

    std::string each = "for f in '" + mediumHost + "'/*; do cp \"$f\" '" + destHost + "/cp-each/'; done";
    start = Now();
    if (std::system(each.c_str()) != 0) std::printf("run: cp per file failed\n");
    double cpEach = Seconds(start);

    ScanScripts(state, false);
    StartNewJob(state);
    start = Now();
    RunScript(state, 1, false);
    double engine = Seconds(start);
    int copied = 0;
    std::string engineHost;
    if (platform::ToHostPath("C:\\DEST\\ENGINE", engineHost) != 0) return false;
    for (const auto& entry : std::filesystem::directory_iterator(engineHost)) {
        copied += entry.is_regular_file() ? 1 : 0;
    }
    std::printf("run: %d C lines of 16 KiB: engine %.3f s (%d files installed, job state %d)\n",
                kFiles, engine, copied, static_cast<int>(state.job.JobState.load()));
    // The same entry again: every file now replaces one already installed, as a
    // version-up mostly does.
    StartNewJob(state);
    start = Now();
    RunScript(state, 1, false);
    double again = Seconds(start);
    std::printf("run: the same entry over the installed files: engine %.3f s\n", again);
    // The floor of the staging pipeline on this platform layer: for each file only
    // the three file operations every C command needs (stage, install, unstage).
    if (platform::CreateDirectoryTree("C:\\DEST\\FLOOR") != 0) return false;
    int failures = 0;
    start = Now();
    for (int i = 0; i < kFiles; ++i) {
        std::string name = "F" + std::to_string(10000 + i) + ".BIN";
        failures += platform::CopyFileW("K:\\FILES\\" + name, state.env.ExtractDir + "\\" + name,
                                        false) != 0;
        failures += platform::CopyFileW(state.env.ExtractDir + "\\" + name,
                                        "C:\\DEST\\FLOOR\\" + name, false) != 0;
        failures += platform::DeleteFileW(state.env.ExtractDir + "\\" + name) != 0;
    }
    double floor = Seconds(start);
    if (failures != 0) std::printf("run: %d of the floor's file operations failed\n", failures);
    std::printf("run: bare stage/install/unstage through the platform layer %.3f s (engine / floor %.2f)\n",
                floor, engine / floor);
    std::printf("run: cp of the whole set in one process %.3f s -> ratio %.2f (target <= 3): %s\n",
                cpOnce, engine / cpOnce, engine / cpOnce <= 3.0 ? "met" : "NOT met");
    std::printf("run: cp once per file %.3f s -> ratio %.2f\n", cpEach, engine / cpEach);
    (void)prefix;
    return true;
}

// Files directly in the host folder of the Windows folder `dir` (0 when it is missing).
int FilesIn(const std::string& dir) {
    std::string host;
    if (platform::ToHostPath(dir, host) != 0 || !std::filesystem::is_directory(host)) return 0;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(host))
        count += entry.is_regular_file() ? 1 : 0;
    return count;
}

// One run of the uninstallable entry (table entry 2, INST01.DAT) from the state before
// any install: nothing at its destination and no store of the revision. The seconds
// the engine took, or a negative value when the starting state could not be made.
double RunUndoableEntry(InstallerState& state, bool sync) {
    const std::string store =
        state.env.VersionDownRoot + "\\" + state.run.CurrentMedia.RevisionName;
    if (!RemoveTree("C:\\DEST\\UNDO") || !RemoveTree(store)) return -1.0;
    if (platform::PathExists("C:\\DEST\\UNDO") || platform::PathExists(store)) return -1.0;
    state.env.WriteAheadSync = sync;
    StartNewJob(state);
    const double start = Now();
    RunScript(state, 2, false);
    const double seconds = Seconds(start);
    std::string undo;
    int undoLines = 0;
    if (platform::ReadFileBytes(store + "\\" + state.run.CurrentMedia.MediaNo + "\\INST01.DAT",
                                undo) == 0) {
        for (const std::string& line : platform::SplitLines(undo))
            undoLines += line.starts_with("D ") ? 1 : 0;
    }
    std::printf(
        "write-ahead: %s: engine %.3f s (%d files installed, %d undo lines, job state %d)\n",
        sync ? "synced (power-cut safe)" : "in order only (crash safe)", seconds,
        FilesIn("C:\\DEST\\UNDO"), undoLines, static_cast<int>(state.job.JobState.load()));
    return seconds;
}

// False when a starting state could not be made.
bool BenchWriteAhead(InstallerState& state) {
    const bool saved = state.env.WriteAheadSync;
    const double unsynced = RunUndoableEntry(state, false);
    const double synced = RunUndoableEntry(state, true);
    state.env.WriteAheadSync = saved;
    if (unsynced < 0 || synced < 0) return false;
    std::printf("write-ahead sync cost: %.2f times\n", synced / unsynced);
    return true;
}

}  // namespace

int main(int /*argc*/, char** argv) {
    // The prefix tools live beside this program.
    std::string binDir = std::filesystem::absolute(argv[0]).parent_path().string();
    setenv("MORVAN_BIN_DIR", binDir.c_str(), 0);
    ScriptedMessages messages;
    TempPrefix prefix;
    InstallerState state;
    if (!Prepare(prefix, state)) {
        std::fprintf(stderr, "engine-bench: set-up failed\n");
        return 1;
    }
    if (!BenchScan(state) || !BenchRun(prefix, state) || !BenchWriteAhead(state)) {
        std::fprintf(stderr, "engine-bench: the medium could not be prepared\n");
        return 1;
    }
    if (!messages.Boxes().empty()) {
        std::printf("messages raised: %zu (first: %s)\n", messages.Boxes().size(),
                    messages.Boxes().front().caption.c_str());
    }
    return 0;
}
