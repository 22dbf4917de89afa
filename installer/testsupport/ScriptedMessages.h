// A message sink for tests: records every box and answers from a preset queue.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "installer/env/MessageBox.h"

struct RecordedBox {
    std::string caption;
    std::string text;
    MessageButtons buttons;
    MessageIcon icon;
    int answer;
};

class ScriptedMessages : public MessageSink {
public:
    // Installs itself as the message sink; the destructor restores the default.
    ScriptedMessages();
    ~ScriptedMessages() override;

    // Answers given in order; when the queue is empty a box is answered with its
    // first button (OK, or Abort for Abort/Retry/Ignore).
    void QueueAnswer(int answer);

    int ShowMessage(const std::string& caption, const std::string& text,
                    MessageButtons buttons, MessageIcon icon) override;
    void Beep() override;

    std::vector<RecordedBox> Boxes() const;
    int BeepCount() const;
    // The texts of all boxes so far, joined by "\n" (for readable test failures).
    std::string AllTexts() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::deque<int> answers_;
    std::vector<RecordedBox> boxes_;
    int beeps_ = 0;
};
