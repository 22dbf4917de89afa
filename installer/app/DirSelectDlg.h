// TDirSelectDlg: asks where the install medium is. Enter in the edit box moves the
// focus to OK (a second Enter presses it); the browse button opens TDirViewDlg.
#pragma once

#include "installer/app/FixedDialog.h"

class InstallerFlow;
class QLabel;
class QLineEdit;
class QPushButton;
class TDirViewDlg;

class TDirSelectDlg : public FixedDialog {
    Q_OBJECT
public:
    TDirSelectDlg(InstallerFlow& flow, TDirViewDlg& browser);

    QLabel* SijiLabel;
    QLineEdit* DirPathEdit;
    QPushButton* DreViewBtn;
    QPushButton* OkButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DreViewBtnClick();
    void OkButtonClick();
    InstallerFlow& flow_;
    TDirViewDlg& browser_;
};
