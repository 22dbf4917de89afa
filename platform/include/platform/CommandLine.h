// Windows command lines as text: splitting one into arguments by the C runtime's rules,
// quoting an argument so that it splits back unchanged, and the running program's own
// line. All text is code page 932; double-byte characters are never split (a trail byte
// 0x5C is not a backslash). No processes are started here (Process.h does that).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The environment variable a started child finds its exact command line in.
inline constexpr const char kCommandLineVariable[] = "MORVAN_CMDLINE";

// Splits a Windows command line as the C runtime does (quotes, backslashes, blanks).
// The program name is read from the first character: a line that begins with a blank
// gives an empty first element. An empty line gives no elements.
[[nodiscard]] std::vector<std::string> SplitCommandLine(std::string_view commandLine);
// Quotes one argument so that SplitCommandLine gives it back unchanged.
[[nodiscard]] std::string QuoteArgument(std::string_view argument);

// The command line of the running program: MORVAN_CMDLINE when set and it splits into
// this program's arguments (a line inherited from an ancestor started by other means
// does not), else argv joined with QuoteArgument (argv converted from UTF-8 to code
// page 932).
[[nodiscard]] std::string GetCommandLineW(int argc, char** argv);

// The program a command line names: its first argument, leading blanks skipped ("" for
// a blank line).
[[nodiscard]] std::string ProgramOfCommandLine(std::string_view commandLine);

}  // namespace platform
