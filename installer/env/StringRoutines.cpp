#include "installer/env/StringRoutines.h"

#include <charconv>

#include "platform/Cp932.h"

// A blank (0x20) is never the trail byte of a double-byte character (trail bytes
// start at 0x40), so the blank routines may work byte by byte.

void RemoveBlanks(std::string& s) { std::erase(s, ' '); }

void CollapseBlanks(std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        if (c == ' ' && !out.empty() && out.back() == ' ') continue;
        out += c;
    }
    s = std::move(out);
}

void PadRight(int width, std::string& s) {
    if (width > 0 && s.size() < static_cast<std::size_t>(width)) s.resize(width, ' ');
}

void JoinPath(const std::string& dir, std::string& path) {
    // A leading "\" is always a character of its own: nothing stands before it.
    if (!path.empty() && path[0] == '\\') {
        path = dir + path;
    } else {
        path = dir + "\\" + path;
    }
}

bool EndsWithBackslash(const std::string& path) {
    const std::size_t last = platform::FindLastCharDbcs(path, '\\');
    return last != std::string::npos && last + 1 == path.size();
}

bool IsFullPath(const std::string& path) {
    // Both forms begin with single-byte characters, so no trail byte is looked at.
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') return true;
    const char drive = path.empty() ? '\0' : path[0];
    const bool letter = (drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z');
    return letter && path.size() >= 3 && path[1] == ':' && path[2] == '\\';
}

void EnsureTrailingBackslash(std::string& path) {
    if (!EndsWithBackslash(path)) path += '\\';
}

void RemoveTrailingBackslash(std::string& path) {
    if (EndsWithBackslash(path)) path.pop_back();
}

bool SplitCommandFields(const std::string& line, std::string& field, std::string& rest) {
    // A blank (0x20) is never the trail byte of a double-byte character.
    const std::size_t first = line.find(' ');
    if (first == std::string::npos) return false;
    const std::size_t second = line.find(' ', first + 1);
    if (second == std::string::npos || second == first + 1 || second + 1 >= line.size()) {
        return false;
    }
    field = line.substr(first + 1, second - first - 1);
    rest = line.substr(second + 1);
    return true;
}

void SplitPath(const std::string& path, std::string& dir, std::string& name) {
    const std::size_t cut = platform::FindLastPathDelimiter(path);
    if (cut == std::string::npos) {
        dir.clear();
        name = path;
    } else {
        dir = path.substr(0, cut + 1);
        name = path.substr(cut + 1);
    }
}

void VersionDownPath(const std::string& root, const std::string& a, const std::string& b,
                     std::string& path) {
    std::string dir, name;
    SplitPath(path, dir, name);
    path = root + "\\" + a + "\\" + b + "\\" + name;
}

bool ParseVersionNumber(std::string& s, double& value) {
    // Digits and "." are single bytes that never occur as trail bytes, so dropping
    // every other byte drops whole double-byte characters.
    std::erase_if(s, [](char c) { return !platform::IsAsciiDigit(c) && c != '.'; });
    int digits = 0;
    int points = 0;
    for (char c : s) (c == '.' ? points : digits)++;
    if (digits == 0 || points > 1) return false;
    double parsed = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), parsed);
    if (error != std::errc() || end != s.data() + s.size()) return false;
    value = parsed;
    return true;
}
