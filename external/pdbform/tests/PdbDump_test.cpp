// The dump tool run as a program on saved files.
#include <stdio.h>
#include <sys/wait.h>

#include <fstream>

#include "SampleFile.h"

namespace pdbform::test {
namespace {

class PdbDump : public TempDir {
  protected:
    // Runs pdbdump with `args`; its standard output and exit code.
    std::string Run(const std::string& args, int& code) {
        const char* bin = std::getenv("MORVAN_BIN_DIR");
        const std::string command =
            std::string(bin ? bin : ".") + "/pdbdump " + args + " 2>/dev/null";
        FILE* p = popen(command.c_str(), "r");
        std::string out;
        if (!p) return out;
        char buf[4096];
        for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
        const int status = pclose(p);
        code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return out;
    }
};

TEST_F(PdbDump, PrintsEveryPartAsUtf8JsonAndRefusesDamage) {
    PdbFile f = SampleFile();
    const std::string path = PathOf("DUMP.000");
    ASSERT_EQ(Save(f, path), Status::kOk);
    int code = -1;
    const std::string json = Run("--json " + path, code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(json.front(), '{');
    EXPECT_NE(json.find("\"face\": \"ＭＳ ゴシック\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"name\": \"表層\""), std::string::npos);
    EXPECT_NE(json.find("\"position\": 1, \"number\": 1, \"kind\": 2"), std::string::npos);
    EXPECT_NE(json.find("\"text\": \"AB\""), std::string::npos);
    EXPECT_NE(json.find("\"members\": [2]"), std::string::npos);
    const std::string text = Run(path, code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(text.find("elements (8)"), std::string::npos) << text;

    {
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(kBlockSize + 40);
        file.put('\x7f');  // inside the directory: its CRC no longer checks
    }
    EXPECT_EQ(Run(path, code), "");
    EXPECT_EQ(code, 1);
}

}  // namespace
}  // namespace pdbform::test
