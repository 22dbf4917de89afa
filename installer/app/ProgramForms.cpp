#include "installer/app/ProgramForms.h"

#include <QApplication>

#include "installer/app/InstallerFlow.h"
#include "installer/app/QtInstallerView.h"
#include "installer/app/SystemText.h"

void SetUpApplication() {
    qApp->setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(FromSystem("バージョンアップツール"));
    InstallFontSubstitutes();
    QApplication::setFont(DialogFont());
}

ProgramForms::ProgramForms(InstallerFlow& flow, QtInstallerView& view,
                           const std::vector<std::string>& parameters) {
    VermainDlg = std::make_unique<TVermainDlg>(flow);
    flow.Create(parameters);
    DirViewDlg = std::make_unique<TDirViewDlg>(flow);
    DirSelectDlg = std::make_unique<TDirSelectDlg>(flow, *DirViewDlg);
    VerSelectDlg = std::make_unique<TVerSelectDlg>(flow);
    JyokyoDlg = std::make_unique<TJyokyoDlg>(flow);
    ReadmeDlg = std::make_unique<TReadmeDlg>();
    VermainDlg->SetReadmeDlg(ReadmeDlg.get());
    view.Attach(&flow, VermainDlg.get(), DirSelectDlg.get(), VerSelectDlg.get(), JyokyoDlg.get(),
                ReadmeDlg.get());
}

ProgramForms::~ProgramForms() {
    ReadmeDlg.reset();
    JyokyoDlg.reset();
    VerSelectDlg.reset();
    DirSelectDlg.reset();
    DirViewDlg.reset();
    VermainDlg.reset();
}
