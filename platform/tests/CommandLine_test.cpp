// Windows command lines as text: splitting by the C runtime's rules, quoting that splits
// back unchanged, the program a line names, and the running program's own line.
#include <cstdlib>

#include "TestPrefix.h"
#include "platform/CommandLine.h"

namespace platform {
namespace {

using test::Sj;

TEST(CommandLine, SplitsAsTheCRuntimeDoes) {
    struct Case {
        std::string line;
        std::vector<std::string> args;
    };
    const Case cases[] = {
        {"", {}},
        {"   ", {""}},
        {"prog a b", {"prog", "a", "b"}},
        {"prog\t a  ", {"prog", "a"}},
        {" x -r FILE", {"", "x", "-r", "FILE"}},  // leading blank: empty program name
        {"\"C:\\Program Files\\x.exe\" arg", {"C:\\Program Files\\x.exe", "arg"}},
        {"C:\\dir\\\"odd\" x", {"C:\\dir\\odd", "x"}},  // program name: backslashes literal
        {"p \"a b\" c", {"p", "a b", "c"}},
        {"p a\\\\b", {"p", "a\\\\b"}},                   // backslashes not before a quote
        {"p a\\\"b", {"p", "a\"b"}},                     // \" -> "
        {"p a\\\\\"b c\"", {"p", "a\\b c"}},            // \\" -> \ and opens quotes
        {"p \"a\\\\\\\"b\"", {"p", "a\\\"b"}},          // \\\" -> \"
        {"p \"\"", {"p", ""}},                           // empty argument
        {"p \"a\"\"b\"", {"p", "a\"b"}},                 // "" inside quotes
        {"p ab\"c d\"e f", {"p", "abc de", "f"}},
        {"p \"unterminated arg", {"p", "unterminated arg"}},
        {"p C:\\DIR\\", {"p", "C:\\DIR\\"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommandLine(c.line), c.args) << c.line;

    // A double-byte character ending in 0x5C before a quote is not an escape.
    EXPECT_EQ(SplitCommandLine("p \"" + Sj("表") + "\" x"), (std::vector<std::string>{"p", Sj("表"), "x"}));
}

TEST(CommandLine, QuoteArgumentRoundTrips) {
    const std::vector<std::string> args = {"plain", "two words", "", "tail\\", "tail dir\\", "q\"uote",
                                           "\\\\server\\share", "a\\\"b", Sj("表 ソ") + "\\"};
    std::string line = "prog";
    for (const auto& a : args) line += " " + QuoteArgument(a);
    std::vector<std::string> expected = {"prog"};
    expected.insert(expected.end(), args.begin(), args.end());
    EXPECT_EQ(SplitCommandLine(line), expected) << line;
}

// Reads the report written by platform-test-child --write.
TEST(CommandLine, OwnLineComesFromTheEnvironmentOnlyWhenItFits) {
    char a0[] = "prog", a1[] = "two words", a2[] = "x";
    char* argv[] = {a0, a1, a2, nullptr};
    setenv("MORVAN_CMDLINE", "C:\\DIR\\PROG.EXE  \"two words\"   x", 1);
    EXPECT_EQ(GetCommandLineW(3, argv), "C:\\DIR\\PROG.EXE  \"two words\"   x");
    // A line left over from an ancestor does not describe these arguments.
    setenv("MORVAN_CMDLINE", "other a b c", 1);
    EXPECT_EQ(GetCommandLineW(3, argv), "prog \"two words\" x");
    unsetenv("MORVAN_CMDLINE");
    EXPECT_EQ(GetCommandLineW(3, argv), "prog \"two words\" x");
}

TEST(CommandLine, ProgramIsTheFirstArgumentAfterLeadingBlanks) {
    EXPECT_EQ(ProgramOfCommandLine("  \"C:\\A B\\X.EXE\" -r"), "C:\\A B\\X.EXE");
    EXPECT_EQ(ProgramOfCommandLine("\tlha x"), "lha");
    EXPECT_EQ(ProgramOfCommandLine("   "), "");
    EXPECT_EQ(ProgramOfCommandLine(""), "");
}

}  // namespace
}  // namespace platform
