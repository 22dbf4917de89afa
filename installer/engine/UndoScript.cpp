#include "installer/engine/UndoScript.h"

#include <cstddef>
#include <set>

#include "installer/engine/LineFiles.h"
#include "installer/engine/ScriptLines.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace {

bool Kept(const RunningEntry& entry) { return entry.UndoScriptPath != kNonBackup; }

bool ReadScript(const RunningEntry& entry, std::vector<std::string>& lines) {
    return platform::FileExists(entry.UndoScriptPath) && ReadLineFile(entry.UndoScriptPath, lines);
}

bool WriteScript(const InstallEnvironment& env, const RunningEntry& entry,
                 const std::vector<std::string>& lines) {
    return platform::ReplaceFileBytes(entry.UndoScriptPath, JoinLines(lines), env.WriteAheadSync) ==
           0;
}

// The undo lines of the script: [first, end) between the "UNINST," line and the
// "INSTEND" that closes it. The lines are walked as the uninstall run reads them
// (line 0 is the header; outside a section a line beginning with "R" opens a README
// section that runs to "READMEEND", one beginning with "U" opens the section). False
// when the script has no closed section.
bool FindUndoSection(const std::vector<std::string>& lines, std::size_t& first, std::size_t& end) {
    ScanState state = Outside;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string line = platform::UpperCase(lines[i]);
        if (IsSkippedLine(line)) continue;
        switch (state) {
            case InReadme:
                if (KeywordMatches(line, "READMEEND", 9)) state = Outside;
                break;
            case InSection:
                if (KeywordMatches(line, "INSTEND", 7)) {
                    end = i;
                    return true;
                }
                break;
            default:
                if (line[0] == 'R') state = InReadme;
                if (line[0] == 'U') {
                    state = InSection;
                    first = i + 1;
                }
                break;
        }
    }
    return false;
}

std::string FileNamePart(const std::string& path) {
    std::size_t cut = platform::FindLastPathDelimiter(path);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// True when the undo line records `name` (see IsRecordedInUndoScript).
bool LineRecords(const std::string& line, const std::string& name) {
    if (platform::EqualsNoCase(line, name)) return true;
    if (line[0] == ';') return platform::EqualsNoCase(line.substr(1), name);
    if (line.size() < 2 || line[1] != ' ' ||
        std::string("DLCAP").find(line[0]) == std::string::npos) {
        return false;
    }
    std::size_t start = 2;
    while (start < line.size()) {
        std::size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        if (platform::EqualsNoCase(FileNamePart(line.substr(start, end - start)), name))
            return true;
        start = end + 1;
    }
    return false;
}

// The undo lines of the script as written; false when it has none to read.
bool ReadUndoLines(const RunningEntry& entry, std::vector<std::string>& undo) {
    std::vector<std::string> script;
    std::size_t first = 0, end = 0;
    if (!Kept(entry) || !ReadScript(entry, script) || !FindUndoSection(script, first, end))
        return false;
    undo.assign(script.begin() + static_cast<std::ptrdiff_t>(first),
                script.begin() + static_cast<std::ptrdiff_t>(end));
    return true;
}

bool IsCommand(const std::string& line, char command) {
    return line.size() > 2 && (line[0] == command || line[0] == command + ('a' - 'A')) &&
           line[1] == ' ';
}

// The file an undo line puts back, read as the uninstall run reads the line (blank
// runs collapsed); false for a line that puts back no single file.
bool CoveredFile(std::string line, std::string& target) {
    CollapseBlanks(line);
    if (IsCommand(line, 'D')) {
        target = line.substr(2);
        return true;
    }
    std::string kept, destination;
    if (!IsCommand(line, 'C') || !SplitCommandFields(line, kept, destination)) return false;
    std::string dir, name;
    SplitPath(destination, dir, name);
    // Into a folder the copy keeps the kept file's name; else it goes to the file named.
    target = name.empty() ? dir + FileNamePart(kept) : destination;
    return true;
}

}  // namespace

bool CreateUndoScript(const InstallEnvironment& env, const RunningEntry& entry,
                      const std::string& headerLine) {
    if (!Kept(entry)) return true;
    return WriteScript(env, entry, {headerLine});
}

bool AppendUndoScriptLines(const InstallEnvironment& env, const RunningEntry& entry,
                           const std::vector<std::string>& lines) {
    if (!Kept(entry)) return true;
    std::vector<std::string> script;
    if (!ReadScript(entry, script)) return false;
    script.insert(script.end(), lines.begin(), lines.end());
    return WriteScript(env, entry, script);
}

bool InsertUndoLines(const InstallEnvironment& env, const RunningEntry& entry,
                     const std::vector<std::string>& lines) {
    if (!Kept(entry) || lines.empty()) return true;
    std::vector<std::string> script;
    std::size_t first = 0, end = 0;
    if (!ReadScript(entry, script) || !FindUndoSection(script, first, end)) return false;
    script.insert(script.begin() + static_cast<std::ptrdiff_t>(end), lines.begin(), lines.end());
    return WriteScript(env, entry, script);
}

bool InsertUndoLine(const InstallEnvironment& env, const RunningEntry& entry,
                    const std::string& text) {
    return InsertUndoLines(env, entry, {text});
}

bool UndoScriptHasLineWith(const RunningEntry& entry, const char* word) {
    std::vector<std::string> script;
    if (!Kept(entry) || !ReadScript(entry, script)) return false;
    for (const std::string& line : script) {
        if (platform::FindDbcs(line, word) != std::string::npos) return true;
    }
    return false;
}

bool IsRecordedInUndoScript(const RunningEntry& entry, const std::string& name) {
    std::vector<std::string> undo;
    if (name.empty() || !ReadUndoLines(entry, undo)) return false;
    for (const std::string& line : undo) {
        if (!line.empty() && LineRecords(platform::UpperCase(line), name)) return true;
    }
    return false;
}

std::vector<std::string> FilesNotCoveredInUndoScript(const RunningEntry& entry,
                                                     const std::string& dir,
                                                     const std::vector<std::string>& rels) {
    std::vector<std::string> undo;
    if (!ReadUndoLines(entry, undo)) return rels;
    std::set<std::string> covered;
    for (const std::string& line : undo) {
        std::string target;
        if (CoveredFile(line, target)) covered.insert(platform::UpperCase(target));
    }
    std::vector<std::string> left;
    for (const std::string& rel : rels) {
        if (covered.count(platform::UpperCase(dir + rel)) == 0) left.push_back(rel);
    }
    return left;
}

std::vector<std::string> ArchivesExtractedInto(const RunningEntry& entry, const std::string& dir) {
    std::vector<std::string> undo, kept;
    if (!ReadUndoLines(entry, undo)) return kept;
    for (std::string line : undo) {
        CollapseBlanks(line);
        std::string archive, destination;
        if (IsCommand(line, 'L') && SplitCommandFields(line, archive, destination) &&
            platform::EqualsNoCase(destination, dir)) {
            kept.push_back(archive);
        }
    }
    return kept;
}
