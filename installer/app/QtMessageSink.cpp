#include "installer/app/QtMessageSink.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <cstdio>
#include <vector>

#include "installer/app/SystemText.h"

QtMessageSink::QtMessageSink(bool autopilot) : autopilot_(autopilot) {}

int QtMessageSink::ShowMessage(const std::string& caption, const std::string& text,
                               MessageButtons buttons, MessageIcon icon) {
    if (QThread::currentThread() == thread()) return ShowOnUiThread(caption, text, buttons, icon);
    int answer = IDOK;
    QMetaObject::invokeMethod(
        this, [&] { answer = ShowOnUiThread(caption, text, buttons, icon); },
        Qt::BlockingQueuedConnection);
    return answer;
}

void QtMessageSink::Beep() {
    if (autopilot_) return;
    QMetaObject::invokeMethod(this, [] { QApplication::beep(); }, Qt::AutoConnection);
}

int QtMessageSink::ShowOnUiThread(const std::string& caption, const std::string& text,
                                  MessageButtons buttons, MessageIcon icon) {
    struct Choice {
        const char* label;
        int answer;
    };
    std::vector<Choice> choices;
    int escapeAnswer = 0;  // 0: Escape and the close box do nothing
    switch (buttons) {
        case MessageButtons::Ok:
            choices = {{"OK", IDOK}};
            escapeAnswer = IDOK;
            break;
        case MessageButtons::OkCancel:
            choices = {{"OK", IDOK}, {"キャンセル", IDCANCEL}};
            escapeAnswer = IDCANCEL;
            break;
        case MessageButtons::AbortRetryIgnore:
            choices = {{"中止(&A)", IDABORT}, {"再試行(&R)", IDRETRY}, {"無視(&I)", IDIGNORE}};
            break;
    }
    if (autopilot_) {
        std::fprintf(stderr, "MorvanUP box [%s] %s -> %d\n",
                     FromSystem(caption).toUtf8().constData(),
                     MessageTextFromSystem(text).toUtf8().constData(), choices.front().answer);
        return choices.front().answer;
    }

    QMessageBox box;
    box.setWindowTitle(FromSystem(caption));
    box.setText(MessageTextFromSystem(text));
    box.setTextFormat(Qt::PlainText);
    box.setFont(DialogFont());
    box.setWindowModality(Qt::ApplicationModal);
    switch (icon) {
        case MessageIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    }
    // Action roles keep the buttons in the order given, and leave the escape button to
    // be chosen here rather than guessed from the roles.
    std::vector<QPushButton*> pushButtons;
    for (const Choice& choice : choices) {
        pushButtons.push_back(box.addButton(FromSystem(choice.label), QMessageBox::ActionRole));
    }
    box.setDefaultButton(pushButtons.front());
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].answer == escapeAnswer) box.setEscapeButton(pushButtons[i]);
    }
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (clicked == pushButtons[i]) return choices[i].answer;
    }
    return escapeAnswer != 0 ? escapeAnswer : choices.front().answer;
}
