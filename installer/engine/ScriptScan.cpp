#include "installer/engine/ScriptScan.h"

#include <cstdint>
#include <limits>

#include "installer/engine/ScriptGrammar.h"
#include "installer/engine/ScriptLines.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/LineFiles.h"
#include "installer/env/Messages.h"
#include "installer/env/ScriptTable.h"
#include "installer/util/PatternFiles.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace {

// Where a script is read from and where its entry's fields go.
struct Candidate {
    std::string path;
    std::string scriptNo;
    std::string mediaNo;
};

enum class FileOutcome { Done, StopScan };

// The title of a section line: the text after its first ",", or the whole line,
// at most 40 bytes and never ending inside a double-byte character.
std::string SectionTitle(const std::string& written) {
    std::size_t comma = platform::FindCharDbcs(written, ',');
    std::string title = comma == std::string::npos ? written : written.substr(comma + 1);
    return platform::CutToBytes(title, 40);
}

void CountCommand(ScriptEntry& entry) {
    if (entry.CommandCount < std::numeric_limits<std::uint16_t>::max()) ++entry.CommandCount;
}

// Reads one script into `entry` under the scan's line rules.
FileOutcome ScanOneScript(InstallerState& state, const Candidate& candidate, ScriptEntry& entry,
                          ScannedScript& note, std::string& readme) {
    std::vector<std::string> lines;
    if (!ReadLineFile(candidate.path, lines)) {
        note.note = ScriptScanNote::Unreadable;
        return FileOutcome::Done;
    }
    ScriptGrammar grammar(ScriptHeaderLine(state.run.CurrentMedia), state.run.UninstallMode,
                          ReadmeOpening::ReadmeLine);
    note.note = ScriptScanNote::HeaderMismatch;

    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& raw = lines[i];
        if (IsSkippedLine(raw)) continue;
        std::string written = ExpandScriptLine(raw);
        std::string line = platform::UpperCase(written);

        // Counts a command line, and notes the problem of a wildcard archive name.
        auto CheckCommandLine = [&](const std::string& command) {
            int check = CheckScriptCommand(command);
            if (check == 0) CountCommand(entry);
            if (check == kCodeWildcardArchive) {
                state.scan.problems.push_back(
                    {check, candidate.path, static_cast<int>(i) + 1, written});
            }
            return check;
        };
        const ScriptLineKind kind = grammar.Read(line);
        if (kind == ScriptLineKind::WrongHeader) break;
        switch (kind) {
            case ScriptLineKind::Header:
                note.note = ScriptScanNote::NoCountedCommands;
                break;
            case ScriptLineKind::SectionStart:
                if (grammar.Section() == ScriptSection::Uninstallable) {
                    entry.Status = kScriptUninstallable;
                }
                entry.Title = SectionTitle(written);
                break;
            case ScriptLineKind::Command:
                // A wildcard archive inside a section stops the whole scan.
                if (CheckCommandLine(line) == kCodeWildcardArchive) return FileOutcome::StopScan;
                break;
            case ScriptLineKind::BlockCommand:
                // Inside a true IF block the line is only left uncounted.
                CheckCommandLine(line);
                break;
            case ScriptLineKind::ReadmeText:
                if (line.empty() || line[0] != 'R') {
                    readme += written;
                    readme += "\r\n";
                }
                break;
            default:
                break;
        }
    }
    if (entry.CommandCount > 0) note.note = ScriptScanNote::Counted;
    return FileOutcome::Done;
}

// The candidates in probing order, found lazily so that a full table stops probing.
class CandidateProbe {
public:
    CandidateProbe(const InstallEnvironment& env, const InstallRun& run) : env_(env), run_(run) {}
    bool Next(Candidate& out) {
        while (media_ < 100) {
            if (run_.UninstallMode && script_ == 0 && !mediaChecked_) {
                // A whole media directory that is missing spares its 100 probes.
                mediaChecked_ = true;
                if (!platform::DirectoryExists(UninstallMediaDir(env_, run_, TwoDigitNumber(media_)))) {
                    AdvanceMedia();
                    continue;
                }
            }
            int mm = media_;
            int nn = script_;
            if (++script_ == 100) AdvanceMedia();
            Candidate c;
            c.scriptNo = TwoDigitNumber(nn);
            if (run_.UninstallMode) {
                c.mediaNo = TwoDigitNumber(mm);
                c.path = UninstallScriptPath(env_, run_, c.mediaNo, c.scriptNo);
            } else {
                c.path = InstallScriptPath(run_, c.scriptNo);
            }
            if (platform::FileExists(c.path)) {
                out = c;
                return true;
            }
        }
        return false;
    }

private:
    void AdvanceMedia() {
        script_ = 0;
        mediaChecked_ = false;
        // Install mode reads one directory: a single pass over the script numbers.
        media_ = run_.UninstallMode ? media_ + 1 : 100;
    }

    const InstallEnvironment& env_;
    const InstallRun& run_;
    int media_ = run_.UninstallMode ? 1 : 0;
    int script_ = 0;
    bool mediaChecked_ = false;
};

}  // namespace


int CheckScriptCommand(const std::string& line) {
    if (line.empty()) return 1;
    switch (line[0]) {
        case 'L':
        case 'Z':
            if (HasWildcard(line)) {
                ShowCodeMessage(kCodeWildcardArchive, line);
                return kCodeWildcardArchive;
            }
            return 0;
        case 'C':
        case 'D':
        case 'A':
        case 'P':
        case 'X':
        case 'R':
            return 0;
        default:
            return 1;
    }
}

namespace {

// The scan proper over the candidates a probe gives, in its order.
template <typename Probe>
int ScanCandidates(InstallerState& state, Probe& probe, bool freshInstall) {
    state.scan = ScanReport{};
    state.table.Clear();
    std::string readme;
    std::int32_t total = 0;
    int filled = 0;
    bool stopped = false;

    Candidate candidate;
    while (probe.Next(candidate)) {
        if (filled == kMaxScriptEntries) {
            state.scan.tableFull = true;
            break;
        }
        ScriptEntry entry;
        entry.ScriptNo = candidate.scriptNo;
        if (state.run.UninstallMode) entry.MediaNo = candidate.mediaNo;
        ScannedScript note;
        note.path = candidate.path;
        FileOutcome outcome = ScanOneScript(state, candidate, entry, note, readme);
        ++filled;
        if (outcome == FileOutcome::StopScan) {
            note.entry = entry;
            state.scan.scripts.push_back(note);
            stopped = true;
            break;
        }
        total += entry.CommandCount;
        if (!state.run.UninstallMode && !freshInstall &&
            platform::FileExists(InstalledMarkerPath(state.env, state.run, entry.ScriptNo))) {
            entry.Status = kScriptInstalled;
        }
        // Fewer than kMaxScriptEntries were filled before this one: the table has room.
        state.table.Add(entry);
        note.entry = entry;
        state.scan.scripts.push_back(note);
    }

    // The README document is informative; a missing one reads as empty.
    (void)platform::WriteFileBytes(state.env.ReadmeDocFile, readme);
    if (stopped) {
        state.scan.stoppedOnWildcard = true;
        state.table.Clear();
        return 0;
    }
    state.table.TotalCommandCount.store(total);
    return filled;
}

// The kept scripts of a given list of entries of UninstallGroupName, in list order.
class ListProbe {
public:
    ListProbe(const InstallEnvironment& env, const InstallRun& run,
              const std::vector<ScriptEntryRef>& entries)
        : env_(env), run_(run), entries_(entries) {}
    bool Next(Candidate& out) {
        while (next_ < entries_.size()) {
            const ScriptEntryRef& ref = entries_[next_++];
            Candidate c;
            c.mediaNo = ref.mediaNo;
            c.scriptNo = ref.scriptNo;
            c.path = UninstallScriptPath(env_, run_, c.mediaNo, c.scriptNo);
            if (platform::FileExists(c.path)) {
                out = c;
                return true;
            }
        }
        return false;
    }

private:
    const InstallEnvironment& env_;
    const InstallRun& run_;
    const std::vector<ScriptEntryRef>& entries_;
    std::size_t next_ = 0;
};

}  // namespace

int ScanScripts(InstallerState& state, bool freshInstall) {
    CandidateProbe probe(state.env, state.run);
    return ScanCandidates(state, probe, freshInstall);
}

int ScanScriptList(InstallerState& state, const std::vector<ScriptEntryRef>& entries) {
    ListProbe probe(state.env, state.run, entries);
    return ScanCandidates(state, probe, false);
}
