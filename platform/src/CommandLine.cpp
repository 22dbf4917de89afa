// The Windows command-line text rules (CommandLine.h).
#include "platform/CommandLine.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Cp932.h"

namespace platform {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    // Blanks, quotes and backslashes are ASCII below the trail-byte range except "\"
    // (0x5C), so the walk steps over double-byte characters whole.
    auto copyChar = [&](std::string& out) {
        std::size_t len = CharLength(line, i);
        out.append(line.substr(i, len));
        i += len;
    };

    if (n == 0) return args;

    // The program name: quotes group, backslashes are literal. It starts at the very
    // first character, so a line that begins with a blank has an empty program name
    // and its first word is argv[1] (programs started with an application name and a
    // line such as " x -r FILE" rely on this).
    {
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '"') {
                quoted = !quoted;
                ++i;
            } else {
                copyChar(arg);
            }
        }
        args.push_back(std::move(arg));
    }

    while (true) {
        while (i < n && IsBlank(line[i])) ++i;
        if (i >= n) break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(line[i]))) {
            if (line[i] == '\\') {
                std::size_t count = 0;
                while (i < n && line[i] == '\\') {
                    ++count;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    // 2k backslashes + quote: k backslashes and the quote delimits;
                    // 2k+1: k backslashes and a literal quote.
                    arg.append(count / 2, '\\');
                    if (count % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(count, '\\');
                }
            } else if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';  // "" inside quotes is a literal quote
                    i += 2;
                } else {
                    quoted = !quoted;
                    ++i;
                }
            } else {
                copyChar(arg);
            }
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::string QuoteArgument(std::string_view argument) {
    bool needsQuotes = argument.empty();
    for (char c : argument) {
        if (IsBlank(c) || c == '"') needsQuotes = true;
    }
    if (!needsQuotes) return std::string(argument);
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (std::size_t i = 0; i < argument.size();) {
        std::size_t len = CharLength(argument, i);
        char c = argument[i];
        if (len == 1 && c == '\\') {
            ++backslashes;
            out += c;
        } else if (len == 1 && c == '"') {
            out.append(backslashes + 1, '\\');  // double the run, escape the quote
            out += '"';
            backslashes = 0;
        } else {
            out.append(argument.substr(i, len));
            backslashes = 0;
        }
        i += len;
    }
    out.append(backslashes, '\\');  // a run before the closing quote is doubled
    out += '"';
    return out;
}

std::string GetCommandLineW(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(Utf8ToCp932Lossy(argv[i] ? argv[i] : ""));
    // MORVAN_CMDLINE is inherited by every descendant; it is this program's own line
    // only when it splits into this program's arguments (a grandchild started by other
    // means still sees its parent's line).
    if (const char* env = std::getenv(kCommandLineVariable)) {
        std::vector<std::string> split = SplitCommandLine(env);
        if (split.size() == args.size() &&
            std::equal(split.begin() + (split.empty() ? 0 : 1), split.end(),
                       args.begin() + (args.empty() ? 0 : 1))) {
            return env;
        }
    }
    std::string line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (i) line += ' ';
        line += QuoteArgument(args[i]);
    }
    return line;
}

std::string ProgramOfCommandLine(std::string_view commandLine) {
    // The program is the first word of the line, leading blanks aside.
    while (!commandLine.empty() && IsBlank(commandLine.front())) commandLine.remove_prefix(1);
    std::vector<std::string> tokens = SplitCommandLine(commandLine);
    return tokens.empty() ? std::string() : tokens[0];
}

}  // namespace platform
