#include "installer/app/VerSelectDlg.h"

#include <QComboBox>

#include "installer/app/InstallerFlow.h"
#include "installer/app/SystemText.h"
#include "installer/app/WidgetMaking.h"

TVerSelectDlg::TVerSelectDlg(InstallerFlow& flow)
    : FixedDialog("TVerSelectDlg", 420, 140, EscapeKey::Ignored), flow_(flow) {
    Siji1Label = MakeLabel(this, "Siji1Label", "", QRect(16, 12, 388, 20));
    VersionBox = new QComboBox(this);
    VersionBox->setObjectName(QStringLiteral("VersionBox"));
    VersionBox->setGeometry(16, 40, 388, 26);
    VersionBox->setEditable(false);
    OkButton = MakeButton(this, "OkButton", "OK", QRect(122, 94, 84, 28));
    CancelButton = MakeButton(this, "CancelButton", "ｷｬﾝｾﾙ", QRect(214, 94, 84, 28));
    OkButton->setDefault(true);
    setTabOrder(VersionBox, OkButton);
    setTabOrder(OkButton, CancelButton);
    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TVerSelectDlg::SetChoices(const std::vector<std::string>& choices, int preselected) {
    VersionBox->clear();
    for (const std::string& choice : choices) VersionBox->addItem(FromSystem(choice));
    VersionBox->setCurrentIndex(preselected);
}

void TVerSelectDlg::showEvent(QShowEvent* event) {
    setWindowTitle(FromSystem("MorvanDN（バージョン選択）"));
    Siji1Label->setText(FromSystem("バージョンを選択してください。"));
    VersionBox->setFocus();
    FixedDialog::showEvent(event);
}

void TVerSelectDlg::OkButtonClick() {
    switch (flow_.VerSelectOk(VersionBox->currentIndex())) {
        case DialogOutcome::Ok: accept(); break;
        case DialogOutcome::Cancel: reject(); break;
        case DialogOutcome::StayOpen: break;
    }
}
