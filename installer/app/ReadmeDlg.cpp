#include "installer/app/ReadmeDlg.h"

#include <QPlainTextEdit>

#include "installer/app/SystemText.h"
#include "installer/app/WidgetMaking.h"

TReadmeDlg::TReadmeDlg() : FixedDialog("TReadmeDlg", 580, 420, EscapeKey::Accepts) {
    setWindowTitle(FromSystem("備考"));
    BikouMemo = new QPlainTextEdit(this);
    BikouMemo->setObjectName(QStringLiteral("BikouMemo"));
    BikouMemo->setGeometry(8, 8, 564, 362);
    BikouMemo->setReadOnly(true);
    BikouMemo->setFont(FixedFont());
    BikouMemo->setLineWrapMode(QPlainTextEdit::NoWrap);
    BikouMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    BikouMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    OkButton = MakeButton(this, "OkButton", "OK", QRect(248, 380, 84, 28));
    OkButton->setDefault(true);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TReadmeDlg::SetLines(const std::vector<std::string>& lines) {
    BikouMemo->clear();
    for (const std::string& line : lines) BikouMemo->appendPlainText(FromSystem(line));
    BikouMemo->moveCursor(QTextCursor::Start);
}
