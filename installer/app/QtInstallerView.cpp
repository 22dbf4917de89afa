#include "installer/app/QtInstallerView.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QLockFile>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include "installer/app/DirSelectDlg.h"
#include "installer/app/InstallerFlow.h"
#include "installer/app/JyokyoDlg.h"
#include "installer/app/ReadmeDlg.h"
#include "installer/app/SystemText.h"
#include "installer/app/VerSelectDlg.h"
#include "installer/app/VermainDlg.h"
#include "platform/Prefix.h"

void QtInstallerView::Attach(InstallerFlow* flow, TVermainDlg* main, TDirSelectDlg* dirSelect,
                             TVerSelectDlg* verSelect, TJyokyoDlg* progress, TReadmeDlg* readme) {
    flow_ = flow;
    main_ = main;
    dirSelect_ = dirSelect;
    verSelect_ = verSelect;
    progress_ = progress;
    readme_ = readme;
}

void QtInstallerView::SetMainCaption(const std::string& caption) {
    main_->setWindowTitle(FromSystem(caption));
}

void QtInstallerView::SetHyoujiButtonVisible(bool visible) { main_->HyoujiButton->setVisible(visible); }

void QtInstallerView::SetHeaderLabels(const std::string& title1, const std::string& title2,
                                      const std::string& verno, const std::string& kanri) {
    main_->Title1Label->setText(FromSystem(title1));
    main_->Title2Label->setText(FromSystem(title2));
    main_->VernoLabel->setText(FromSystem(verno));
    main_->KanriLabel->setText(FromSystem(kanri));
}

void QtInstallerView::SetEntryRows(const std::vector<std::string>& rows) {
    QListWidget* list = main_->VerctlList;
    list->clear();
    for (const std::string& row : rows) list->addItem(FromSystem(row));
    list->selectAll();
    if (list->count() > 0) {
        list->setCurrentRow(0, QItemSelectionModel::NoUpdate);
        list->setFocus();
    }
}

std::vector<bool> QtInstallerView::EntryRowSelection() {
    std::vector<bool> selected;
    QListWidget* list = main_->VerctlList;
    for (int row = 0; row < list->count(); ++row) selected.push_back(list->item(row)->isSelected());
    return selected;
}

void QtInstallerView::SetNotesLines(const std::vector<std::string>& lines) { readme_->SetLines(lines); }

void QtInstallerView::MakeMainVisible() {
    if (mainClosed_) return;
    main_->show();
    main_->raise();
    main_->activateWindow();
}

void QtInstallerView::HideMain() { main_->hide(); }

void QtInstallerView::CloseMain() {
    main_->hide();
    if (!mainClosed_) {
        mainClosed_ = true;
        emit mainClosed();
    }
}

bool QtInstallerView::RunDirSelectDialog() { return dirSelect_->exec() == QDialog::Accepted; }

bool QtInstallerView::RunVersionDialog(const std::vector<std::string>& choices, int preselected) {
    verSelect_->SetChoices(choices, preselected);
    return verSelect_->exec() == QDialog::Accepted;
}

void QtInstallerView::SetTimerRunning(bool running) {
    if (running) {
        main_->Timer1->start();
    } else {
        main_->Timer1->stop();
    }
}

void QtInstallerView::RunProgressDialog() { progress_->exec(); }

void QtInstallerView::CloseProgressDialog() {
    if (progress_->isVisible()) progress_->done(QDialog::Rejected);
}

void QtInstallerView::SetProgressBar(int percent) { progress_->TimeBar->setValue(percent); }

void QtInstallerView::WaitUntil(const std::function<bool()>& done) {
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
}

void QtInstallerView::PostProgressCaption(const std::string& caption) {
    QMetaObject::invokeMethod(
        progress_, [this, text = FromSystem(caption)] { progress_->setWindowTitle(text); },
        Qt::QueuedConnection);
}

void QtInstallerView::PostInstLabel(const std::string& text) {
    QMetaObject::invokeMethod(
        progress_, [this, label = FromSystem(text)] { progress_->InstLabel->setText(label); },
        Qt::QueuedConnection);
}

void QtInstallerView::PostTitleLabel(const std::string& text) {
    QMetaObject::invokeMethod(
        progress_, [this, title = FromSystem(text)] { progress_->TitleLabel->setText(title); },
        Qt::QueuedConnection);
}

void QtInstallerView::PostCloseProgressDialog(int jobNumber) {
    QMetaObject::invokeMethod(
        this, [this, jobNumber] { flow_->WorkerClosedProgress(jobNumber); }, Qt::QueuedConnection);
}

QtWorkRootLock::QtWorkRootLock() = default;

QtWorkRootLock::~QtWorkRootLock() = default;

WorkRootLock::Result QtWorkRootLock::Acquire(const std::string& workRoot) {
    std::string host;
    if (workRoot.empty() || platform::ToHostPath(workRoot, host) != 0 ||
        !QDir(QString::fromStdString(host)).exists()) {
        return Result::Unavailable;
    }
    lock_ = std::make_unique<QLockFile>(QString::fromStdString(host) +
                                        QStringLiteral("/MORVANUP.LCK"));
    // Never stale by age: a run may take long. A lock whose program has ended is
    // recognised by its process id and taken over.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return Result::Taken;
    const bool held = lock_->error() == QLockFile::LockFailedError;
    lock_.reset();
    return held ? Result::HeldByOther : Result::Unavailable;
}
