// The conversion job: one run of Tolvane from its command line to its exit code.
//
// Job_Run(args, services) — args are the program's arguments (its name first), see
// CommandLine.h and JobPaths.h. In order:
//   1. "Tolvane.EXE 実行!!! argc[%d]\n" (the argument count, the name included); the
//      start time is taken.
//   2. The command line is read: fewer than three arguments, exit 1; the drawing is not
//      an existing file, exit 2.
//   3. "Tolvane.EXE パラメータ draft[%s] newpdb[%s] 元データ種別[%d] 条件ファイル[%s]\n".
//      Then, before any file is touched: a path that does not fit its 260-byte field, or
//      a new PDB path over 255 bytes, gives
//      "Tolvane.EXE パスが長すぎる(上限[%d]バイト) [%s]\n" and exit 2; a new PDB path
//      that names the drawing itself gives "Tolvane.EXE 出力先が入力と同じファイル [%s]\n"
//      and exit 2.
//   4. The extension file is named (ExtensionFileName.h): all 99 names taken, exit 4; a
//      name too long for its field, the path line above and exit 2.
//   5. The drawing's extension must give file kind 1 (".000" to ".099"); else exit 3.
//   6. A drawing that already is a PDB (PDB_Query_PdmDataBase) is copied to the new PDB
//      path and the job ends: exit 0; when the copy fails,
//      "Tolvane.EXE PDBファイルのコピーに失敗 err[%u] [%s]->[%s]\n" and exit 2.
//   7. PdbHead_Begin(extension file, kind). When it fails (the output folder is missing
//      or cannot be written, the drive does not exist) the line
//      "Tolvane.EXE 「PDM専用拡張情報」ファイルを作成できない rc[%d] [%s]\n" and exit 21
//      (the new PDB cannot be made), or 5 when the tables had no memory.
//   8. The working copy: up to 10 attempts of a unique name in the temporary folder with
//      ".099" (Tmp_MakeUniqueName) and a copy of the drawing onto it, 3 seconds apart;
//      ten failures, exit 2. From here on the job works on the copy.
//   9. The analyser runs on the copy (AnalyserRun.h).
//  10. The level: the "DownLevel" value of the condition file read as "%d" (empty: 0);
//      Make_PDB_Draft(level, copy, new PDB, kind, switch).
//  11. The copy is deleted; "    Make_PDB_Draft() rtn[%d] level[%d]\n". A non-zero
//      status ends the job with that status as its exit code.
//  12. "Tolvane.EXE データの合成\n"; pens and fonts go to Pelmar
//      (PdbHead_PutPensAndFonts). When a writer call failed,
//      "Tolvane.EXE ペン・フォントの登録に失敗 rc[%d]\n" and exit 32 (the extension data
//      would be incomplete).
//  13. PDB_PdmExData_resize(extension file), PDB_Union_DraftNPdmDataBase(new PDB,
//      extension file). A non-zero result r (of either):
//      " PDBファイルと「PDM専用拡張情報」ファイルの合成に失敗 r[%d] [%s]+[%s]\n" and the
//      result 32; else 0.
//  14. The end time; "Tolvane.EXE 処理タイム表示\n" and
//      "      [%d]分 [%d]秒 [%.3lf]\n" (whole minutes, the seconds left, the elapsed
//      seconds as a real).
//  15. The result of step 13 is the exit code.
//
// Work files and the output on every way out:
//   - the extension file is deleted whenever the job ends after step 7 created it, on
//     every path (so failed runs never use up the 99 names);
//   - the working copy (and a name made for an attempt that failed) is deleted;
//   - when the job ends with a non-zero code after step 9 (a conversion status, 32), no
//     PDB is left at the new PDB path: the half-made one is deleted, and so is a PDB an
//     earlier run left there, which would otherwise be taken for this run's result.
//
// Exit codes: 0 done; 1 too few arguments; 2 no drawing, no working copy, a path too
// long, output = input, the PDB copy of step 6 failed; 3 not a drawing; 4 no extension
// file name; 5 / 21 step 7; 32 the merge failed (or pens/fonts not registered); any
// other: the status of Make_PDB_Draft (MakePdbDraft.h; 13 for level 1, not built yet).
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <span>

#include "tolvane/JobPaths.h"

inline constexpr int kJobDone = 0;
inline constexpr int kJobTooFewArguments = 1;
inline constexpr int kJobNoDrawing = 2;
inline constexpr int kJobNotADrawing = 3;
inline constexpr int kJobNoExtensionName = 4;
inline constexpr int kJobNoMemory = 5;
inline constexpr int kJobCannotCreatePdb = 21;
inline constexpr int kJobUnionFailed = 32;

// Attempts at the working copy and the pause after each failed one.
inline constexpr int kWorkCopyAttempts = 10;
inline constexpr std::uint32_t kWorkCopyPauseMs = 3000;

// What the job takes from the machine, so a test can run it on its own clock.
struct JobServices {
    std::function<std::time_t()> now;            // calendar time in whole seconds
    std::function<void(std::uint32_t)> sleepMs;  // a pause
};

// time() and platform::Sleep.
[[nodiscard]] JobServices Job_SystemServices();

[[nodiscard]] int Job_Run(std::span<const ProgramArgument> args, const JobServices& services);

// Step 14's two lines for an elapsed time of `seconds` (whole seconds).
void Job_LogElapsed(std::time_t seconds);
