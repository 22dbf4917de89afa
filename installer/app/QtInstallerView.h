// The InstallerView of the dialog program: the flow's requests carried out on the
// forms. Calls from the worker are queued to the UI thread.
#pragma once

#include <QObject>
#include <memory>

#include "installer/app/InstallerView.h"

class InstallerFlow;
class TVermainDlg;
class TJyokyoDlg;
class TDirSelectDlg;
class TVerSelectDlg;
class TReadmeDlg;

class QtInstallerView : public QObject, public InstallerView {
    Q_OBJECT
public:
    QtInstallerView() = default;
    void Attach(InstallerFlow* flow, TVermainDlg* main, TDirSelectDlg* dirSelect,
                TVerSelectDlg* verSelect, TJyokyoDlg* progress, TReadmeDlg* readme);
    bool MainClosed() const { return mainClosed_; }

    void SetMainCaption(const std::string& caption) override;
    void SetHyoujiButtonVisible(bool visible) override;
    void SetHeaderLabels(const std::string& title1, const std::string& title2,
                         const std::string& verno, const std::string& kanri) override;
    void SetEntryRows(const std::vector<std::string>& rows) override;
    std::vector<bool> EntryRowSelection() override;
    void SetNotesLines(const std::vector<std::string>& lines) override;
    void MakeMainVisible() override;
    void HideMain() override;
    void CloseMain() override;
    bool RunDirSelectDialog() override;
    bool RunVersionDialog(const std::vector<std::string>& choices, int preselected) override;
    void SetTimerRunning(bool running) override;
    void RunProgressDialog() override;
    void CloseProgressDialog() override;
    void SetProgressBar(int percent) override;
    void WaitUntil(const std::function<bool()>& done) override;
    void PostProgressCaption(const std::string& caption) override;
    void PostInstLabel(const std::string& text) override;
    void PostTitleLabel(const std::string& text) override;
    void PostCloseProgressDialog(int jobNumber) override;

signals:
    // The main dialog has closed: the program ends.
    void mainClosed();

private:
    InstallerFlow* flow_ = nullptr;
    TVermainDlg* main_ = nullptr;
    TDirSelectDlg* dirSelect_ = nullptr;
    TVerSelectDlg* verSelect_ = nullptr;
    TJyokyoDlg* progress_ = nullptr;
    TReadmeDlg* readme_ = nullptr;
    bool mainClosed_ = false;
};

// The hold on the work directories: a lock file "MORVANUP.LCK" in WorkRoot, held while
// the program runs and removed when it ends. A lock left by a program that no longer
// runs (a crash) is taken over.
class QLockFile;
class QtWorkRootLock : public WorkRootLock {
public:
    QtWorkRootLock();
    ~QtWorkRootLock() override;
    Result Acquire(const std::string& workRoot) override;

private:
    std::unique_ptr<QLockFile> lock_;  // held while the program runs
};
