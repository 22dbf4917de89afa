// Shared by the app tests: media written into a test prefix, a view without widgets
// that answers like a person would, and a gate that holds the worker at a command.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "installer/app/InstallerFlow.h"
#include "installer/app/InstallerView.h"
#include "installer/engine/InstallerState.h"
#include "installer/testsupport/ScriptedMessages.h"


// Writes a file (bytes as given; the test sources are compiled to code page 932).
void WriteHostFile(const std::string& hostPath, const std::string& bytes);
std::string ReadHostFile(const std::string& hostPath);
// Lines joined with CR LF, one after the last.
std::string CrLf(const std::vector<std::string>& lines);

// A medium in `hostDir`: control file for version `version`, revision `revision`, medium
// `no` of `count`, required version 2.00, and the scripts INST00.DAT, INST01.DAT, ...
// Script `i` is an "UNINST," entry titled `titles[i]` that copies DATA\Fi.TXT to
// C:\MORVAN\Fi_<no>.TXT (<no> the medium number) `copies[i]` times (default 1).
void WriteSampleMedium(const std::string& hostDir, int no, int count,
                       const std::vector<std::string>& titles,
                       const std::string& revision = "20240115",
                       const std::vector<int>& copies = {},
                       const std::string& version = "2.10");

// An InstallerView without widgets. The progress dialog "runs" by calling the flow's
// timer until something closes it; the other dialogs answer from the fields below.
class FakeView : public InstallerView {
public:
    InstallerFlow* flow = nullptr;

    // What the flow showed.
    std::string caption;
    bool hyoujiVisible = true;
    std::string title1, title2, verno, kanri;
    std::vector<std::string> rows;
    std::vector<bool> selection;
    std::vector<std::string> notes;
    std::vector<std::string> versionChoices;
    bool mainVisible = true;
    bool mainClosed = false;
    int progressRuns = 0;
    std::mutex textMutex;
    std::string progressCaption, instLabel;
    std::vector<std::string> progressTitles;

    // How the dialogs answer.
    std::string dirSelectText;                  // the install-disk dialog's edit text
    int versionIndex = -1;                      // -1: the preselected choice
    std::function<void(int run)> onProgress;    // called when the progress dialog opens
    std::function<void(int showing)> onMakeVisible;  // before each MakeMainVisible

    void SetMainCaption(const std::string& text) override { caption = text; }
    void SetHyoujiButtonVisible(bool visible) override { hyoujiVisible = visible; }
    void SetHeaderLabels(const std::string& t1, const std::string& t2, const std::string& v,
                         const std::string& k) override;
    void SetEntryRows(const std::vector<std::string>& newRows) override;
    std::vector<bool> EntryRowSelection() override { return selection; }
    void SetNotesLines(const std::vector<std::string>& lines) override { notes = lines; }
    void MakeMainVisible() override;
    void HideMain() override { mainVisible = false; }
    void CloseMain() override;
    bool RunDirSelectDialog() override;
    bool RunVersionDialog(const std::vector<std::string>& choices, int preselected) override;
    void SetTimerRunning(bool) override {}
    void RunProgressDialog() override;
    void CloseProgressDialog() override;
    void SetProgressBar(int) override {}
    void WaitUntil(const std::function<bool()>& done) override;
    void PostProgressCaption(const std::string& text) override;
    void PostInstLabel(const std::string& text) override;
    void PostTitleLabel(const std::string& text) override;
    void PostCloseProgressDialog(int jobNumber) override { postedClose = jobNumber; }

private:
    bool progressOpen_ = false;
    int showings_ = 0;
    std::atomic<int> postedClose{-1};
};

// Answers the stop prompt with `answer` after checking that the worker stands still
// while the prompt is open; every other box goes to the scripted answers.
class StopPromptAnswer : public ScriptedMessages {
public:
    // `job`: the job whose worker must stand still.
    StopPromptAnswer(const JobControl& job, int answer) : job_(job), answer_(answer) {}
    int ShowMessage(const std::string& caption, const std::string& text, MessageButtons buttons,
                    MessageIcon icon) override {
        if (caption == "中止") {
            const int before = job_.ExecutedCommandCount.load();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            workerStoodStill = job_.ExecutedCommandCount.load() == before;
            QueueAnswer(answer_);
        }
        return ScriptedMessages::ShowMessage(caption, text, buttons, icon);
    }
    bool workerStoodStill = false;

private:
    const JobControl& job_;
    int answer_;
};

// Holds the worker of `flow` at its `holdAt`-th command (1-based) until Release(); the
// command then passes the program's pause gate as usual. In place while it lives.
class HoldingGate {
public:
    HoldingGate(InstallerFlow& flow, int holdAt);
    ~HoldingGate();
    // Waits (at most 10 s) until the worker is held; false when it never came.
    bool WaitUntilHeld();
    void Release();

private:
    bool Pass();
    InstallerFlow& flow_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int holdAt_;
    int passed_ = 0;
    bool held_ = false;
    bool released_ = false;
};
