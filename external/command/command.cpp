// COMMAND.EXE stand-in: the least of a command interpreter the installer needs.
//
//   COMMAND /C RMDIR /S/Q <directory>   removes the directory with everything in it
//
// (also "RD", and the switches as "/S /Q" or "/Q/S", in any letter case). The
// command line is taken exactly as the parent wrote it (MORVAN_CMDLINE, code page
// 932), so a directory name with double-byte characters whose second byte is "\"
// reaches us intact. Exit code 0 on success; 1 with a message on standard error for
// anything else (an unknown command, a missing directory, a tree that could not be
// removed).
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/CommandLine.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "COMMAND: %s\n", message.c_str());
    return 1;
}

// Skips the first token of a command line (the program, quoted or not) and blanks.
std::size_t SkipToken(const std::string& line, std::size_t pos) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    bool quoted = false;
    while (pos < line.size()) {
        char c = line[pos];
        if (c == '"') quoted = !quoted;
        if (!quoted && (c == ' ' || c == '\t')) break;
        pos += platform::CharLength(line, pos);
    }
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    return pos;
}

std::string NextWord(const std::string& line, std::size_t& pos) {
    std::size_t start = pos;
    std::size_t end = SkipToken(line, pos);
    pos = end;
    std::string word = line.substr(start, end - start);
    while (!word.empty() && (word.back() == ' ' || word.back() == '\t')) word.pop_back();
    return platform::UpperCaseAscii(word);
}

int RemoveDirectory(std::string dir) {
    while (!dir.empty() && (dir.back() == ' ' || dir.back() == '\t')) dir.pop_back();
    if (dir.size() >= 2 && dir.front() == '"' && dir.back() == '"') dir = dir.substr(1, dir.size() - 2);
    if (dir.empty()) return Fail("The syntax of the command is incorrect.");
    std::string host;
    if (platform::ToHostPath(dir, host) != 0) {
        return Fail("The system cannot find the path specified: " + platform::Cp932ToUtf8Lossy(dir));
    }
    std::error_code error;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(host, error))) {
        return Fail("The system cannot find the file specified: " + platform::Cp932ToUtf8Lossy(dir));
    }
    std::filesystem::remove_all(host, error);
    if (error) return Fail("cannot remove " + platform::Cp932ToUtf8Lossy(dir) + ": " + error.message());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string line = platform::GetCommandLineW(argc, argv);
    std::size_t pos = SkipToken(line, 0);
    if (NextWord(line, pos) != "/C") return Fail("only /C is supported: " + platform::Cp932ToUtf8Lossy(line));
    std::string verb = NextWord(line, pos);
    if (verb != "RMDIR" && verb != "RD") {
        return Fail("command not supported: " + platform::Cp932ToUtf8Lossy(line.substr(pos)));
    }
    // The switches /S and /Q, together or apart, in either order; both are required
    // so that a plain RMDIR (which would leave a non-empty directory) is not mistaken
    // for a tree removal.
    bool s = false, q = false;
    while (pos < line.size() && line[pos] == '/') {
        std::size_t save = pos;
        std::string word = NextWord(line, pos);
        for (std::size_t i = 0; i + 1 < word.size(); ++i) {
            if (word[i] != '/') continue;
            if (word[i + 1] == 'S') s = true;
            else if (word[i + 1] == 'Q') q = true;
        }
        if (pos == save) break;
    }
    if (!s || !q) return Fail("only RMDIR /S /Q is supported");
    return RemoveDirectory(line.substr(pos));
}
