// Reading Tolvane's command line.
#include "tolvane/CommandLine.h"

#include <climits>
#include <cstdint>

#include "platform/Cp932.h"

namespace {

// The switch an argument is: 0 for "/D0", 1 for "/D1" (any case), -1 for anything else.
int SwitchOf(std::string_view text) {
    if (platform::EqualsNoCase(text, "/D1")) return 1;
    if (platform::EqualsNoCase(text, "/D0")) return 0;
    return -1;
}

bool IsCBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

int ReadDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsCBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulated as a magnitude in 64 bits and held once it passes the range of int,
    // so a hostile run of digits neither overflows nor wraps into a small value.
    constexpr std::int64_t kLimit = static_cast<std::int64_t>(INT_MAX) + 1;
    std::int64_t magnitude = 0;
    for (; i < text.size() && platform::IsAsciiDigit(text[i]); ++i) {
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) magnitude = kLimit;
    }
    if (negative) return static_cast<int>(-magnitude);
    return magnitude > INT_MAX ? INT_MAX : static_cast<int>(magnitude);
}

int CommandLine_Read(std::span<const ProgramArgument> args, CommandLine& out) {
    if (args.size() < 4) return kCommandLineTooFew;
    CommandLine line;
    line.drawing = JobPath_FromArgument(args[1]);
    line.newPdb = JobPath_FromArgument(args[2]);
    line.sourceKind = ReadDecimal(args[3].text);
    if (args.size() > 4) {
        const int fourth = SwitchOf(args[4].text);
        if (fourth >= 0) {
            line.dashExpansion = fourth;
        } else {
            line.conditionFile = JobPath_FromArgument(args[4]);
        }
    }
    if (args.size() > 5 && SwitchOf(args[5].text) == 1) line.dashExpansion = 1;
    out = std::move(line);
    return kCommandLineOk;
}
