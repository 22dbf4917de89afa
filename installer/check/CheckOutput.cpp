#include <cstdio>

#include "installer/check/CheckReport.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace {

const std::size_t kLabelWidth = 22;

void WriteUtf8(const std::string& cp932) {
    std::string text = platform::Cp932ToUtf8Lossy(cp932);
    std::fwrite(text.data(), 1, text.size(), stdout);
}

}  // namespace

int CapturedMessages::ShowMessage(const std::string& caption, const std::string& text,
                                  MessageButtons buttons, MessageIcon /*icon*/) {
    boxes_.push_back({caption, text});
    return buttons == MessageButtons::AbortRetryIgnore ? IDABORT : IDOK;
}

std::vector<CapturedMessages::Box> CapturedMessages::Take() {
    std::vector<Box> taken;
    taken.swap(boxes_);
    return taken;
}

void PrintLine(const std::string& label, const std::string& cp932Value) {
    std::string head = label + ":";
    if (head.size() < kLabelWidth) head.resize(kLabelWidth, ' ');
    std::fputs(head.c_str(), stdout);
    WriteUtf8(cp932Value);
    std::fputc('\n', stdout);
}

void PrintNote(const std::string& cp932Text) {
    std::fputs(std::string(kLabelWidth, ' ').c_str(), stdout);
    WriteUtf8(cp932Text);
    std::fputc('\n', stdout);
}

void PrintMessages(CheckRun& run, const std::string& label) {
    const std::vector<CapturedMessages::Box> boxes = run.messages->Take();
    if (boxes.empty()) {
        PrintLine(label, "(no message)");
        return;
    }
    bool first = true;
    for (const CapturedMessages::Box& box : boxes) {
        // A box breaks its lines with a lone CR; each line is printed on its own.
        std::vector<std::string> lines = platform::SplitLines(box.text);
        if (lines.empty()) lines.emplace_back();
        const std::string head = "[" + box.caption + "] ";
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string text = (i == 0 ? head : std::string(head.size(), ' ')) + lines[i];
            if (first) {
                PrintLine(label, text);
                first = false;
            } else {
                PrintNote(text);
            }
        }
    }
}
