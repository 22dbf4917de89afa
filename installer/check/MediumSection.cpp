// The medium itself: its drive and directory as the installer checks them before it
// reads anything, then every field of its control file.
#include "installer/check/CheckReport.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/VersionRecords.h"
#include "installer/util/DriveProbe.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace {

// Title labels show at most this many bytes.
const std::size_t kTitleLabelBytes = 40;

void PrintTitleLine(const std::string& label, const std::string& text) {
    PrintLine(label, text);
    if (text.size() > kTitleLabelBytes) {
        PrintNote("(the installer shows: " + platform::CutToBytes(text, kTitleLabelBytes) + ")");
    }
}

bool Unusable(CheckRun& run, int code) {
    ShowCodeMessage(code, "", run.state.run);
    PrintLine("Verdict", "UNUSABLE");
    PrintMessages(run, "Message");
    run.verdict = kCheckUnusable;
    return false;
}

}  // namespace

bool ReportMedium(CheckRun& run) {
    const std::string& dir = run.mediumDir;
    if (dir.empty() || !IsDriveAvailable(dir[0])) return Unusable(run, kCodeNotReady);
    if (!platform::DirectoryExists(dir)) return Unusable(run, kCodeDirMissing);

    PrintLine("Control file", dir + ControlFileName);
    ControlFileProblem problem;
    const int result = ReadControlFile(run.state.run, dir, problem);
    if (result == kCodeNoControlFile) {
        PrintLine("Verdict", "UNUSABLE: " + problem.reason);
        PrintMessages(run, "Message");
        run.verdict = kCheckUnusable;
        return false;
    }
    if (result != 0) {
        const std::string where =
            problem.line > 0 ? "line " + std::to_string(problem.line) + ": " : "";
        PrintLine("Verdict", "UNUSABLE: malformed control file, " + where + problem.reason);
        PrintNote("The installer lists no entries for this medium (code -5, not shown:");
        PrintNote(CodeMessageText(kCodeBadControlFile, "", run.state.run) + ")");
        run.verdict = kCheckUnusable;
        return false;
    }
    run.mediumUsable = true;

    const VERUP_FILE_REC& media = run.state.run.CurrentMedia;
    const std::size_t comma = platform::FindCharDbcs(media.Title, ',');
    PrintTitleLine("Title line 1", comma == std::string::npos ? "" : media.Title.substr(0, comma));
    PrintTitleLine("Title line 2",
                   comma == std::string::npos ? media.Title : media.Title.substr(comma + 1));
    PrintLine("Version", media.Version);
    PrintLine("VersionText", media.VersionText);
    PrintLine("RevisionId", media.RevisionId);
    PrintLine("RevisionName", media.RevisionName);
    PrintLine("RequiredVersion",
              media.RequiredVersion + (media.RequiredVersion == "0.00" ? " (no condition)" : ""));
    PrintLine("MediaNo / MediaCount", media.MediaNo + " / " + media.MediaCount);
    PrintLine("DownVersion", media.DownVersion.empty() ? "(none)" : media.DownVersion);
    return true;
}
