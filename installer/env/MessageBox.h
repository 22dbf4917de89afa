// Message boxes and the standard beep, as the installer's operations raise them.
//
// Every box goes through one sink: the dialog program installs a sink that shows a
// real modal box on the UI thread (also when called from the worker), the tests
// install a scripted answerer that records every box and returns preset answers,
// and command-line tools install one that prints. Texts are code page 932.
#pragma once

#include <string>

enum class MessageButtons { Ok, OkCancel, AbortRetryIgnore };
enum class MessageIcon { None, Error, Warning, Information };

// Answers, with the numbers Windows gives them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;

class MessageSink {
public:
    virtual ~MessageSink() = default;
    // Shows a modal box and returns the button pressed (one of the ID* values that
    // the buttons offer).
    virtual int ShowMessage(const std::string& caption, const std::string& text,
                            MessageButtons buttons, MessageIcon icon) = 0;
    virtual void Beep() = 0;
};

// Installs the sink used by every later box (nullptr restores the default sink,
// which prints the box to standard error in UTF-8 and answers with its first button).
// The sink must outlive its use; it is called from whichever thread raises the box.
void SetMessageSink(MessageSink* sink);

int ShowMessageBox(const std::string& caption, const std::string& text,
                   MessageButtons buttons, MessageIcon icon);
void SoundBeep();
