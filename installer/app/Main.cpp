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
#include <QApplication>
#include <QEventLoop>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "installer/app/InstallerFlow.h"
#include "installer/app/PauseGate.h"
#include "installer/app/ProgramForms.h"
#include "installer/app/QtInstallerView.h"
#include "installer/app/QtMessageSink.h"
#include "installer/engine/JobState.h"
#include "platform/Process.h"

namespace {

bool AutopilotRequested() {
    const char* value = std::getenv("MORVANUP_AUTOPILOT");
    return value != nullptr && *value != '\0';
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
    SetCommandGate(&PassJobPauseGate);

    QtInstallerView view;
    QtWorkRootLock lock;
    InstallerFlow flow(view, &lock);
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
    SetCommandGate(nullptr);
    forms.reset();
    SetMessageSink(nullptr);
    return 0;
}
