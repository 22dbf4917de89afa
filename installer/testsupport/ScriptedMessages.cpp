#include "installer/testsupport/ScriptedMessages.h"

ScriptedMessages::ScriptedMessages() { SetMessageSink(this); }

ScriptedMessages::~ScriptedMessages() { SetMessageSink(nullptr); }

void ScriptedMessages::QueueAnswer(int answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

int ScriptedMessages::ShowMessage(const std::string& caption, const std::string& text,
                                  MessageButtons buttons, MessageIcon icon) {
    std::lock_guard lock(mutex_);
    int answer = buttons == MessageButtons::AbortRetryIgnore ? IDABORT : IDOK;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    boxes_.push_back({caption, text, buttons, icon, answer});
    return answer;
}

void ScriptedMessages::Beep() {
    std::lock_guard lock(mutex_);
    ++beeps_;
}

std::vector<RecordedBox> ScriptedMessages::Boxes() const {
    std::lock_guard lock(mutex_);
    return boxes_;
}

int ScriptedMessages::BeepCount() const {
    std::lock_guard lock(mutex_);
    return beeps_;
}

std::string ScriptedMessages::AllTexts() const {
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& box : boxes_) {
        if (!all.empty()) all += "\n";
        all += box.text;
    }
    return all;
}

void ScriptedMessages::Clear() {
    std::lock_guard lock(mutex_);
    boxes_.clear();
    answers_.clear();
    beeps_ = 0;
}
