#include "installer/env/MessageBox.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/Cp932.h"

namespace {

// Without a user interface (command-line tools, a program started before its
// dialogs exist) a box is written to standard error and answered with its first
// button, which is the harmless choice of every box the installer raises: OK, or
// Abort for the Abort/Retry/Ignore question.
class StderrSink : public MessageSink {
public:
    int ShowMessage(const std::string& caption, const std::string& text,
                    MessageButtons buttons, MessageIcon /*icon*/) override {
        std::string shown;
        for (char c : platform::Cp932ToUtf8Lossy(text)) {
            shown += c == '\r' ? '\n' : c;  // the boxes break lines with a lone CR
        }
        const int answer = buttons == MessageButtons::AbortRetryIgnore ? IDABORT : IDOK;
        std::lock_guard lock(mutex_);
        std::fprintf(stderr, "[%s] %s\n", platform::Cp932ToUtf8Lossy(caption).c_str(),
                     shown.c_str());
        std::fflush(stderr);
        return answer;
    }
    void Beep() override {}

private:
    std::mutex mutex_;
};

StderrSink defaultSink;
std::atomic<MessageSink*> currentSink{nullptr};

MessageSink& Sink() {
    MessageSink* sink = currentSink.load();
    return sink != nullptr ? *sink : defaultSink;
}

}  // namespace

void SetMessageSink(MessageSink* sink) { currentSink.store(sink); }

int ShowMessageBox(const std::string& caption, const std::string& text, MessageButtons buttons,
                   MessageIcon icon) {
    return Sink().ShowMessage(caption, text, buttons, icon);
}

void SoundBeep() { Sink().Beep(); }
