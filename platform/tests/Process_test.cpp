// Child processes: program search, argv, exit codes, start failures.
#include <fcntl.h>
#include <unistd.h>

#include <fstream>

#include "TestPrefix.h"
#include "platform/CommandLine.h"
#include "platform/Process.h"

namespace platform {
namespace {

using test::PrefixTest;
using test::Sj;

namespace fs = std::filesystem;

std::vector<std::string> ReadReport(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

TEST_F(PrefixTest, ChildGetsArgvCommandLineAndDirectory) {
    InstallChild("CHILD.EXE");
    fs::create_directories(C("Work"));
    const fs::path report = prefix_ / "report.txt";

    // A descriptor without close-on-exec must not reach the child.
    int stray = open("/dev/null", O_RDONLY);
    ASSERT_GE(stray, 0);

    ProcessStart start;
    start.commandLine = "child \"two words\" " + Sj("表ソ") + " --write " + QuoteArgument(report.string());
    start.currentDirectory = "C:\\WORK";
    ChildProcess child;
    ASSERT_EQ(StartProcess(start, child), kErrorSuccess);
    EXPECT_EQ(child.Wait(), 0);
    close(stray);

    auto lines = ReadReport(report);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "argv[0]=child");
    EXPECT_EQ(lines[1], "argv[1]=two words");
    EXPECT_EQ(lines[2], "argv[2]=表ソ");  // UTF-8 on the host
    EXPECT_EQ(lines[5], "cwd=" + fs::canonical(C("Work")).string());
    EXPECT_EQ(lines[6], "cmdline=" + start.commandLine);  // the exact code page 932 bytes
    EXPECT_EQ(lines[7], "fds=");

    std::string found;
    start.commandLine = "  " + start.commandLine;  // leading blanks do not hide the program
    ASSERT_EQ(FindProgram(start, found), kErrorSuccess);
    // An application name with a line that starts with a blank (how LHA is called):
    // the first word reaches the program as argv[1].
    start.applicationName = "C:\\WINDOWS\\SYSTEM32\\CHILD.EXE";
    start.commandLine = " --write " + QuoteArgument(report.string()) + " x";
    start.currentDirectory.clear();
    ChildProcess second;
    ASSERT_EQ(StartProcess(start, second), kErrorSuccess);
    EXPECT_EQ(second.Wait(), 0);
    lines = ReadReport(report);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "argv[0]=");
    EXPECT_EQ(lines[1], "argv[1]=--write");
    EXPECT_EQ(lines[3], "argv[3]=x");
    EXPECT_TRUE(EqualsNoCase(found, "C:\\WINDOWS\\SYSTEM32\\CHILD.EXE")) << found;
}

TEST_F(PrefixTest, ExitCodesReadAsSigned) {
    InstallChild("CHILD.EXE");
    for (int code : {0, 1, -1, 127, -128}) {
        ProcessStart start;
        start.commandLine = "CHILD.EXE --exit " + std::to_string(code);
        ChildProcess child;
        ASSERT_EQ(StartProcess(start, child), kErrorSuccess);
        EXPECT_EQ(child.Wait(), code);
        EXPECT_EQ(child.Wait(), code);  // asking again gives the same answer
    }

    ProcessStart slow;
    slow.applicationName = "C:\\WINDOWS\\SYSTEM32\\child";
    slow.commandLine = "child --sleep 300 --exit 3";
    ChildProcess child;
    ASSERT_EQ(StartProcess(slow, child), kErrorSuccess);
    std::int32_t code = 0;
    EXPECT_FALSE(child.WaitFor(10, code));
    EXPECT_EQ(code, static_cast<std::int32_t>(kStillActive));
    EXPECT_TRUE(child.WaitFor(5000, code));
    EXPECT_EQ(code, 3);
}

TEST_F(PrefixTest, StartFailuresGiveWindowsCodes) {
    ProcessStart start;
    ChildProcess child;
    start.commandLine = "no-such-program arg";
    EXPECT_EQ(StartProcess(start, child), kErrorFileNotFound);
    EXPECT_FALSE(child.started());
    start.commandLine = "C:\\NODIR\\PROG.EXE";
    EXPECT_EQ(StartProcess(start, child), kErrorPathNotFound);

    std::ofstream(C("WINDOWS/SYSTEM32/TEXT.EXE")) << "not a program\n";
    fs::permissions(C("WINDOWS/SYSTEM32/TEXT.EXE"), fs::perms::owner_exec, fs::perm_options::add);
    start.commandLine = "TEXT";
    EXPECT_EQ(StartProcess(start, child), kErrorBadExeFormat);

    std::ofstream(C("WINDOWS/SYSTEM32/NOEXEC.EXE")) << "#!/bin/sh\n";
    fs::permissions(C("WINDOWS/SYSTEM32/NOEXEC.EXE"), fs::perms::owner_read | fs::perms::owner_write);
    start.commandLine = "NOEXEC";
    EXPECT_EQ(StartProcess(start, child), kErrorAccessDenied);

    std::ofstream(C("WINDOWS/SYSTEM32/SCRIPT.EXE")) << "#!/bin/sh\nexit 7\n";
    fs::permissions(C("WINDOWS/SYSTEM32/SCRIPT.EXE"), fs::perms::owner_all);
    start.commandLine = "script.exe";
    ASSERT_EQ(StartProcess(start, child), kErrorSuccess);
    EXPECT_EQ(child.Wait(), 7);
}

}  // namespace
}  // namespace platform
