// Message boxes of a program without windows: standard error and the prefix's log.
//
// The log line is appended with one write() on a descriptor opened with O_APPEND, so
// programs showing messages at the same time never interleave within a line. Line
// breaks inside the text are folded into blanks: one message is one line on the
// terminal and one entry in the log, which a person can grep. Nobody answers the box,
// so it returns the button a person would get by pressing Enter: the default button
// of the button set named in `type`.
#include "platform/MessageBox.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "platform/AtomicWrite.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

// CR LF, LF and CR each become one blank.
std::string OneLine(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        char c = utf8[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
            out += ' ';
        } else {
            out += c;
        }
    }
    return out;
}

// The button taken by Enter: the default button (MB_DEFBUTTON1..4 in bits 8-11) of the
// button set (bits 0-3). Sets: OK; OK Cancel; Abort Retry Ignore; Yes No Cancel; Yes No;
// Retry Cancel; Cancel Try-again Continue. An unknown set or default answers OK.
int DefaultButton(std::uint32_t type) {
    static constexpr int kSets[7][3] = {
        {1, 1, 1}, {1, 2, 2}, {3, 4, 5}, {6, 7, 2}, {6, 7, 7}, {4, 2, 2}, {2, 10, 11},
    };
    std::uint32_t set = type & 0xF;
    std::uint32_t def = (type >> 8) & 0xF;
    if (set >= 7 || def >= 3) return kIdOk;
    return kSets[set][def];
}

// The running program's file name (UTF-8), as the log names it.
std::string ProgramName() {
    std::string self = GetModuleFileNameW();
    std::size_t d = FindLastPathDelimiter(self);
    return Cp932ToUtf8Lossy(d == std::string::npos ? self : self.substr(d + 1));
}

void AppendToLog(const std::string& line) {
    const std::string path = PrefixDir() + "/messages.log";
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    // A prefix that cannot take the log (missing, read-only) still has the terminal:
    // the message is not lost for the person watching.
    if (!fd) return;
    (void)WriteAll(fd.Get(), line);
}

}  // namespace

int MessageBoxA(std::string_view text, std::string_view caption, std::uint32_t type) {
    const std::string body =
        OneLine(Cp932ToUtf8Lossy(caption)) + ": " + OneLine(Cp932ToUtf8Lossy(text));

    std::string terminal = body + "\n";
    std::fwrite(terminal.data(), 1, terminal.size(), stderr);
    std::fflush(stderr);

    char stamp[32] = {};
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) != nullptr) {
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    }
    std::string line = stamp;
    line.append(" ").append(ProgramName()).append(": ").append(body).append("\n");
    AppendToLog(line);
    return DefaultButton(type);
}

}  // namespace platform
