// TJyokyoDlg: the progress dialog of a running job: the title of the entry being run,
// install or uninstall, the progress bar and the stop button. Closing it by any means
// is reported to the flow (which aborts a running job unless it finished or a stop was
// requested); Escape does nothing.
#pragma once

#include "installer/app/FixedDialog.h"

class InstallerFlow;
class QLabel;
class QProgressBar;
class QPushButton;

class TJyokyoDlg : public FixedDialog {
    Q_OBJECT
public:
    explicit TJyokyoDlg(InstallerFlow& flow);

    QLabel* TitleLabel;
    QLabel* InstLabel;
    QProgressBar* TimeBar;
    QPushButton* StopButton;

public slots:
    void done(int result) override;

private:
    InstallerFlow& flow_;
};
