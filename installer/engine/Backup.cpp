#include "installer/engine/Backup.h"

#include <vector>

#include "installer/engine/InstallerState.h"
#include "installer/engine/ListFileCommand.h"
#include "installer/engine/PackageList.h"
#include "installer/engine/RegistryBackup.h"
#include "installer/engine/ScriptLines.h"
#include "installer/engine/UndoScript.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/LineFiles.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/ChildProcesses.h"
#include "installer/util/PatternFiles.h"
#include "installer/util/TreeOps.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace {

const char kHaltAppLine[] = "@HALTAPP";

// A D undo line takes the rest of the line as its path, after blank runs have been
// collapsed: single blanks inside a name come back as they are, runs and a blank at
// the end do not.
bool DLineCarries(const std::string& rel) {
    return rel.find("  ") == std::string::npos && (rel.empty() || rel.back() != ' ');
}

// A C undo line names the saved copy in a field that ends at the first blank.
bool CLineCarries(const std::string& rel) { return rel.find(' ') == std::string::npos; }

// Copies `source` to `target` (overwriting, creating the folders on the way) and makes
// the copy durable. False with `failedPath` = target when any step fails.
bool SaveCopy(const InstallerState& state, const std::string& source, const std::string& target,
              std::string& failedPath) {
    failedPath = target;
    std::size_t cut = platform::FindLastCharDbcs(target, '\\');
    if (cut != std::string::npos && platform::CreateDirectoryTree(target.substr(0, cut)) != 0) {
        return false;
    }
    // A copy kept from an earlier install of a read-only file must not block the new
    // one; when the flag cannot be cleared, the copy below fails and is the result.
    if (platform::FileExists(target)) (void)platform::ClearReadOnly(target);
    if (platform::CopyFileW(source, target, false) != 0) return false;
    return !state.env.WriteAheadSync || platform::FlushFileW(target) == 0;
}

// The name under which a former file is kept in the store folder of the medium. The
// folder is shared by every entry of the medium, so a copy an earlier entry kept (the
// package list, a file two entries replace) is never overwritten: a taken name gets
// "~nn" before its extension. The uninstall runs of the entries, latest first, then
// each put back the state their own entry found.
std::string NumberedStoreName(const std::string& name, int n) {
    const std::size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? "" : name.substr(dot);
    return stem + "~" + TwoDigitNumber(n) + extension;
}

std::string FreeStoreName(const InstallerState& state, const std::string& name) {
    const std::string dir = CurrentMediaStoreDir(state.env, state.run) + "\\";
    if (!platform::PathExists(dir + name)) return name;
    for (int n = 1; n <= 99; ++n) {
        const std::string candidate = NumberedStoreName(name, n);
        if (!platform::PathExists(dir + candidate)) return candidate;
    }
    return "";
}

// True when `kept` is a name FreeStoreName gives a copy of `name`.
bool IsStoreNameOf(const std::string& kept, const std::string& name) {
    if (platform::EqualsNoCase(kept, name)) return true;
    for (int n = 1; n <= 99; ++n) {
        if (platform::EqualsNoCase(kept, NumberedStoreName(name, n))) return true;
    }
    return false;
}

// The archive the former files of an L line travel in: the line's archive name with
// the extension ".LZH".
std::string SavedArchiveName(const std::string& name) {
    const std::size_t dot = name.find('.');
    return (dot == std::string::npos ? name : name.substr(0, dot)) + ".LZH";
}

// An archive is recorded for the folder `dir` when its name is recorded and one of
// its saved copies is extracted back into that folder. (An archive whose files were
// all new there is recorded by D lines, which cover its files one by one.)
bool IsArchiveRecordedFor(const InstallerState& state, const std::string& name,
                          const std::string& dir) {
    if (!IsRecordedInUndoScript(state.entry, name)) return false;
    const std::string archive = SavedArchiveName(name);
    for (const std::string& kept : ArchivesExtractedInto(state.entry, dir)) {
        if (IsStoreNameOf(kept, archive)) return true;
    }
    return false;
}

// Keeps a former file in the store and gives the undo line that copies it back to
// destination + rel. False with the failing path.
bool KeepFormerFile(const InstallerState& state, const std::string& source,
                    const std::string& destination, const std::string& rel, std::string& undoLine,
                    std::string& failedDetail) {
    const std::string kept = FreeStoreName(state, rel);
    if (kept.empty()) {
        failedDetail = CurrentMediaStoreDir(state.env, state.run) + "\\" + rel;
        return false;
    }
    if (!SaveCopy(state, source, CurrentMediaStoreDir(state.env, state.run) + "\\" + kept,
                  failedDetail))
        return false;
    // A copy kept under another name is copied back under the file's own name.
    undoLine = kept == rel ? "C " + rel + " " + destination : "C " + kept + " " + destination + rel;
    return true;
}

// Records `undo` in the uninstall script in one write.
bool Record(const InstallerState& state, const std::vector<std::string>& undo,
            std::string& failedDetail) {
    if (InsertUndoLines(state.env, state.entry, undo)) return true;
    failedDetail = state.entry.UndoScriptPath;
    return false;
}

// The working copy of a former file (or folder) that the archiver packs; only the
// archive itself is kept, so the copies need not be durable.
bool CopyForArchive(const std::string& target, const std::string& copy) {
    if (platform::DirectoryExists(target)) return CopyTree(target + "\\", copy + "\\");
    std::size_t cut = platform::FindLastCharDbcs(copy, '\\');
    if (cut != std::string::npos && platform::CreateDirectoryTree(copy.substr(0, cut)) != 0) return false;
    return platform::CopyFileW(target, copy, false) == 0;
}

bool ArchiveBackup(const InstallerState& state, const std::string& line,
                   const std::string& destination, const std::vector<std::string>& rels,
                   const std::string& name, std::string& failedDetail) {
    for (const std::string& rel : rels) {
        if (!platform::PathExists(destination + rel) && !DLineCarries(rel)) {
            failedDetail = line;
            return false;
        }
    }
    std::vector<std::string> undo;
    int saved = 0;
    for (const std::string& rel : rels) {
        const std::string target = destination + rel;
        if (!platform::PathExists(target)) {
            undo.push_back("D " + target);
            continue;
        }
        ++saved;
        const std::string copy = state.env.BackupDir + "\\" + rel;
        if (!CopyForArchive(target, copy)) {
            failedDetail = copy;
            return false;
        }
    }
    if (saved > 0) {
        const std::string archive = SavedArchiveName(name);
        // The former files travel as one archive with their relative paths, so that
        // extracting it over the destination puts every one of them back.
        if (platform::SetCurrentDirectoryW(state.env.BackupDir) != 0 ||
            RunAndWait(state.env.LhaExePath, " a -rxcmn " + archive + " *") != 0) {
            failedDetail = line;
            return false;
        }
        const std::string kept = FreeStoreName(state, archive);
        if (kept.empty()) {
            failedDetail = CurrentMediaStoreDir(state.env, state.run) + "\\" + archive;
            return false;
        }
        if (!SaveCopy(state, state.env.BackupDir + "\\" + archive,
                      CurrentMediaStoreDir(state.env, state.run) + "\\" + kept, failedDetail)) {
            return false;
        }
        undo.push_back("L " + kept + " " + destination);
    }
    undo.push_back(";" + name);
    return Record(state, undo, failedDetail);
}

// C, A and P: a staged file that replaces an existing one saves that one and copies
// it back; one that is new is deleted again. The file saved is the one the
// destination holds before the staged file is copied over it.
bool CopyBackup(const InstallerState& state, const std::string& line,
                const std::string& destination, const std::vector<std::string>& rels,
                const std::string& comment, std::string& failedDetail) {
    for (const std::string& rel : rels) {
        const bool exists = platform::FileExists(destination + rel);
        if (exists ? !CLineCarries(rel) : !DLineCarries(rel)) {
            failedDetail = line;
            return false;
        }
    }
    std::vector<std::string> undo;
    for (const std::string& rel : rels) {
        const std::string target = destination + rel;
        if (!platform::FileExists(target)) {
            undo.push_back("D " + target);
            continue;
        }
        std::string undoLine;
        if (!KeepFormerFile(state, target, destination, rel, undoLine, failedDetail)) return false;
        undo.push_back(undoLine);
    }
    if (!comment.empty()) undo.push_back(";" + comment);
    return Record(state, undo, failedDetail);
}

// D: the staged files are the files the command is about to delete.
bool DeleteBackup(const InstallerState& state, const std::string& line,
                  const std::string& destination, const std::vector<std::string>& rels,
                  const std::string& comment, std::string& failedDetail) {
    for (const std::string& rel : rels) {
        if (!CLineCarries(rel)) {
            failedDetail = line;
            return false;
        }
    }
    std::vector<std::string> undo;
    for (const std::string& rel : rels) {
        std::string undoLine;
        if (!KeepFormerFile(state, state.env.ExtractDir + "\\" + rel, destination, rel, undoLine,
                            failedDetail))
            return false;
        undo.push_back(undoLine);
    }
    if (!comment.empty()) undo.push_back(";" + comment);
    return Record(state, undo, failedDetail);
}

// The staged files of the staging folder `extractDir`, relative to it. The listing is
// also written to the staging list `listFile`, which lives for the length of the
// backup step; the step itself works on the names returned here. False with the
// failing path when the folder cannot be listed or the list cannot be written.
bool ListStagedFiles(const std::string& extractDir, const std::string& listFile,
                     std::vector<std::string>& rels, std::string& failedDetail) {
    std::vector<std::string> staged;
    if (!ListTree(extractDir, staged)) {
        failedDetail = extractDir;
        return false;
    }
    if (!WriteLineFile(listFile, staged)) {
        failedDetail = listFile;
        return false;
    }
    rels.clear();
    for (std::string path : staged) {
        // The staging directory's own name may hold blanks: cut it off first. The
        // names below it are kept whole (blanks included): they name real files.
        if (path.size() <= extractDir.size() + 1) continue;
        path.erase(0, extractDir.size() + 1);
        rels.push_back(path);
    }
    return true;
}

// Records the staged files `rels` of the command `line` (all of them need a record).
bool RecordStagedFiles(const InstallerState& state, const std::string& line, const std::string& dir,
                       const std::vector<std::string>& rels, const std::string& name,
                       std::string& failedDetail) {
    switch (line[0]) {
        case 'L':
        case 'Z':
            return ArchiveBackup(state, line, dir, rels, name, failedDetail);
        case 'C':
            return CopyBackup(state, line, dir, rels, HasWildcard(name) ? name : "", failedDetail);
        case 'D':
            return DeleteBackup(state, line, dir, rels, HasWildcard(name) ? name : "",
                                failedDetail);
        default:
            // A list file (the package list included) is saved whole as it was and
            // copied back, like a copied file: undoing the line operations instead
            // would also drop lines that were there before, re-add removed lines at
            // the end and create lists that did not exist.
            return CopyBackup(state, line, dir, rels, name, failedDetail);
    }
}

bool RecordFileCommand(const InstallerState& state, const std::string& line, const std::string& dir,
                       std::string& failedDetail) {
    const char command = line[0];
    std::string name = UndoTargetName(line);
    // Whatever name a line gives the package list, the file that changes is the
    // scrambled list: it is saved once, before the first change, under that name.
    const bool packageList =
        (command == 'A' || command == 'P') && IsPackageListName(state.entry, name);
    if (packageList) name = kPackageListFile;
    // The same archive extracted again where it was recorded: its saved copy holds the
    // oldest state of every file it brings.
    if ((command == 'L' || command == 'Z') && IsArchiveRecordedFor(state, name, dir)) return true;
    std::vector<std::string> staged;
    if (!ListStagedFiles(state.env.ExtractDir, state.env.WorkListFile, staged, failedDetail)) {
        return false;
    }
    // The first command that touches a file keeps its oldest state: a file an undo
    // line already puts back is neither saved nor recorded again, which would put a
    // later state back over it. The same name in another folder is another file.
    const std::vector<std::string> rels = FilesNotCoveredInUndoScript(state.entry, dir, staged);
    // A command that staged nothing (a list line for a missing list) leaves its name
    // as a comment once.
    const bool record =
        !rels.empty() || (staged.empty() && !IsRecordedInUndoScript(state.entry, name));
    const bool ok = !record || RecordStagedFiles(state, line, dir, rels, name, failedDetail);
    // Work file of the step: one that stays behind is rewritten by the next step.
    (void)platform::DeleteFileW(state.env.WorkListFile);
    return ok;
}

}  // namespace

std::string UndoTargetName(const std::string& line) {
    std::string text;
    std::size_t first = line.find(' ');
    if (first != std::string::npos) {
        if (!line.empty() && line[0] == 'D') {
            text = line.substr(first + 1);
        } else {
            std::size_t second = line.find(' ', first + 1);
            text = line.substr(first + 1, second == std::string::npos ? std::string::npos
                                                                      : second - first - 1);
        }
    }
    std::size_t cut = platform::FindLastCharDbcs(text, '\\');
    if (cut != std::string::npos) text.erase(0, cut + 1);
    RemoveBlanks(text);
    return text;
}

bool BackupBeforeInstall(const InstallerState& state, const std::string& line,
                         const std::string& destination, std::string& failedDetail) {
    if (state.run.UninstallMode || state.entry.UndoScriptPath == kNonBackup || line.empty())
        return true;
    std::string dir = destination;
    EnsureTrailingBackslash(dir);

    const char command = line[0];
    if (command == '@') {
        if (IsRecordedInUndoScript(state.entry, kHaltAppLine)) return true;
        return Record(state, {kHaltAppLine}, failedDetail);
    }
    if (command == 'R') return RegistryBackup(state, line, failedDetail);
    if (std::string("APCDLZ").find(command) != std::string::npos) {
        return RecordFileCommand(state, line, dir, failedDetail);
    }
    return true;
}
