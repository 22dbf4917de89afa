#include "installer/app/DirSelectDlg.h"

#include <QKeyEvent>
#include <QLineEdit>

#include "installer/app/DirViewDlg.h"
#include "installer/app/InstallerFlow.h"
#include "installer/app/SystemText.h"
#include "installer/app/WidgetMaking.h"

TDirSelectDlg::TDirSelectDlg(InstallerFlow& flow, TDirViewDlg& browser)
    : FixedDialog("TDirSelectDlg", 420, 140, EscapeKey::Cancels), flow_(flow), browser_(browser) {
    setWindowTitle(FromSystem("MorvanUP(インストールディスク選択)"));
    SijiLabel = MakeLabel(this, "SijiLabel", "インストールディスクの場所を選択してください。",
                          QRect(16, 12, 388, 20));
    DirPathEdit = new QLineEdit(this);
    DirPathEdit->setObjectName(QStringLiteral("DirPathEdit"));
    DirPathEdit->setGeometry(16, 40, 300, 26);
    DirPathEdit->installEventFilter(this);
    DreViewBtn = MakeButton(this, "DreViewBtn", "参照", QRect(324, 40, 80, 26));
    OkButton = MakeButton(this, "OkButton", "OK", QRect(122, 94, 84, 28));
    CancelButton = MakeButton(this, "CancelButton", "ｷｬﾝｾﾙ", QRect(214, 94, 84, 28));
    OkButton->setDefault(true);
    setTabOrder(DirPathEdit, DreViewBtn);
    setTabOrder(DreViewBtn, OkButton);
    setTabOrder(OkButton, CancelButton);
    connect(DreViewBtn, &QPushButton::clicked, this, [this] { DreViewBtnClick(); });
    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void TDirSelectDlg::showEvent(QShowEvent* event) {
    DirPathEdit->setText(FromSystem(flow_.DirSelectShown()));
    DirPathEdit->selectAll();
    DirPathEdit->setFocus();
    FixedDialog::showEvent(event);
}

bool TDirSelectDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == DirPathEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OkButton->setFocus();
            return true;
        }
    }
    return FixedDialog::eventFilter(watched, event);
}

void TDirSelectDlg::DreViewBtnClick() {
    browser_.StartDir = InstallerFlow::BrowseStartDir(ToSystem(DirPathEdit->text()));
    if (browser_.exec() == QDialog::Accepted) DirPathEdit->setText(FromSystem(browser_.StartDir));
}

void TDirSelectDlg::OkButtonClick() {
    switch (flow_.DirSelectOk(ToSystem(DirPathEdit->text()))) {
        case DialogOutcome::Ok: accept(); break;
        case DialogOutcome::Cancel: reject(); break;
        case DialogOutcome::StayOpen: break;
    }
}
