// TReadmeDlg: the notes of the medium's scripts, read only. Escape closes it like OK.
#pragma once

#include <string>
#include <vector>

#include "installer/app/FixedDialog.h"

class QPlainTextEdit;
class QPushButton;

class TReadmeDlg : public FixedDialog {
    Q_OBJECT
public:
    TReadmeDlg();
    void SetLines(const std::vector<std::string>& lines);

    QPlainTextEdit* BikouMemo;
    QPushButton* OkButton;
};
