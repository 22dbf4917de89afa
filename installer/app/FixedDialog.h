// The common frame of the program's forms: a fixed-size dialog with a title bar and a
// close box, centred on the screen, in the dialogs' font, laid out at fixed positions.
// Escape does what the form allows: nothing, Cancel, or OK.
#pragma once

#include <QDialog>

class QKeyEvent;

class FixedDialog : public QDialog {
    Q_OBJECT
public:
    enum class EscapeKey { Ignored, Cancels, Accepts };
    FixedDialog(const char* formName, int width, int height, EscapeKey escape);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    EscapeKey escape_;
};
