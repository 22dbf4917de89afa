// Fennoc through its exported functions, against the real registry of a fresh prefix.
// The settings are written with the platform layer as the product's set-up writes them;
// the library reads them through its own private copy of that layer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fennoc/Fennoc.h"
#include "platform/Prefix.h"
#include "platform/Registry.h"

namespace {

namespace fs = std::filesystem;
using platform::RegRoot;

constexpr const char* kPdmKey = "SOFTWARE\\KEL\\PDM";

class FennocTest : public ::testing::Test {
protected:
    // The library reads MORVAN_PREFIX once per process, so the test program has one
    // prefix and every test starts from an empty settings key.
    static void SetUpTestSuite() {
        std::string pattern = (fs::temp_directory_path() / "morvan-fennoc-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        prefix_ = pattern;
        fs::create_directories(fs::path(prefix_) / "dosdevices");
        fs::create_directories(fs::path(prefix_) / "drive_c");
        fs::create_directory_symlink("../drive_c", fs::path(prefix_) / "dosdevices" / "c:");
        setenv("MORVAN_PREFIX", prefix_.c_str(), 1);
        platform::ResetPrefixForTesting();
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(prefix_, ec);
    }
    void SetUp() override { (void)platform::RegDeleteTree(RegRoot::CurrentUser, kPdmKey); }

    static void Set(const std::string& name, const std::string& value) {
        platform::RegKey key;
        ASSERT_EQ(platform::RegCreateKey(RegRoot::CurrentUser, kPdmKey, key), 0u);
        ASSERT_EQ(platform::RegSetString(key, name, value), 0u);
    }

    static std::string prefix_;
};

std::string FennocTest::prefix_;

// The answer of one call: its result and the buffer's text. The buffer is exactly the
// contract's size (so the sanitizer sees any write past it) and starts as garbage, to
// show that a failure leaves an empty string.
struct Answer {
    int rc;
    std::string text;
};
template <typename F>
Answer Ask(F call) {
    std::vector<char> buffer(kPdmIniPathSize, 'x');
    int rc = call(buffer.data());
    return {rc, std::string(buffer.data(), strnlen(buffer.data(), buffer.size()))};
}
Answer Tmp(int key) {
    return Ask([key](char* b) { return PdmIni_GetTmpDir(key, b); });
}
Answer Pdm() { return Ask(PdmIni_GetPdmDir); }
Answer Progs() { return Ask(PdmIni_GetKelprogsDir); }

#define EXPECT_ANSWER(answer, expected) \
    do {                                \
        Answer a_ = (answer);           \
        EXPECT_EQ(a_.rc, 0) << a_.text; \
        EXPECT_EQ(a_.text, (expected)); \
    } while (0)
#define EXPECT_REFUSED(answer)  \
    do {                        \
        Answer a_ = (answer);   \
        EXPECT_NE(a_.rc, 0);    \
        EXPECT_EQ(a_.text, ""); \
    } while (0)

TEST_F(FennocTest, ReadsEachFolderAndTheKeyedTemporaryFolders) {
    Set("PDMDIR", "C:\\KEL\\PDM");
    Set("TMPDIR", "C:\\KEL\\PDM\\TMP");
    Set("KELPROGS", "C:\\KEL\\PROGS");
    Set("TMPDIR3", "C:\\TMP3");
    Set("TMPDIR0", "C:\\NOT-FOR-KEY-0");
    EXPECT_ANSWER(Pdm(), "C:\\KEL\\PDM");
    EXPECT_ANSWER(Progs(), "C:\\KEL\\PROGS");
    EXPECT_ANSWER(Tmp(0), "C:\\KEL\\PDM\\TMP");
    EXPECT_ANSWER(Tmp(3), "C:\\TMP3");
    EXPECT_ANSWER(Tmp(5), "C:\\KEL\\PDM\\TMP");  // no TMPDIR5: the common folder
    EXPECT_ANSWER(Tmp(-1), "C:\\KEL\\PDM\\TMP");

    // A changed setting is seen by the next call.
    Set("PDMDIR", "D:\\PDM2");
    EXPECT_ANSWER(Pdm(), "D:\\PDM2");
}

TEST_F(FennocTest, MissingEmptyOrMistypedSettingsAreRefused) {
    EXPECT_REFUSED(Pdm());  // no key at all
    EXPECT_REFUSED(Tmp(7));
    Set("TMPDIR", "");
    Set("KELPROGS", "\\");
    EXPECT_REFUSED(Pdm());  // the key, but not the value
    EXPECT_REFUSED(Tmp(0));
    EXPECT_REFUSED(Progs());

    platform::RegKey key;
    ASSERT_EQ(platform::RegCreateKey(RegRoot::CurrentUser, kPdmKey, key), 0u);
    platform::RegValueInfo dword{"PDMDIR", platform::RegType::Dword, std::string("\x01\0\0\0", 4)};
    ASSERT_EQ(platform::RegSetValue(key, dword), 0u);
    EXPECT_REFUSED(Pdm());

    EXPECT_NE(PdmIni_GetPdmDir(nullptr), 0);
    EXPECT_NE(PdmIni_GetTmpDir(0, nullptr), 0);
}

TEST_F(FennocTest, APathMustFitWithItsTerminatorAndLosesOnlyARealTrailingBackslash) {
    const std::string longest = "C:\\" + std::string(kPdmIniPathSize - 4, 'A');  // 259 bytes
    Set("PDMDIR", longest);
    EXPECT_ANSWER(Pdm(), longest);
    Set("PDMDIR", longest + "B");  // refused whole rather than cut to another folder
    EXPECT_REFUSED(Pdm());
    Set("PDMDIR", longest + "\\");  // fits once the "\" is removed
    EXPECT_ANSWER(Pdm(), longest);
    Set("TMPDIR", std::string(100000, 'Z'));
    EXPECT_REFUSED(Tmp(0));

    // 表 is 0x95 0x5C in code page 932: its second byte is not a separator.
    Set("TMPDIR", "C:\\表");
    EXPECT_ANSWER(Tmp(0), "C:\\表");
    Set("KELPROGS", "C:\\表\\");
    EXPECT_ANSWER(Progs(), "C:\\表");
    Set("PDMDIR", "C:\\KEL\\PDM\\");
    EXPECT_ANSWER(Pdm(), "C:\\KEL\\PDM");
}

}  // namespace
