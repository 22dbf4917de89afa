// Lutwin through its exported function, against the real machine hive of a fresh prefix:
// entries written with the platform layer and imported from a .reg file as a person
// would write it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "SuitePrefix.h"
#include "lutwin/Lutwin.h"
#include "platform/Registry.h"

namespace {

using platform::RegRoot;
using platform::RegType;

constexpr const char* kDevicesKey = "SOFTWARE\\KEL\\LUTWIN\\DEVICES";

class LutwinTest : public ::testing::Test {
  protected:
    // The library reads MORVAN_PREFIX once per process: one prefix for the program.
    static void SetUpTestSuite() { converter_test::MakeSuitePrefix("morvan-lutwin", prefix_); }
    static void TearDownTestSuite() { converter_test::RemoveSuitePrefix(prefix_); }
    void SetUp() override { (void)platform::RegDeleteTree(RegRoot::LocalMachine, kDevicesKey); }

    static void Set(const std::string& name, RegType type, const std::string& data) {
        platform::RegKey key;
        ASSERT_EQ(platform::RegCreateKey(RegRoot::LocalMachine, kDevicesKey, key), 0u);
        ASSERT_EQ(platform::RegSetValue(key, {name, type, data}), 0u);
    }
    static std::string Dword(uint32_t v) {
        return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                static_cast<char>(v >> 24)};
    }

    static inline std::filesystem::path prefix_;
};

TEST_F(LutwinTest, KnownDevicesAnswerTheirIdAsDwordOrDecimalText) {
    Set("12", RegType::Dword, Dword(7));
    Set("-3", RegType::Dword, Dword(0x12345678));
    Set("40", RegType::Dword, Dword(0xFFFFFFFE));  // read as signed
    Set("41", RegType::Sz, "305");
    Set("42", RegType::Sz, "-9");
    EXPECT_EQ(DevInf_GetSeleaseMID(12), 7);
    EXPECT_EQ(DevInf_GetSeleaseMID(-3), 0x12345678);
    EXPECT_EQ(DevInf_GetSeleaseMID(40), -2);
    EXPECT_EQ(DevInf_GetSeleaseMID(41), 305);
    EXPECT_EQ(DevInf_GetSeleaseMID(42), -9);

    Set("12", RegType::Dword, Dword(8));  // a change is seen by the next call
    EXPECT_EQ(DevInf_GetSeleaseMID(12), 8);
}

TEST_F(LutwinTest, UnknownOrUnreadableEntriesAnswerZero) {
    EXPECT_EQ(DevInf_GetSeleaseMID(12), 0);  // no key at all
    Set("12", RegType::Dword, Dword(7));
    EXPECT_EQ(DevInf_GetSeleaseMID(13), 0);
    EXPECT_EQ(DevInf_GetSeleaseMID(-12), 0);
    Set("1", RegType::Sz, "7 pens");
    Set("2", RegType::Sz, "");
    Set("3", RegType::Sz, "99999999999");
    Set("4", RegType::Binary, std::string("\x07\0\0\0", 4));
    Set("5", RegType::Dword, Dword(0));
    for (int32_t mid : {1, 2, 3, 4, 5}) EXPECT_EQ(DevInf_GetSeleaseMID(mid), 0) << mid;
}

TEST_F(LutwinTest, EntriesImportedFromARegFileAreRead) {
    const std::filesystem::path file = prefix_ / "devices.reg";
    std::ofstream(file) << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\KEL\\LUTWIN\\DEVICES]\n"
                           "\"101\"=dword:00000065\n\"102\"=\"2\"\n";
    ASSERT_EQ(platform::RegImportFile(file.string()), 0u);
    EXPECT_EQ(DevInf_GetSeleaseMID(101), 0x65);
    EXPECT_EQ(DevInf_GetSeleaseMID(102), 2);

    // A hive broken by hand makes every device unknown rather than failing the caller.
    const std::filesystem::path hive = prefix_ / "system.reg";
    std::filesystem::copy_file(hive, prefix_ / "system.good");
    std::ofstream(hive, std::ios::app) << "[HKEY_LOCAL_MACHINE\\\n";
    EXPECT_EQ(DevInf_GetSeleaseMID(101), 0);
    std::filesystem::rename(prefix_ / "system.good", hive);
}

}  // namespace
