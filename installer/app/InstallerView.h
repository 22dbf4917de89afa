// What the job control of MorvanUP needs from its dialogs. The Qt dialogs implement it
// for the program; the tests implement it without widgets. Texts are code page 932.
//
// Every method is called on the UI thread, except the Post* methods, which the worker
// calls: they must not block and must reach the widgets through the UI thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

class InstallerView {
public:
    virtual ~InstallerView() = default;

    // The main dialog.
    virtual void SetMainCaption(const std::string& caption) = 0;
    virtual void SetHyoujiButtonVisible(bool visible) = 0;
    virtual void SetHeaderLabels(const std::string& title1, const std::string& title2,
                                 const std::string& verno, const std::string& kanri) = 0;
    // Replaces the rows of the entry list and selects every row.
    virtual void SetEntryRows(const std::vector<std::string>& rows) = 0;
    // Which rows are selected now, row for row.
    virtual std::vector<bool> EntryRowSelection() = 0;
    // Replaces the text of the notes dialog.
    virtual void SetNotesLines(const std::vector<std::string>& lines) = 0;
    // Makes the main dialog visible (the show logic is the flow's, not the view's).
    virtual void MakeMainVisible() = 0;
    virtual void HideMain() = 0;
    // Closes the main dialog: the program ends once control is back in its main loop.
    virtual void CloseMain() = 0;

    // Modal dialogs; true when closed with OK. Their OK logic calls back into the flow.
    virtual bool RunDirSelectDialog() = 0;
    virtual bool RunVersionDialog(const std::vector<std::string>& choices, int preselected) = 0;

    // The progress dialog and the timer that polls the job.
    virtual void SetTimerRunning(bool running) = 0;
    // Shows the progress dialog modally; returns when it has been closed.
    virtual void RunProgressDialog() = 0;
    // Closes the progress dialog when it is open (UI thread).
    virtual void CloseProgressDialog() = 0;
    virtual void SetProgressBar(int percent) = 0;
    // Keeps the dialogs alive (boxes raised by the worker included) until `done` holds.
    virtual void WaitUntil(const std::function<bool()>& done) = 0;

    // From the worker thread.
    virtual void PostProgressCaption(const std::string& caption) = 0;
    virtual void PostInstLabel(const std::string& text) = 0;
    virtual void PostTitleLabel(const std::string& text) = 0;
    // Asks the UI thread to close the progress dialog of job `jobNumber` (a request
    // that arrives after that job is over is dropped by the flow).
    virtual void PostCloseProgressDialog(int jobNumber) = 0;
};

// The exclusive hold on the work directories of one run (WorkRoot): a second MorvanUP
// must not empty the staging and backup directories of a run in progress.
class WorkRootLock {
public:
    enum class Result { Taken, HeldByOther, Unavailable };
    virtual ~WorkRootLock() = default;
    // `workRoot` is a Windows path. Unavailable: no lock could be made there (e.g. the
    // directory does not exist); the run then goes on without one.
    virtual Result Acquire(const std::string& workRoot) = 0;
};
