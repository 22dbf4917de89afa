#include "installer/engine/UndoScript.h"

#include <cstddef>
#include <set>
#include <utility>

#include "installer/engine/ScriptGrammar.h"
#include "installer/engine/ScriptLines.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/LineFiles.h"
#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace {

bool Kept(const RunningEntry& entry) { return entry.UndoScriptPath != kNonBackup; }

// The entry's uninstall script as the file holds it now, through the entry's copy
// (RunningEntry.h); null when it is missing or cannot be read.
UndoScriptCopy* LoadScript(const RunningEntry& entry) {
    const std::string& path = entry.UndoScriptPath;
    UndoScriptCopy& copy = entry.undoCopy;
    std::string text;
    if (!platform::FileExists(path) || platform::ReadFileBytes(path, text) != 0) return nullptr;
    if (copy.path != path || copy.text != text) {
        copy = UndoScriptCopy{};
        copy.path = path;
        copy.lines = platform::SplitLines(text);
        copy.text = std::move(text);
    }
    return &copy;
}

// Replaces the file with the copy's lines (synced when WriteAheadSync). On failure the
// copy is dropped, so the next use reads the file as it is.
bool StoreScript(const InstallEnvironment& env, UndoScriptCopy& copy) {
    std::string text = JoinLines(copy.lines);
    if (platform::ReplaceFileBytes(copy.path, text, env.WriteAheadSync) != 0) {
        copy = UndoScriptCopy{};
        return false;
    }
    copy.text = std::move(text);
    return true;
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

bool HasUndoSection(UndoScriptCopy& copy) {
    if (!copy.sectionKnown) {
        copy.hasSection = FindUndoSection(copy.lines, copy.first, copy.end);
        copy.sectionKnown = true;
    }
    return copy.hasSection;
}

void AddCovered(UndoScriptCopy& copy, const std::string& line) {
    std::string target;
    if (CoveredFile(line, target)) copy.covered.insert(platform::UpperCase(target));
}

// The script's undo lines, [first, end) of its lines; null when it has none to read.
UndoScriptCopy* LoadUndoLines(const RunningEntry& entry) {
    UndoScriptCopy* copy = Kept(entry) ? LoadScript(entry) : nullptr;
    return copy != nullptr && HasUndoSection(*copy) ? copy : nullptr;
}

}  // namespace

bool CreateUndoScript(const InstallEnvironment& env, const RunningEntry& entry,
                      const std::string& headerLine) {
    if (!Kept(entry)) return true;
    UndoScriptCopy& copy = entry.undoCopy;
    copy = UndoScriptCopy{};
    copy.path = entry.UndoScriptPath;
    copy.lines = {headerLine};
    return StoreScript(env, copy);
}

bool AppendUndoScriptLines(const InstallEnvironment& env, const RunningEntry& entry,
                           const std::vector<std::string>& lines) {
    if (!Kept(entry)) return true;
    UndoScriptCopy* copy = LoadScript(entry);
    if (copy == nullptr) return false;
    copy->lines.insert(copy->lines.end(), lines.begin(), lines.end());
    // Appended lines may open or close the section: it is looked for again.
    copy->sectionKnown = false;
    copy->coveredKnown = false;
    copy->covered.clear();
    return StoreScript(env, *copy);
}

bool InsertUndoLines(const InstallEnvironment& env, const RunningEntry& entry,
                     const std::vector<std::string>& lines) {
    if (!Kept(entry) || lines.empty()) return true;
    UndoScriptCopy* copy = LoadUndoLines(entry);
    if (copy == nullptr) return false;
    copy->lines.insert(copy->lines.begin() + static_cast<std::ptrdiff_t>(copy->end), lines.begin(),
                       lines.end());
    copy->end += lines.size();
    for (const std::string& line : lines) {
        // A line that would itself close the section moves its end: looked for again.
        if (KeywordMatches(platform::UpperCase(line), "INSTEND", 7)) copy->sectionKnown = false;
        if (copy->coveredKnown) AddCovered(*copy, line);
    }
    if (!copy->sectionKnown) {
        copy->coveredKnown = false;
        copy->covered.clear();
    }
    return StoreScript(env, *copy);
}

bool InsertUndoLine(const InstallEnvironment& env, const RunningEntry& entry,
                    const std::string& text) {
    return InsertUndoLines(env, entry, {text});
}

bool UndoScriptHasLineWith(const RunningEntry& entry, const char* word) {
    const UndoScriptCopy* copy = Kept(entry) ? LoadScript(entry) : nullptr;
    if (copy == nullptr) return false;
    for (const std::string& line : copy->lines) {
        if (platform::FindDbcs(line, word) != std::string::npos) return true;
    }
    return false;
}

bool IsRecordedInUndoScript(const RunningEntry& entry, const std::string& name) {
    const UndoScriptCopy* copy = name.empty() ? nullptr : LoadUndoLines(entry);
    if (copy == nullptr) return false;
    for (std::size_t i = copy->first; i < copy->end; ++i) {
        const std::string& line = copy->lines[i];
        if (!line.empty() && LineRecords(platform::UpperCase(line), name)) return true;
    }
    return false;
}

std::vector<std::string> FilesNotCoveredInUndoScript(const RunningEntry& entry,
                                                     const std::string& dir,
                                                     const std::vector<std::string>& rels) {
    UndoScriptCopy* copy = LoadUndoLines(entry);
    if (copy == nullptr) return rels;
    if (!copy->coveredKnown) {
        for (std::size_t i = copy->first; i < copy->end; ++i) AddCovered(*copy, copy->lines[i]);
        copy->coveredKnown = true;
    }
    std::vector<std::string> left;
    for (const std::string& rel : rels) {
        if (copy->covered.count(platform::UpperCase(dir + rel)) == 0) left.push_back(rel);
    }
    return left;
}

std::vector<std::string> ArchivesExtractedInto(const RunningEntry& entry, const std::string& dir) {
    std::vector<std::string> kept;
    const UndoScriptCopy* copy = LoadUndoLines(entry);
    if (copy == nullptr) return kept;
    for (std::size_t i = copy->first; i < copy->end; ++i) {
        std::string line = copy->lines[i];
        CollapseBlanks(line);
        std::string archive, destination;
        if (IsCommand(line, 'L') && SplitCommandFields(line, archive, destination) &&
            platform::EqualsNoCase(destination, dir)) {
            kept.push_back(archive);
        }
    }
    return kept;
}
