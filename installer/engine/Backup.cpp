#include "installer/engine/Backup.h"

#include <vector>

#include "installer/engine/JobState.h"
#include "installer/engine/LineFiles.h"
#include "installer/engine/RegistryCommand.h"
#include "installer/engine/ScriptLines.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/ChildProcesses.h"
#include "installer/util/TreeOps.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace {

const char kHaltAppLine[] = "@HALTAPP";

bool HasWildcard(const std::string& name) {
    return name.find_first_of("*?") != std::string::npos;
}

std::string FileNamePart(const std::string& path) {
    std::size_t cut = platform::FindLastPathDelimiter(path);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Copies `source` to `target`, creating the folders on the way.
bool SaveCopy(const std::string& source, const std::string& target) {
    std::size_t cut = platform::FindLastCharDbcs(target, '\\');
    // A folder that cannot be made fails the copy below, which is the result.
    if (cut != std::string::npos) (void)platform::CreateDirectoryTree(target.substr(0, cut));
    return platform::CopyFileW(source, target, false) == 0;
}

// A former state that could not be saved must not be overwritten: the staged files
// are withdrawn (so the copy to the destination brings nothing), the failure is
// shown and the job stops. Without this the rollback would silently miss the file.
void WithdrawCommand(const std::string& line) {
    ClearDirectory(ExtractDir + "\\");
    ShowCodeMessage(kCodeBrokenContent, line);
    AbortJob();
}

// The staged files relative to ExtractDir, as WorkListFile holds them. False when the
// list could not be read back (then nothing is recorded).
bool ReadStagedFiles(std::vector<std::string>& rels) {
    std::vector<std::string> lines;
    if (!platform::FileExists(WorkListFile) || !ReadLineFile(WorkListFile, lines)) return false;
    rels.clear();
    for (std::string line : lines) {
        // The staging directory's own name may hold blanks: cut it off first.
        if (line.size() <= ExtractDir.size() + 1) continue;
        line.erase(0, ExtractDir.size() + 1);
        RemoveBlanks(line);
        if (!line.empty()) rels.push_back(line);
    }
    return true;
}

void ArchiveBackup(const std::string& line, const std::string& destination,
                   const std::vector<std::string>& rels, const std::string& name) {
    int saved = 0;
    for (const std::string& rel : rels) {
        const std::string target = destination + rel;
        if (!platform::PathExists(target)) {
            InsertUndoLine("D " + target);
            continue;
        }
        ++saved;
        bool ok = platform::DirectoryExists(target)
                      ? CopyTree(target + "\\", BackupDir + "\\" + rel + "\\")
                      : SaveCopy(target, BackupDir + "\\" + rel);
        if (!ok) {
            WithdrawCommand(line);
            return;
        }
    }
    if (saved > 0) {
        std::size_t dot = name.find('.');
        const std::string archive = (dot == std::string::npos ? name : name.substr(0, dot)) + ".LZH";
        // The backup folder holds the copies just made; the archiver's status below is the result.
        (void)platform::SetCurrentDirectoryW(BackupDir);
        // The former files travel as one archive with their relative paths, so that
        // extracting it over the destination puts every one of them back.
        int rc = RunAndWait(LhaExePath, " a -rxcmn " + archive + " *");
        if (rc != 0 || !SaveCopy(BackupDir + "\\" + archive, CurrentMediaStoreDir() + "\\" + archive)) {
            WithdrawCommand(line);
            return;
        }
        InsertUndoLine("L " + archive + " " + destination);
    }
    InsertUndoLine(";" + name);
}

bool CopyBackup(const std::string& line, const std::string& destination,
                const std::vector<std::string>& rels) {
    for (const std::string& rel : rels) {
        const std::string target = destination + rel;
        if (!platform::FileExists(target)) {
            InsertUndoLine("D " + target);
        } else if (SaveCopy(target, CurrentMediaStoreDir() + "\\" + rel)) {
            InsertUndoLine("C " + rel + " " + destination);
        } else {
            WithdrawCommand(line);
            return false;
        }
    }
    return true;
}

bool DeleteBackup(const std::string& line, const std::string& destination,
                  const std::vector<std::string>& rels) {
    for (const std::string& rel : rels) {
        if (SaveCopy(ExtractDir + "\\" + rel, CurrentMediaStoreDir() + "\\" + rel)) {
            InsertUndoLine("C " + rel + " " + destination);
            continue;
        }
        // The files are gone from the destination already: put them back.
        for (const std::string& staged : rels) {
            // Putting the files back is best effort: the command is withdrawn either way.
            (void)platform::CopyFileW(ExtractDir + "\\" + staged, destination + staged, false);
        }
        WithdrawCommand(line);
        return false;
    }
    return true;
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

void InsertUndoLine(const std::string& text) {
    std::vector<std::string> lines;
    if (UndoScriptPath == kNonBackup || !platform::FileExists(UndoScriptPath) ||
        !ReadLineFile(UndoScriptPath, lines)) {
        return;
    }
    // Only before the first "INSTEND": the undo lines then run once, in the order in
    // which they were recorded, even when the script holds more than one section.
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (KeywordMatches(lines[i], "INSTEND", 7)) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(i), text);
            RewriteThroughScratch(UndoScriptPath, lines);
            return;
        }
    }
}

bool IsRecordedInUndoScript(const std::string& name) {
    std::vector<std::string> lines;
    if (name.empty() || UndoScriptPath == kNonBackup || !platform::FileExists(UndoScriptPath) ||
        !ReadLineFile(UndoScriptPath, lines)) {
        return false;
    }
    // Only the undo lines count (between "UNINST," and "INSTEND"), and a name counts
    // only as a whole file name: the last part of a path field of a D, L, C, A or P
    // line, a ";" comment line, or the whole line ("@HALTAPP"). A name found inside a
    // longer name, in a title or in a registry value is not recorded.
    bool inSection = false;
    for (const std::string& raw : lines) {
        const std::string line = platform::UpperCase(raw);
        if (line.empty()) continue;
        if (!inSection) {
            inSection = KeywordMatches(line, "UNINST,", 7);
            continue;
        }
        if (KeywordMatches(line, "INSTEND", 7)) {
            inSection = false;
            continue;
        }
        if (platform::EqualsNoCase(line, name)) return true;
        if (line[0] == ';') {
            if (platform::EqualsNoCase(line.substr(1), name)) return true;
            continue;
        }
        if (line.size() < 2 || line[1] != ' ' || std::string("DLCAP").find(line[0]) == std::string::npos) {
            continue;
        }
        std::size_t start = 2;
        while (start < line.size()) {
            std::size_t end = line.find(' ', start);
            if (end == std::string::npos) end = line.size();
            if (platform::EqualsNoCase(FileNamePart(line.substr(start, end - start)), name)) {
                return true;
            }
            start = end + 1;
        }
    }
    return false;
}

void BackupBeforeInstall(const std::string& line, const std::string& destination) {
    if (UninstallMode || UndoScriptPath == kNonBackup || line.empty()) return;
    std::string dir = destination;
    EnsureTrailingBackslash(dir);

    std::vector<std::string> staged;
    ListTree(ExtractDir, staged);
    WriteLineFile(WorkListFile, staged);

    const char command = line[0];
    if (command == '@') {
        if (!IsRecordedInUndoScript(kHaltAppLine)) InsertUndoLine(kHaltAppLine);
    } else if (command == 'R') {
        RegistryBackupAndWrite(line);
    } else if (std::string("APCDLZ").find(command) != std::string::npos) {
        const std::string name = UndoTargetName(line);
        std::vector<std::string> rels;
        // The first command that touches a name keeps the oldest state.
        if (!IsRecordedInUndoScript(name) && ReadStagedFiles(rels)) {
            switch (command) {
                case 'L':
                case 'Z':
                    ArchiveBackup(line, dir, rels, name);
                    break;
                case 'C':
                    if (CopyBackup(line, dir, rels) && HasWildcard(name)) InsertUndoLine(";" + name);
                    break;
                case 'D':
                    if (DeleteBackup(line, dir, rels) && HasWildcard(name)) InsertUndoLine(";" + name);
                    break;
                default:
                    // A list file (the package list included) is saved whole as it
                    // was and copied back, like a copied file: undoing the line
                    // operations instead would also drop lines that were there
                    // before, re-add removed lines at the end and create lists that
                    // did not exist.
                    if (CopyBackup(line, dir, rels)) InsertUndoLine(";" + name);
                    break;
            }
        }
    }
    // Work file of the job: one that is already gone is the state wanted.
    (void)platform::DeleteFileW(WorkListFile);
}
