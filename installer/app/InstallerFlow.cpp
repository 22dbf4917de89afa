#include "installer/app/InstallerFlow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "installer/app/JobRecordSteps.h"
#include "installer/app/PauseGate.h"
#include "installer/engine/ForceTermination.h"
#include "installer/engine/ScriptScan.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/JobRecord.h"
#include "installer/env/MessageBox.h"
#include "installer/env/Messages.h"
#include "installer/env/ProgramOptions.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/StringRoutines.h"
#include "installer/util/ChildProcesses.h"
#include "installer/util/DriveProbe.h"
#include "installer/util/TreeOps.h"
#include "platform/Cp932.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"
#include "platform/Prefix.h"

namespace {

constexpr std::size_t kTitleLineBytes = 40;
constexpr std::size_t kGroupNameBytes = 8;

// The first character of a path names its drive; an empty path has none.
char DriveLetterOf(const std::string& path) { return path.empty() ? '\0' : path[0]; }

int NumberOf(const std::string& digits) { return std::atoi(digits.c_str()); }

// JobState := 0 for a new showing, unless the run has been aborted for good.
void ResetJobStateForShow(JobControl& job) {
    std::uint8_t state = job.JobState.load();
    while (state != kJobAborted && !job.JobState.compare_exchange_weak(state, kJobRunning)) {
    }
}

}  // namespace

InstallerFlow::InstallerFlow(InstallerView& view, WorkRootLock* lock) : view_(view), lock_(lock) {
    UseJobPauseGate();
}

void InstallerFlow::UseJobPauseGate() {
    state_.job.SetCommandGate([this] { return gate_.Pass(state_.job); });
}

InstallerFlow::~InstallerFlow() {
    gate_.Open();
    worker_.Join();
}

void InstallerFlow::ParseCommandLine(const std::vector<std::string>& parameters) {
    const ProgramOptions options = ParseProgramOptions(parameters);
    state_.run.UninstallMode = options.uninstall;
    if (options.hasMediumOption) state_.run.InstallDiskPath = options.mediumDir;
    if (state_.run.InstallDiskPath.empty()) {
        // Started from a medium: the control file beside the program names it.
        std::string dir, name;
        SplitPath(platform::GetModuleFileNameW(), dir, name);
        RemoveTrailingBackslash(dir);
        if (platform::FileExists(dir + ControlFileName)) state_.run.InstallDiskPath = dir;
    }
}

void InstallerFlow::Create(const std::vector<std::string>& parameters) {
    state_.run.InstallDiskPath.clear();
    ParseCommandLine(parameters);
    const int result = LoadInstallEnvironment(state_.env);
    state_.run.HaltAppState = kHaltAppNotRun;
    closeOnShow_ = result != 0;
    if (lock_ != nullptr &&
        lock_->Acquire(state_.env.WorkRoot) == WorkRootLock::Result::HeldByOther) {
        // Another MorvanUP works in the same directories: leave them alone, including
        // at the end, where the clean-up would empty that run's staging directories.
        ShowMessageBox("エラー",
                       "バージョンアップツールは既に起動しています。\r"
                       "終了してから起動し直してください。",
                       MessageButtons::Ok, MessageIcon::Error);
        closeOnShow_ = true;
        cleanupAllowed_ = false;
    }
}

void InstallerFlow::CancelButtonClick() { CloseMain(); }

void InstallerFlow::CloseMain() {
    mainClosed_ = true;
    view_.CloseMain();
}

void InstallerFlow::OnShow() {
    if (mainClosed_) return;
    if (closeOnShow_) {
        CloseMain();
        return;
    }
    if (!interruptedJobChecked_) {
        // Before anything else is offered: a job cut short by a crash or a power cut is
        // rolled back (or, for an uninstall, run to its end) or left for the next start.
        interruptedJobChecked_ = true;
        if (HandleInterruptedJob()) return;
    }
    if (!state_.run.InstallDiskPath.empty()) {
        HyoujiButtonClick();
        ResetJobStateForShow(state_.job);
        return;
    }
    if (!state_.run.UninstallMode) {
        view_.SetMainCaption("Morvan（インストール）");
        view_.SetHyoujiButtonVisible(true);
        if (view_.RunDirSelectDialog()) {
            view_.MakeMainVisible();
            BuildEntryList();
        } else {
            CloseMain();
        }
        ResetJobStateForShow(state_.job);
        return;
    }
    view_.SetMainCaption("Morvan（アンインストール）");
    view_.SetHyoujiButtonVisible(false);
    uninstallChoices_ = UninstallChoices{};
    if (!CollectUninstallChoices(uninstallChoices_)) {
        NotifyNothingToUninstall();
        CloseMain();
        return;
    }
    if (view_.RunVersionDialog(uninstallChoices_.choices, uninstallChoices_.preselected)) {
        view_.MakeMainVisible();
        BuildEntryList();
    } else {
        CloseMain();
    }
    ResetJobStateForShow(state_.job);
}

std::string InstallerFlow::ChoiceText(const VERUP_FILE_REC& media) {
    // An id made of a date YYYYMMDD reads YYYY.MM.DD.
    std::string text = media.RevisionId;
    text.insert(std::min<std::size_t>(6, text.size()), ".");
    text.insert(std::min<std::size_t>(4, text.size()), ".");
    if (media.Version != "0.00") {
        text += "(" + media.Version + ", " + media.Title + ")";
    } else {
        text += "(" + media.Title + ")";
    }
    return text;
}

bool InstallerFlow::CollectUninstallChoices(UninstallChoices& out) {
    out = UninstallChoices{};
    std::vector<platform::FindEntry> entries;
    // No store, or an empty one, leaves the list empty: there is nothing to offer.
    (void)platform::FindFiles(state_.env.VersionDownRoot + "\\*",
                              platform::FindSelection::AllEntries, entries);
    std::string fullVersionId;
    for (const platform::FindEntry& entry : entries) {
        if (!IsRevisionStoreDir(state_.env, entry.name)) continue;
        if (ReadControlFile(state_.run, state_.env.VersionDownRoot + "\\" + entry.name) != 0)
            continue;
        out.groupNames.push_back(state_.run.CurrentMedia.RevisionId);
        out.choices.push_back(ChoiceText(state_.run.CurrentMedia));
        if (state_.run.CurrentMedia.Version != "0.00")
            fullVersionId = state_.run.CurrentMedia.RevisionId;
    }
    if (out.choices.empty()) return false;
    // Both lists are sorted by the id, so the n-th choice belongs to the n-th group.
    std::sort(out.choices.begin(), out.choices.end());
    out.preselected = static_cast<int>(out.choices.size()) - 1;
    std::sort(out.groupNames.begin(), out.groupNames.end());
    if (!fullVersionId.empty()) {
        auto full = std::find(out.groupNames.begin(), out.groupNames.end(), fullVersionId);
        if (full != out.groupNames.end()) *full = "Revision";
    }
    return true;
}

void InstallerFlow::HyoujiButtonClick() {
    if (!IsDriveAvailable(DriveLetterOf(state_.run.InstallDiskPath))) {
        ShowCodeMessage(kCodeNotReady, "", state_.run);
    } else if (!platform::DirectoryExists(state_.run.InstallDiskPath)) {
        ShowCodeMessage(kCodeDirMissing, "", state_.run);
    } else if (ReadControlFile(state_.run, state_.run.InstallDiskPath) == 0) {
        BuildEntryList();
    }
}

void InstallerFlow::BuildEntryList() {
    freshRevision_ = false;
    if (state_.run.UninstallMode) {
        view_.SetMainCaption("Morvan(アンインストール)");
        // The group was offered only because this file read without fault
        // (CollectUninstallChoices); its result adds nothing here.
        (void)ReadControlFile(state_.run,
                              state_.env.VersionDownRoot + "\\" + state_.run.UninstallGroupName);
    }
    const std::string& title = state_.run.CurrentMedia.Title;
    const std::size_t comma = platform::FindCharDbcs(title, ',');
    std::string title1, title2 = title;
    if (comma != std::string::npos) {
        title1 = title.substr(0, comma);
        title2 = title.substr(comma + 1);
    }
    view_.SetHeaderLabels(platform::CutToBytes(title1, kTitleLineBytes),
                          platform::CutToBytes(title2, kTitleLineBytes),
                          state_.run.CurrentMedia.Version != "0.00"
                              ? "Ver " + state_.run.CurrentMedia.VersionText
                              : "",
                          "管理番号[" + state_.run.CurrentMedia.RevisionId + "]");
    if (!state_.run.UninstallMode) {
        // A medium starts a new full-version group unless the kept group of the last
        // full version has the same revision id.
        const std::string mediaRevision = state_.run.CurrentMedia.RevisionId;
        const std::string keptGroup = state_.env.VersionDownRoot + "\\Revision";
        if (platform::FileExists(keptGroup + ControlFileName)) {
            // A kept control file that does not read leaves the medium's id in place:
            // the medium then counts as the same group and nothing kept is replaced.
            (void)ReadControlFile(state_.run, keptGroup);
            freshRevision_ = state_.run.CurrentMedia.RevisionId != mediaRevision;
            // The medium's file read without fault a moment ago (HyoujiButtonClick,
            // DirSelectOk): this only puts its fields back into CurrentMedia.
            (void)ReadControlFile(state_.run, state_.run.InstallDiskPath);
        } else {
            freshRevision_ = true;
        }
    }
    ScanScripts(state_, freshRevision_);
    std::vector<std::string> rows;
    for (int i = 1; i <= state_.table.ScriptEntryCount(); ++i) {
        std::string line;
        if (ScriptEntryLine(state_.table, i, line) != 0) rows.push_back(line);
    }
    view_.SetEntryRows(rows);
    std::vector<std::string> notes;
    std::string text;
    if (platform::FileExists(state_.env.ReadmeDocFile) &&
        platform::ReadFileBytes(state_.env.ReadmeDocFile, text) == 0) {
        notes = platform::SplitLines(text);
    }
    view_.SetNotesLines(notes);
}

void InstallerFlow::OkButtonClick() {
    if (state_.table.ScriptEntryCount() == 0 || jobRunning_ || mainClosed_) return;
    const std::string mediaDir =
        state_.run.UninstallMode ? state_.env.VersionDownRoot + "\\" + state_.run.UninstallGroupName
                                 : state_.run.InstallDiskPath;
    if (!CheckMedia(state_.run, mediaDir)) return;
    std::string detail;
    if (!state_.run.UninstallMode) {
        // The record is written before anything changes. A new full version holds the
        // kept group of the previous one in the record instead of removing it now: it
        // goes when the job has ended, and comes back if the job is rolled back.
        const bool newFullVersion = state_.run.CurrentMedia.Version != "0.00" && freshRevision_;
        if (const int result = BeginInstallJobRecord(state_, newFullVersion, detail); result != 0) {
            ShowCodeMessage(result, detail, state_.run);
            return;
        }
    }
    ScanScripts(state_, false);

    // The worker reads the selection from this snapshot, never from the list itself.
    std::vector<bool> selection = view_.EntryRowSelection();
    if (state_.run.UninstallMode) {
        const int result = BeginUninstallJobRecord(state_, SelectedEntries(selection), detail);
        if (result != 0) {
            ShowCodeMessage(result, detail, state_.run);
            return;
        }
    }
    if (RunJob(std::move(selection), freshRevision_, false) != kJobFinished) {
        // A failed command, a confirmed stop or the progress dialog closed: nothing is
        // recorded, and the job's record stays for the roll-back at the next start;
        // the worker is ended at the clean-up.
        state_.record.CloseJobRecord();
        CloseMain();
        return;
    }
    if (state_.run.UninstallMode) {
        if (FinishJobRecording(RemoveRevision(state_.env, state_.run.CurrentMedia,
                                              state_.run.CurrentMedia.RevisionId, detail),
                               detail)) {
            NotifyUninstallDone();
        }
        CloseMain();
        return;
    }
    FinishInstallJob();
}

std::vector<JobRecordEntry> InstallerFlow::SelectedEntries(
    const std::vector<bool>& selection) const {
    std::vector<JobRecordEntry> entries;
    for (int i : TVerThread::RunOrder(state_.table, selection, state_.run.UninstallMode, false)) {
        entries.push_back({state_.table.Entry(i).MediaNo, state_.table.Entry(i).ScriptNo});
    }
    return entries;
}

std::uint8_t InstallerFlow::RunJob(std::vector<bool> selection, bool freshRevision,
                                   bool everyEntry) {
    ++jobNumber_;
    jobRunning_ = true;
    gate_.Open();
    // Reset before the worker starts: reset after it, it could wipe the count of a
    // command the worker has already run.
    state_.job.ExecutedCommandCount = 0;
    worker_.Start(view_, state_, gate_, jobNumber_, std::move(selection), freshRevision,
                  state_.run.UninstallMode, everyEntry);
    view_.HideMain();
    view_.SetTimerRunning(true);
    for (;;) {
        const std::uint8_t state = state_.job.JobState.load();
        if (state != kJobRunning && state != kJobStopRequested) break;
        view_.RunProgressDialog();
        if (state_.job.JobState.load() == kJobStopRequested) {
            // The stop button has closed the gate: the worker waits at the next command.
            if (AskStop() == IDOK) {
                state_.job.AbortJob();
            } else {
                // Going on: back to running, so that the close box aborts again.
                std::uint8_t expected = kJobStopRequested;
                state_.job.JobState.compare_exchange_strong(expected, kJobRunning);
            }
            gate_.Open();
        }
    }
    gate_.Open();
    view_.SetTimerRunning(false);
    const std::uint8_t state = state_.job.JobState.load();
    if (state == kJobFinished) WaitForWorker();
    jobRunning_ = false;
    return state;
}

bool InstallerFlow::FinishJobRecording(int result, std::string& detail) {
    if (result == 0) result = EndJobRecord(state_, detail);
    if (result == 0) return true;
    // Not done: the message says what could not be written, and the record stays so
    // that the next start offers the roll-back.
    ShowCodeMessage(result, detail, state_.run);
    state_.record.CloseJobRecord();
    return false;
}

void InstallerFlow::FinishInstallJob() {
    std::string detail;
    if (!FinishJobRecording(RecordRevision(state_.env, state_.run.CurrentMedia, detail), detail)) {
        CloseMain();
        return;
    }
    view_.SetProgressBar(0);
    if (state_.run.CurrentMedia.MediaNo == state_.run.CurrentMedia.MediaCount) {
        NotifyInstallDone();
        CloseMain();
        return;
    }
    const int done = NumberOf(state_.run.CurrentMedia.MediaNo);
    if (AskNextMedium(done, NumberOf(state_.run.CurrentMedia.MediaCount)) != IDOK) {
        CloseMain();
        return;
    }
    ShowMainAgain();
    for (;;) {
        if (mainClosed_) return;
        if (NumberOf(state_.run.CurrentMedia.MediaNo) == done + 1) return;  // waits for OK
        const int answer = ShowCodeMessage(kCodeWrongMedium, "", state_.run);
        if (answer == IDABORT) {
            CloseMain();
            return;
        }
        if (answer != IDRETRY) return;  // Ignore: the dialog stays as it is
        view_.HideMain();
        ShowMainAgain();
    }
}

bool InstallerFlow::HandleInterruptedJob() {
    JobRecord record;
    const JobRecordState state = ReadJobRecord(state_.env, record);
    if (state == JobRecordState::None) {
        RemoveEndedJobRecord(state_.env);
        return false;
    }
    // A record that cannot be read whole is still an interrupted job; unless it says
    // otherwise it is taken for an install, and only what it states is put back.
    const bool uninstall = record.mode == JobMode::Uninstall;
    const int answer = uninstall ? AskFinishInterruptedUninstall(record.title)
                                 : AskRollBackInterruptedInstall(record.title);
    if (answer == IDOK) RunInterruptedJob(record);
    CloseMain();
    return true;
}

void InstallerFlow::RunInterruptedJob(const JobRecord& record) {
    const bool uninstall = record.mode == JobMode::Uninstall;
    // Through the uninstall engine, as a version-down of the record's group runs.
    state_.run.UninstallMode = true;
    state_.run.UninstallGroupName = record.group;
    LoadMediaFromRecord(state_.run.CurrentMedia, record);
    if (uninstall && !record.group.empty()) {
        // The group's own control file when it reads; otherwise the record's copy of
        // its fields stands (ReadControlFile changes nothing it cannot read whole).
        ControlFileProblem ignored;
        (void)ReadControlFile(state_.run, state_.env.VersionDownRoot + "\\" + record.group,
                              ignored);
    }
    std::vector<ScriptEntryRef> refs;
    if (!record.group.empty()) {
        // Entries without an uninstall script (an "INST," section) cannot be undone:
        // their changes and their markers stay. Every other entry's script is run.
        for (const JobRecordEntry& entry : RollBackOrder(record)) {
            refs.push_back({entry.mediaNo, entry.scriptNo});
        }
    }
    ScanScriptList(state_, refs);

    std::string detail;
    if (RunJob({}, false, true) != kJobFinished) {
        // The failing command's message has been shown; the record stays, so the next
        // start offers to go on.
        NotifyRollBackFailed();
        return;
    }
    int result = 0;
    if (!uninstall) {
        result = RestoreAfterInstallRollBack(state_, record, detail);
    } else if (!record.revision.empty() && !record.required.empty()) {
        result = RemoveRevision(state_.env, state_.run.CurrentMedia,
                                state_.run.CurrentMedia.RevisionId, detail);
    }
    if (!FinishJobRecording(result, detail)) {
        NotifyRollBackFailed();
        return;
    }
    if (uninstall) {
        NotifyUninstallDone();
    } else {
        NotifyRollBackDone();
    }
}

void InstallerFlow::ShowMainAgain() {
    view_.MakeMainVisible();
    OnShow();
}

void InstallerFlow::Timer1Timer() {
    const std::uint8_t state = state_.job.JobState.load();
    if (state == kJobAborted) {
        view_.CloseProgressDialog();
        CloseMain();
    } else if (state == kJobFinished) {
        view_.CloseProgressDialog();
    }
    const std::int32_t total = state_.table.TotalCommandCount.load();
    if (total != 0) {
        // "@" lines are executed but not counted by the scan: the bar stops at 100.
        const double percent = std::round(state_.job.ExecutedCommandCount.load() * 100.0 / total);
        view_.SetProgressBar(static_cast<int>(std::clamp(percent, 0.0, 100.0)));
    }
}

void InstallerFlow::StopButtonClick() {
    std::uint8_t expected = kJobRunning;
    if (state_.job.JobState.compare_exchange_strong(expected, kJobStopRequested)) {
        // The worker pauses at its next command while the user is asked.
        gate_.Close();
    }
    view_.CloseProgressDialog();
}

void InstallerFlow::ProgressClosed() {
    if (!jobRunning_) return;
    std::uint8_t state = state_.job.JobState.load();
    while (state != kJobFinished && state != kJobStopRequested && state != kJobAborted &&
           !state_.job.JobState.compare_exchange_weak(state, kJobAborted)) {
    }
}

void InstallerFlow::WorkerClosedProgress(int jobNumber) {
    if (jobRunning_ && jobNumber == jobNumber_) view_.CloseProgressDialog();
}

void InstallerFlow::WaitForWorker() {
    if (!worker_.Running()) return;
    gate_.Open();
    view_.WaitUntil([this] { return worker_.Finished(); });
    worker_.Join();
}

void InstallerFlow::Cleanup() {
    if (cleanedUp_) return;
    cleanedUp_ = true;
    // A stopped or aborted job's worker is let through the gate (it skips what is
    // left) and ended before anything is removed under its feet.
    WaitForWorker();
    jobRunning_ = false;
    if (!cleanupAllowed_) return;
    if (platform::DirectoryExists(state_.env.BackupDir)) {
        // Leaves the clean-up's folder current as before; the clearing names its folder in full.
        (void)platform::SetCurrentDirectoryW(state_.env.BackupDir);
        // Program end: nothing is left to report to, and the next job's first command
        // clears both staging folders again before it stages anything.
        (void)ClearDirectory(state_.env.BackupDir + "\\");
    }
    // As above: a staging folder that stays is emptied before the next job uses it.
    if (platform::DirectoryExists(state_.env.ExtractDir)) (void)RemoveTree(state_.env.ExtractDir);
    // Work files of the job: one that is already gone is the state wanted.
    (void)platform::DeleteFileW(state_.env.WorkListFile);
    (void)platform::DeleteFileW(state_.env.WorkScratchFile);
    (void)platform::DeleteFileW(state_.env.ReadmeDocFile);
    RunPauserIfHalted(state_.env, state_.run);
}

std::string InstallerFlow::DirSelectShown() {
    state_.run.InstallDiskPath = "A:\\";
    return state_.run.InstallDiskPath;
}

DialogOutcome InstallerFlow::DirSelectOk(const std::string& editText) {
    state_.run.InstallDiskPath = editText;
    RemoveTrailingBackslash(state_.run.InstallDiskPath);
    if (!IsDriveAvailable(DriveLetterOf(state_.run.InstallDiskPath)))
        return DialogOutcome::StayOpen;
    if (!platform::DirectoryExists(state_.run.InstallDiskPath)) {
        ShowCodeMessage(kCodeDirMissing, "", state_.run);
        return DialogOutcome::StayOpen;
    }
    // A missing control file has shown code -4; a malformed one shows nothing.
    if (ReadControlFile(state_.run, state_.run.InstallDiskPath) != 0)
        return DialogOutcome::StayOpen;
    if (!CheckMedia(state_.run, state_.run.InstallDiskPath)) return DialogOutcome::Cancel;
    return DialogOutcome::Ok;
}

std::string InstallerFlow::BrowseStartDir(const std::string& editText) {
    return platform::DirectoryExists(editText) ? editText : std::string("C:\\");
}

bool InstallerFlow::DriveChangeAllowed(char letter) {
    if (IsDriveAvailable(letter)) return true;
    ShowCodeMessage(kCodeNotReady, "");
    return false;
}

DialogOutcome InstallerFlow::DirViewOk(const std::string& directory) {
    state_.run.InstallDiskPath = directory;
    if (!IsDriveAvailable(DriveLetterOf(directory))) return DialogOutcome::StayOpen;
    if (!platform::DirectoryExists(directory)) {
        ShowCodeMessage(kCodeDirMissing, "", state_.run);
        return DialogOutcome::StayOpen;
    }
    return DialogOutcome::Ok;
}

DialogOutcome InstallerFlow::VerSelectOk(int index) {
    const int count = static_cast<int>(uninstallChoices_.groupNames.size());
    if (index < 0 || index >= count) return DialogOutcome::StayOpen;
    DialogOutcome outcome = DialogOutcome::Ok;
    if (index != count - 1) {
        // Not the newest group: warn, again as long as the answer is Retry.
        int answer;
        do {
            answer = ShowCodeMessage(kCodeUninstallNewestFirst, "", state_.run);
        } while (answer == IDRETRY);
        if (answer == IDABORT) outcome = DialogOutcome::Cancel;
    }
    state_.run.UninstallGroupName =
        platform::CutToBytes(uninstallChoices_.groupNames[index], kGroupNameBytes);
    return outcome;
}
