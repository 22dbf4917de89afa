#include "installer/app/FixedDialog.h"

#include <QKeyEvent>

#include "installer/app/SystemText.h"

FixedDialog::FixedDialog(const char* formName, int width, int height, EscapeKey escape)
    : QDialog(nullptr,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                  Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      escape_(escape) {
    setObjectName(QString::fromLatin1(formName));
    setFont(DialogFont());
    setFixedSize(width, height);
    setSizeGripEnabled(false);
}

void FixedDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        switch (escape_) {
            case EscapeKey::Ignored: event->accept(); return;
            case EscapeKey::Accepts: event->accept(); accept(); return;
            case EscapeKey::Cancels: break;
        }
    }
    QDialog::keyPressEvent(event);
}
