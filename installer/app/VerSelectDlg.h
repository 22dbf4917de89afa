// TVerSelectDlg: the version dialog of an uninstall run: which kept group to uninstall.
#pragma once

#include <string>
#include <vector>

#include "installer/app/FixedDialog.h"

class InstallerFlow;
class QComboBox;
class QLabel;
class QPushButton;

class TVerSelectDlg : public FixedDialog {
    Q_OBJECT
public:
    explicit TVerSelectDlg(InstallerFlow& flow);
    // Fills VersionBox with the (sorted) choices and selects `preselected`.
    void SetChoices(const std::vector<std::string>& choices, int preselected);

    QLabel* Siji1Label;
    QComboBox* VersionBox;
    QPushButton* OkButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OkButtonClick();
    InstallerFlow& flow_;
};
