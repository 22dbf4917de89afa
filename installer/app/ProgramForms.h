// The forms of the program, created once in their fixed order: the main form first
// (whose creation reads the command line and the environment through the flow), then
// the browser, the install-disk dialog, the version dialog, the progress dialog and
// the notes dialog; destroyed in the reverse order. Also the application-wide set-up.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "installer/app/DirSelectDlg.h"
#include "installer/app/DirViewDlg.h"
#include "installer/app/JyokyoDlg.h"
#include "installer/app/ReadmeDlg.h"
#include "installer/app/VerSelectDlg.h"
#include "installer/app/VermainDlg.h"

class InstallerFlow;
class QtInstallerView;

// The application title "バージョンアップツール", the fonts, and that the program ends
// when the main dialog closes (not when its last window hides).
void SetUpApplication();

class ProgramForms {
public:
    ProgramForms(InstallerFlow& flow, QtInstallerView& view,
                 const std::vector<std::string>& parameters);
    ~ProgramForms();

    std::unique_ptr<TVermainDlg> VermainDlg;
    std::unique_ptr<TDirViewDlg> DirViewDlg;
    std::unique_ptr<TDirSelectDlg> DirSelectDlg;
    std::unique_ptr<TVerSelectDlg> VerSelectDlg;
    std::unique_ptr<TJyokyoDlg> JyokyoDlg;
    std::unique_ptr<TReadmeDlg> ReadmeDlg;
};
