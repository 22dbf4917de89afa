// One pass over the lines, no allocation per line: the file is only looked at, and
// the parser reads it afterwards from the same bytes.
#include "DxfCheck.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace quillon_tool {
namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr long kMaxGroupCode = 1071;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool InRange(long c, long lo, long hi) { return c >= lo && c <= hi; }

bool IsRealCode(long c) {
    return InRange(c, 10, 59) || InRange(c, 110, 149) || InRange(c, 210, 239) ||
           InRange(c, 460, 469) || InRange(c, 1010, 1059);
}

bool IsIntCode(long c) {
    return InRange(c, 60, 99) || InRange(c, 170, 179) || InRange(c, 270, 289) ||
           InRange(c, 370, 389) || InRange(c, 400, 409) || InRange(c, 420, 429) ||
           InRange(c, 440, 459) || InRange(c, 1060, 1071);
}

bool ParseLong(std::string_view s, long& out) {
    s = Trim(s);
    if (s.empty() || s.size() > 20) return false;
    char buf[32];
    std::memcpy(buf, s.data(), s.size());
    buf[s.size()] = '\0';
    char* end = nullptr;
    errno = 0;
    out = std::strtol(buf, &end, 10);
    return errno == 0 && end == buf + s.size();
}

bool ParseReal(std::string_view s) {
    s = Trim(s);
    if (s.empty() || s.size() > 64) return false;
    char buf[72];
    for (std::size_t i = 0; i < s.size(); ++i) buf[i] = s[i] == ',' ? '.' : s[i];
    buf[s.size()] = '\0';
    char* end = nullptr;
    const double v = std::strtod(buf, &end);
    return end == buf + s.size() && std::isfinite(v);
}

// The next line of `text` from `pos` without its CR LF / LF; false at the end.
bool NextLine(std::string_view text, std::size_t& pos, std::string_view& line) {
    if (pos >= text.size()) return false;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos = end + 1;
    return true;
}

}  // namespace

bool CheckDxf(std::string_view text, std::string& why) {
    if (text.substr(0, 18) == "AutoCAD Binary DXF") {
        why = "line 1: binary DXF is not read (save the drawing as text DXF)";
        return false;
    }
    // Every pair takes two lines, so the pairs in the file bound every honest count.
    const auto pairsBound = static_cast<long>(std::count(text.begin(), text.end(), '\n') / 2 + 1);
    std::size_t pos = 0, lineNo = 0;
    std::string_view codeLine, value;
    bool inSection = false, sawSection = false, expectName = false, countsChecked = false;
    while (NextLine(text, pos, codeLine)) {
        ++lineNo;
        const auto at = [&](std::size_t n) { return "line " + std::to_string(n) + ": "; };
        if (codeLine.size() > kMaxLine) {
            why = at(lineNo) + "longer than " + std::to_string(kMaxLine) + " bytes";
            return false;
        }
        long code = 0;
        if (!ParseLong(codeLine, code) || code < 0 || code > kMaxGroupCode) {
            why = at(lineNo) + "not a group code (an integer 0-" + std::to_string(kMaxGroupCode) +
                  ")";
            return false;
        }
        if (!NextLine(text, pos, value)) {
            why = at(lineNo) + "group code " + std::to_string(code) +
                  " without its value (truncated file)";
            return false;
        }
        ++lineNo;
        if (value.size() > kMaxLine) {
            why = at(lineNo) + "longer than " + std::to_string(kMaxLine) + " bytes";
            return false;
        }
        if (IsRealCode(code) && !ParseReal(value)) {
            why = at(lineNo) + "group code " + std::to_string(code) + " needs a finite number";
            return false;
        }
        long number = 0;
        if (IsIntCode(code) && !ParseLong(value, number)) {
            why = at(lineNo) + "group code " + std::to_string(code) + " needs an integer";
            return false;
        }
        if (countsChecked && (InRange(code, 71, 76) || InRange(code, 90, 98)) &&
            number > pairsBound) {
            why =
                at(lineNo) + "a count of " + std::to_string(number) + " that the file cannot hold";
            return false;
        }
        const std::string_view v = Trim(value);
        if (expectName) {
            expectName = false;
            countsChecked = code == 2 && (v == "ENTITIES" || v == "BLOCKS");
        }
        if (code == 0) {
            if (v == "EOF") {
                if (inSection) {
                    why = at(lineNo) + "EOF inside a section";
                    return false;
                }
                if (!sawSection) {
                    why = at(lineNo) + "no section before EOF";
                    return false;
                }
                return true;
            }
            if (v == "SECTION") {
                if (inSection) {
                    why = at(lineNo) + "a section inside a section";
                    return false;
                }
                inSection = sawSection = expectName = true;
            } else if (v == "ENDSEC") {
                if (!inSection) {
                    why = at(lineNo) + "ENDSEC outside a section";
                    return false;
                }
                inSection = countsChecked = false;
            } else if (!inSection) {
                why = at(lineNo) + "an entry outside any section";
                return false;
            }
        }
    }
    why = "line " + std::to_string(lineNo) + ": the file ends before its EOF (truncated)";
    return false;
}

}  // namespace quillon_tool
