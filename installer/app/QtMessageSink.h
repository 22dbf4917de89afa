// The message sink of the dialog program: real modal boxes, always shown on the UI
// thread. A box raised by the worker is handed to the UI thread with a blocking
// queued call, so the worker waits for the answer as it would for its own box.
//
// Keyboard as on Windows: Enter presses the first button; Escape (and the close box)
// answers OK in an OK box and Cancel in an OK/Cancel box; an Abort/Retry/Ignore box
// has neither, and its buttons also answer to A, R and I.
#pragma once

#include <QObject>

#include "installer/env/MessageBox.h"

class QtMessageSink : public QObject, public MessageSink {
    Q_OBJECT
public:
    // `autopilot`: answer every box with its first button without showing it (the
    // test-only automation of the program, see Main.cpp); the box is logged instead.
    explicit QtMessageSink(bool autopilot = false);
    int ShowMessage(const std::string& caption, const std::string& text, MessageButtons buttons,
                    MessageIcon icon) override;
    void Beep() override;

private:
    int ShowOnUiThread(const std::string& caption, const std::string& text,
                       MessageButtons buttons, MessageIcon icon);
    bool autopilot_;
};
