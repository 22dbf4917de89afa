// The program name is taken as the C runtime takes it: from a leading quote to the
// next quote, else up to the first blank or tab. The rest is searched with the
// code page 932 helpers, so a trail byte is never mistaken for a delimiter.
#include "CommandLine.h"

#include <algorithm>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Cp932.h"

namespace stovik {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The part of the line after the program name.
std::string_view AfterProgramName(std::string_view line) {
    std::size_t end = 0;
    if (!line.empty() && line[0] == '"') {
        const std::size_t close = platform::FindCharDbcs(line, '"', 1);
        end = close == std::string_view::npos ? line.size() : close + 1;
    } else {
        while (end < line.size() && !IsBlank(line[end])) end += platform::CharLength(line, end);
    }
    return line.substr(std::min(end, line.size()));
}

std::string_view Trimmed(std::string_view s) {
    // Blanks and tabs are single bytes below every trail byte, so the ends can be
    // trimmed byte by byte.
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

bool DrawingPathOf(std::string_view commandLine, std::string& path, std::size_t& arguments) {
    path.clear();
    const std::vector<std::string> args = platform::SplitCommandLine(commandLine);
    arguments = args.empty() ? 0 : args.size() - 1;
    if (arguments == 1 && !args[1].empty()) {
        path = args[1];
        return true;
    }
    if (arguments < 2) return false;
    const std::string_view rest = Trimmed(AfterProgramName(commandLine));
    if (platform::FindCharDbcs(rest, '"') != std::string_view::npos) return false;
    path = std::string(rest);
    return !path.empty();
}

}  // namespace stovik
