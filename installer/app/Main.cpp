// MorvanUP: program start. Sets the application title, creates the forms once in this
// order (the main form's creation reads the command line and the environment), runs
// the main dialog until it closes, then cleans up.
//
// Test-only automation: with MORVANUP_AUTOPILOT set to a non-empty value the program
// answers every message box with its first button without showing it (the box is
// printed to standard error), and presses the OK button of the main dialog, or of the
// open modal dialog other than the progress dialog, whenever it waits for the user.
// The end-to-end tests use it where no keyboard can be sent (the offscreen platform);
// the demo drives the program with real keystrokes instead.
//
// Test-only crash: MORVANUP_TEST_CRASH_AT="<n>" makes the program kill itself with
// SIGKILL (no clean-up of any kind, as a crash or a power cut ends it) when command
// number n of a job (1-based, counted as the engine counts them; in an uninstall or
// roll-back run likewise from 1) is about to start, before anything of it runs;
// "<n>:ahead" does so once that command has recorded its undo lines and saved copies
// and before it changes anything. The end-to-end tests use it to check that every
// interrupted job can be rolled back. Any other value is ignored.
#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>

#include "installer/app/InstallerFlow.h"
#include "installer/app/ProgramForms.h"
#include "installer/app/QtInstallerView.h"
#include "installer/app/QtMessageSink.h"
#include "installer/engine/JobControl.h"
#include "platform/CommandLine.h"

namespace {

bool AutopilotRequested() {
    const char* value = std::getenv("MORVANUP_AUTOPILOT");
    return value != nullptr && *value != '\0';
}

// The checkpoint and command number at which MORVANUP_TEST_CRASH_AT asks to die.
struct CrashPoint {
    JobCheckpoint point = JobCheckpoint::BeforeCommand;
    int command = 0;  // 0: no crash asked for
};

// Reads MORVANUP_TEST_CRASH_AT; installs the hook on `job` when it names a command.
void InstallCrashHook(JobControl& job) {
    const char* value = std::getenv("MORVANUP_TEST_CRASH_AT");
    if (value == nullptr) return;
    const std::string text = value;
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
    if (digits == 0 || digits > 6) return;
    const std::string rest = text.substr(digits);
    CrashPoint crashPoint;
    if (rest == ":ahead") {
        crashPoint.point = JobCheckpoint::AfterWriteAhead;
    } else if (!rest.empty()) {
        return;
    }
    crashPoint.command = std::atoi(text.substr(0, digits).c_str());
    if (crashPoint.command <= 0) return;
    job.SetJobCheckpointHook([crashPoint](JobCheckpoint point, int commandNumber) {
        if (point == crashPoint.point && commandNumber == crashPoint.command) std::raise(SIGKILL);
    });
}

// The parameters of the Windows command line, without the program's own name.
std::vector<std::string> CommandLineParameters(int argc, char** argv) {
    std::vector<std::string> parameters =
        platform::SplitCommandLine(platform::GetCommandLineW(argc, argv));
    if (!parameters.empty()) parameters.erase(parameters.begin());
    return parameters;
}

void PressOkWhenWaiting(TVermainDlg* main, const InstallerFlow& flow) {
    if (flow.MainClosed()) return;
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr) {
        if (qobject_cast<TJyokyoDlg*>(modal) != nullptr) return;
        auto* ok = modal->findChild<QPushButton*>(QStringLiteral("OkButton"));
        if (ok != nullptr && ok->isVisible() && ok->isEnabled()) ok->click();
        return;
    }
    if (main->isVisible()) main->OkButton->click();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetUpApplication();

    const bool autopilot = AutopilotRequested();
    QtMessageSink sink(autopilot);
    SetMessageSink(&sink);

    QtInstallerView view;
    QtWorkRootLock lock;
    // The flow owns the program's state and installs its pause gate as the command gate.
    InstallerFlow flow(view, &lock);
    InstallCrashHook(flow.State().job);
    auto forms = std::make_unique<ProgramForms>(flow, view, CommandLineParameters(argc, argv));
    TVermainDlg* vermain = forms->VermainDlg.get();

    QEventLoop mainLoop;
    QObject::connect(&view, &QtInstallerView::mainClosed, &mainLoop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    QTimer autopilotTimer;
    if (autopilot) {
        QObject::connect(&autopilotTimer, &QTimer::timeout, vermain,
                         [&] { PressOkWhenWaiting(vermain, flow); });
        autopilotTimer.start(300);
    }
    vermain->show();
    QTimer::singleShot(0, vermain, [&flow] { flow.OnShow(); });
    mainLoop.exec();
    autopilotTimer.stop();

    // Destruction of the main dialog: the worker ends first, then the clean-up.
    flow.Cleanup();
    forms.reset();
    SetMessageSink(nullptr);
    return 0;
}
