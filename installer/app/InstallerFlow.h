// The job control of MorvanUP, apart from any widget: program start and command line,
// the show logic of the main dialog, the entry list, the job with its progress loop,
// stop and multi-media steps, the job record with the roll-back of an interrupted
// job, the recording of version and revision, the uninstall
// choices, the OK logic of the small dialogs, and the clean-up at program end.
//
// The dialogs call the handlers below (named after their events) and show what the
// flow hands them through InstallerView. Every handler runs on the UI thread; the job
// itself runs on the worker TVerThread. Messages go through the message sink.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "installer/app/InstallerView.h"
#include "installer/app/PauseGate.h"
#include "installer/app/VerThread.h"
#include "installer/engine/InstallerState.h"
#include "installer/env/JobRecord.h"
#include "installer/env/VersionRecords.h"

// How a dialog's OK logic ends: the dialog stays open, or closes with OK / Cancel.
enum class DialogOutcome { StayOpen, Ok, Cancel };

// The choices of the version dialog of an uninstall run.
struct UninstallChoices {
    std::vector<std::string> choices;     // sorted choice texts
    std::vector<std::string> groupNames;  // directory names under VersionDownRoot, index for index
    int preselected = -1;                 // the last (newest) choice
};

class InstallerFlow {
public:
    // `lock` may be null (no hold on the work directories is taken). The flow owns the
    // program's state (State()) and its pause gate, which it installs as the command
    // gate of the state's job control.
    InstallerFlow(InstallerView& view, WorkRootLock* lock);
    ~InstallerFlow();
    InstallerFlow(const InstallerFlow&) = delete;
    InstallerFlow& operator=(const InstallerFlow&) = delete;

    // Creation of the main dialog: clears InstallDiskPath, reads the command line
    // (`parameters` without the program's own name), loads the environment, takes the
    // hold on the work directories. A failure makes the dialog close when it is shown.
    void Create(const std::vector<std::string>& parameters);

    // The show event of the main dialog (at start and at every later showing).
    void OnShow();
    void HyoujiButtonClick();
    void OkButtonClick();
    // CancelButton, Escape and the close box of the main dialog: the program ends.
    void CancelButtonClick();
    void Timer1Timer();
    // The progress dialog's stop button, and its closing by any means.
    void StopButtonClick();
    void ProgressClosed();
    // A close request of job `jobNumber` from the worker (see InstallerView).
    void WorkerClosedProgress(int jobNumber);
    // Destruction of the main dialog: ends the worker, then empties the work directories
    // and runs PAUSER when HALTAPP ran. Runs once.
    void Cleanup();

    // The install-disk dialog: its show (returns the edit text) and its OK logic; the
    // start directory of the browser for the current edit text.
    std::string DirSelectShown();
    DialogOutcome DirSelectOk(const std::string& editText);
    static std::string BrowseStartDir(const std::string& editText);
    // The directory browser: whether the drive box may switch to `letter` (shows code -1
    // when not), and its OK logic for the list's directory.
    static bool DriveChangeAllowed(char letter);
    DialogOutcome DirViewOk(const std::string& directory);
    // The version dialog's OK logic for the choice at `index` (-1: none selected).
    DialogOutcome VerSelectOk(int index);

    // Command line: sets InstallDiskPath and UninstallMode.
    void ParseCommandLine(const std::vector<std::string>& parameters);
    // The groups of the store under VersionDownRoot that can be uninstalled; false when
    // there are none. Reads each group's control file into CurrentMedia.
    bool CollectUninstallChoices(UninstallChoices& out);
    // "YYYY.MM.DD(version, title)" for the record `media`.
    static std::string ChoiceText(const VERUP_FILE_REC& media);

    // The program's state: the environment, the run, the script table and the job. The
    // dialogs' timer reads the job's progress through it.
    InstallerState& State() { return state_; }
    const InstallerState& State() const { return state_; }
    // The gate the worker passes between commands and entries; the stop prompt closes it.
    PauseGate& JobPauseGate() { return gate_; }
    // Installs the pause gate as the command gate of State().job (as the flow starts).
    void UseJobPauseGate();

    bool CloseOnShow() const { return closeOnShow_; }
    bool FreshRevision() const { return freshRevision_; }
    bool MainClosed() const { return mainClosed_; }
    int JobNumber() const { return jobNumber_; }

private:
    void BuildEntryList();
    void ShowMainAgain();
    void CloseMain();
    void WaitForWorker();
    void FinishInstallJob();
    // The worker and the progress loop of one job (an install, an uninstall, or the
    // roll-back of an interrupted job): returns the final JobState.
    std::uint8_t RunJob(std::vector<bool> selection, bool freshRevision, bool everyEntry);
    // The end of a job whose last step gave `result`: the record is cleared when it is
    // 0; otherwise (or when the record cannot be cleared) the message is shown and the
    // record stays. True when the job counts as done.
    bool FinishJobRecording(int result, std::string& detail);
    // The selected rows as the entries they stand for, in run order.
    std::vector<JobRecordEntry> SelectedEntries(const std::vector<bool>& selection) const;
    // At start: an interrupted job's prompt and, on OK, its roll-back or completion.
    // True when a record was found (the program then ends).
    bool HandleInterruptedJob();
    void RunInterruptedJob(const JobRecord& record);

    InstallerView& view_;
    WorkRootLock* lock_;
    // Declared before the worker: the worker is joined before they go.
    InstallerState state_;
    PauseGate gate_;
    TVerThread worker_;
    bool closeOnShow_ = false;
    bool interruptedJobChecked_ = false;
    bool freshRevision_ = false;
    bool mainClosed_ = false;
    bool cleanupAllowed_ = true;
    bool cleanedUp_ = false;
    int jobNumber_ = 0;
    bool jobRunning_ = false;
    UninstallChoices uninstallChoices_;
};
