// Gristo through its exported function, against the real machine hive of a fresh prefix.
// Names are written with the platform layer as the product's drawing register writes
// them; the library reads them through its own private copy of that layer.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "SuitePrefix.h"
#include "gristo/Gristo.h"
#include "platform/Cp932.h"
#include "platform/Registry.h"

namespace {

using platform::RegRoot;

constexpr const char* kNamesKey = "SOFTWARE\\KEL\\GRISTO\\ZMNNAME";

class GristoTest : public ::testing::Test {
  protected:
    // The library reads MORVAN_PREFIX once per process, so the test program has one
    // prefix and every test starts without any name.
    static void SetUpTestSuite() { converter_test::MakeSuitePrefix("morvan-gristo", prefix_); }
    static void TearDownTestSuite() { converter_test::RemoveSuitePrefix(prefix_); }
    void SetUp() override { (void)platform::RegDeleteTree(RegRoot::LocalMachine, kNamesKey); }

    static void Set(const std::string& name, const std::string& value) {
        platform::RegKey key;
        ASSERT_EQ(platform::RegCreateKey(RegRoot::LocalMachine, kNamesKey, key), 0u);
        ASSERT_EQ(platform::RegSetString(key, name, value), 0u);
    }

    static inline std::filesystem::path prefix_;
};

// One call's result and the buffer's text. The buffer has exactly the contract's size
// (so the sanitizer sees any write past it) and starts as garbage, to show that a
// failure leaves an empty string.
struct Answer {
    int32_t rc;
    std::string text;
};
Answer Name(int32_t id, int32_t sheet = 0, int32_t reserved = 0) {
    std::vector<char> buffer(kZmnNameSize, 'x');
    int32_t rc = PdmIMG_ZmnID_GetZmnName(id, buffer.data(), sheet, reserved);
    return {rc, std::string(buffer.data(), strnlen(buffer.data(), buffer.size()))};
}

TEST_F(GristoTest, NamesAreReadByIdAndSheetAndFollowChanges) {
    Set("102", "本社ビル 1F 平面図");
    Set("102-2", "本社ビル 2F");
    Set("-7", "負のID");
    EXPECT_EQ(Name(102).rc, 0);
    EXPECT_EQ(Name(102).text, "本社ビル 1F 平面図");
    EXPECT_EQ(Name(102, 2).text, "本社ビル 2F");
    EXPECT_EQ(Name(102, 3).text, "本社ビル 1F 平面図");  // no name of its own: the drawing's
    EXPECT_EQ(Name(-7).text, "負のID");

    Set("102", "改訂後");
    EXPECT_EQ(Name(102).text, "改訂後");
}

TEST_F(GristoTest, UnknownIdsAndBadArgumentsLeaveAnEmptyName) {
    Answer none = Name(102);  // not even the key
    EXPECT_EQ(none.rc, 2);
    EXPECT_EQ(none.text, "");
    Set("101", "別の図面");
    Set("103", "");
    EXPECT_EQ(Name(102).rc, 2);
    EXPECT_EQ(Name(103).rc, 2);  // an empty name is no name
    EXPECT_EQ(Name(102, 1).rc, 2);

    Set("102", "図面");
    EXPECT_EQ(Name(102, -1).rc, 87);
    EXPECT_EQ(Name(102, 0, 1).rc, 87);
    EXPECT_EQ(Name(102, -1).text, "");
    EXPECT_EQ(PdmIMG_ZmnID_GetZmnName(102, nullptr, 0, 0), 87);

    // A mistyped sheet name is reported, not hidden behind the drawing's name.
    platform::RegKey key;
    ASSERT_EQ(platform::RegCreateKey(RegRoot::LocalMachine, kNamesKey, key), 0u);
    ASSERT_EQ(platform::RegSetValue(
                  key, {"102-4", platform::RegType::Dword, std::string("\x01\0\0\0", 4)}),
              0u);
    EXPECT_EQ(Name(102, 4).rc, 1629);
    EXPECT_EQ(Name(102, 4).text, "");
}

TEST_F(GristoTest, ALongNameIsCutOnACharacterBoundaryInsideTheBuffer) {
    const std::string fits(kZmnNameSize - 1, 'A');
    Set("1", fits);
    EXPECT_EQ(Name(1).text, fits);
    Set("1", fits + "B");
    EXPECT_EQ(Name(1).rc, 0);
    EXPECT_EQ(Name(1).text, fits);

    // "AB" then double-byte characters: the 255th byte is the first half of one.
    std::string wide = "AB";
    while (wide.size() < 400) wide += "図";
    Set("2", wide);
    Answer cut = Name(2);
    EXPECT_EQ(cut.rc, 0);
    EXPECT_EQ(cut.text.size(), static_cast<size_t>(kZmnNameSize - 2));
    EXPECT_TRUE(platform::IsValidCp932(cut.text));
    EXPECT_EQ(cut.text, wide.substr(0, kZmnNameSize - 2));
}

}  // namespace
