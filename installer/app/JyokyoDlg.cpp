#include "installer/app/JyokyoDlg.h"

#include <QProgressBar>

#include "installer/app/InstallerFlow.h"
#include "installer/app/SystemText.h"
#include "installer/app/WidgetMaking.h"

TJyokyoDlg::TJyokyoDlg(InstallerFlow& flow)
    : FixedDialog("TJyokyoDlg", 420, 150, EscapeKey::Ignored), flow_(flow) {
    setWindowTitle(FromSystem("バージョンアップ中"));
    TitleLabel = MakeLabel(this, "TitleLabel", "ＴＩＲＵＮＥバージョンアップ", QRect(16, 14, 388, 20));
    InstLabel = MakeLabel(this, "InstLabel", "", QRect(16, 40, 388, 20), Qt::AlignRight);
    TimeBar = new QProgressBar(this);
    TimeBar->setObjectName(QStringLiteral("TimeBar"));
    TimeBar->setGeometry(16, 66, 388, 22);
    TimeBar->setRange(0, 100);
    TimeBar->setValue(0);
    TimeBar->setTextVisible(false);
    StopButton = MakeButton(this, "StopButton", "中止", QRect(172, 106, 76, 28));
    connect(StopButton, &QPushButton::clicked, this, [this] { flow_.StopButtonClick(); });
}

void TJyokyoDlg::done(int result) {
    const bool wasOpen = isVisible();
    FixedDialog::done(result);
    if (wasOpen) flow_.ProgressClosed();
}
