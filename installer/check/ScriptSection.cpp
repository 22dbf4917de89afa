// The script scan of a medium, as the main dialog lists it; and (option /U) the kept
// groups of the version-down store with the entries an uninstall run would offer.
//
// The scan needs the installer's environment (the store for the installed markers,
// the settings that scripts name): it is loaded as the installer's start-up loads it,
// which creates the work directories that start-up creates. The README document is
// written to a temporary file, so the installer's own copy is left as it was.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "installer/check/CheckReport.h"
#include "installer/engine/ScriptLines.h"
#include "installer/engine/ScriptScan.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/VersionRecords.h"
#include "platform/Cp932.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace {

// A README document outside the prefix's work folders, removed when the report ends.
class TemporaryReadme {
public:
    explicit TemporaryReadme(InstallEnvironment& env) : env_(env) {
        std::random_device random;
        host_ = (std::filesystem::temp_directory_path() /
                 ("morvanup-readme-" + std::to_string(random()) + ".DOC"))
                    .string();
        saved_ = env_.ReadmeDocFile;
        env_.ReadmeDocFile = platform::ToWindowsPath(host_);
    }
    ~TemporaryReadme() {
        env_.ReadmeDocFile = saved_;
        std::error_code ignored;
        std::filesystem::remove(host_, ignored);
    }

private:
    InstallEnvironment& env_;
    std::string host_;
    std::string saved_;
};

std::string FileName(const std::string& path) {
    std::size_t cut = platform::FindLastPathDelimiter(path);
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string WhyNotListed(const VERUP_FILE_REC& media, ScriptScanNote note) {
    switch (note) {
        case ScriptScanNote::HeaderMismatch:
            return "not listed: its first line is not the header \"" + ScriptHeaderLine(media) +
                   "\"";
        case ScriptScanNote::NoCountedCommands:
            return "not listed: no counted command (only @HALTAPP, unknown letters, blank lines, "
                   "false IF blocks, or no section)";
        case ScriptScanNote::Unreadable:
            return "not listed: the file cannot be read";
        case ScriptScanNote::Counted:
            break;
    }
    return "not listed";
}

// The rows and notes of the last scan.
void PrintEntries(const InstallerState& state, const std::string& labelPrefix) {
    const ScanReport& report = state.scan;
    for (std::size_t i = 0; i < report.scripts.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const ScannedScript& script = report.scripts[i];
        const std::string& media = script.entry.MediaNo;
        std::string label = labelPrefix + (media.empty() ? "" : media + "\\") + FileName(script.path);
        if (!state.table.HasEntry(index)) {
            // The scan stopped: the table is empty, the report still knows the entry.
            const bool last = i + 1 == report.scripts.size();
            PrintLine(label, "not offered, the scan " + std::string(last ? "stopped in this script" : "stopped later") +
                                 " (" + script.entry.Title + ", " +
                                 std::to_string(script.entry.CommandCount) + " command(s) before)");
            continue;
        }
        std::string row;
        const int count = ScriptEntryLine(state.table, index, row);
        if (count != 0) {
            PrintLine(label, "[" + row + "]  " + std::to_string(count) + " command(s)");
        } else {
            PrintLine(label, WhyNotListed(state.run.CurrentMedia, script.note));
        }
    }
    for (const ScanProblem& problem : report.problems) {
        PrintLine("Problem", FileName(problem.path) + " line " + std::to_string(problem.lineNumber) +
                                 ": " + problem.line);
        PrintNote(CodeMessageText(problem.code, problem.line, state.run));
    }
    if (report.tableFull) {
        PrintLine("Problem", "more scripts than the " + std::to_string(kMaxScriptEntries) +
                                 " entries of the table: later files are not offered");
    }
}

}  // namespace

void LoadEnvironmentQuietly(CheckRun& run) {
    // A failure has been reported by the environment section with its own messages.
    (void)LoadInstallEnvironment(run.state.env);
    run.messages->Take();  // the environment section has reported these already
}

bool ReportScriptScan(CheckRun& run) {
    if (!run.mediumUsable) return true;
    LoadEnvironmentQuietly(run);
    run.state.run.InstallDiskPath = run.mediumDir;
    run.state.run.UninstallMode = false;
    TemporaryReadme readme(run.state.env);

    const int found = ScanScripts(run.state, false);
    const ScanReport& report = run.state.scan;
    PrintLine("Scripts", std::to_string(report.scripts.size()) + " found, " +
                             std::to_string(run.state.table.TotalCommandCount.load()) +
                             " counted command(s)");
    PrintEntries(run.state, "  ");
    if (report.stoppedOnWildcard) {
        PrintLine("Scan verdict", "UNUSABLE: the scan stopped, the installer lists no entry");
        run.verdict = kCheckUnusable;
    } else if (found == 0) {
        PrintLine("Scan verdict", "no script: the installer lists no entry");
    }
    PrintMessages(run, "Scan message");

    std::string document;
    // A document that cannot be read is shown as empty.
    (void)platform::ReadFileBytes(run.state.env.ReadmeDocFile, document);
    std::vector<std::string> lines = platform::SplitLines(document);
    PrintLine("README document", lines.empty() ? "(empty)" : std::to_string(lines.size()) + " line(s)");
    for (const std::string& line : lines) PrintNote("| " + line);
    return true;
}

int ReportKeptGroups(CheckRun& run) {
    LoadEnvironmentQuietly(run);
    run.state.run.UninstallMode = true;
    TemporaryReadme readme(run.state.env);
    PrintLine("Store", run.state.env.VersionDownRoot);

    std::vector<platform::FindEntry> entries;
    // No store leaves the list empty; the count of groups below says so.
    (void)platform::FindFiles(run.state.env.VersionDownRoot + "\\*",
                              platform::FindSelection::AllEntries, entries);
    const bool interrupted = ReportInterruptedJob(run) && run.interruptedJob;
    int groups = 0;
    for (const platform::FindEntry& entry : entries) {
        if ((entry.attributes & platform::kAttrDirectory) == 0 ||
            !IsRevisionStoreDir(run.state.env, entry.name))
            continue;
        ++groups;
        PrintLine("Group", entry.name);
        run.state.run.CurrentMedia.DownVersion
            .clear();  // a 4-line file must not show another group's
        if (ReadControlFile(run.state.run, run.state.env.VersionDownRoot + "\\" + entry.name) !=
            0) {
            PrintNote("no usable control file: the installer does not offer this group");
            continue;
        }
        PrintNote("revision " + run.state.run.CurrentMedia.RevisionId + ", version " +
                  run.state.run.CurrentMedia.VersionText + ", version before it: " +
                  (run.state.run.CurrentMedia.DownVersion.empty()
                       ? std::string("(none)")
                       : run.state.run.CurrentMedia.DownVersion));
        run.state.run.UninstallGroupName = entry.name;
        // The count adds nothing: the entries are printed from the table the scan filled.
        (void)ScanScripts(run.state, false);
        PrintEntries(run.state, "  ");
        PrintMessages(run, "Scan message");
    }
    if (groups == 0) PrintLine("Groups", "none: the installer would say there is nothing to uninstall");
    if (groups == 0) return kCheckUnusable;
    // The installer first deals with the interrupted job and offers no group then.
    return interrupted ? kCheckNoFit : kCheckFits;
}
