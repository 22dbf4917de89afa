// The package-list codec: byte i is stored as (plain + i) mod 256.
#include "EngineMedium.h"
#include "installer/engine/PackageList.h"

namespace {

using namespace engine_test;

class PackageCodec : public EngineMedium {};

TEST_F(PackageCodec, RoundTripOfEveryByteValueAndPosition256Unchanged) {
    std::string plain;
    for (int i = 0; i < 600; ++i) plain += static_cast<char>((i * 7 + 3) & 0xFF);
    Write("C:\\P\\PLAIN", plain);
    std::string failed;
    ASSERT_TRUE(EncodePackageList("C:\\P\\PLAIN", "C:\\P\\package.5", failed)) << failed;
    std::string stored = Read("C:\\P\\package.5");
    ASSERT_EQ(stored.size(), plain.size());
    EXPECT_EQ(static_cast<unsigned char>(stored[0]), static_cast<unsigned char>(plain[0]));
    EXPECT_EQ(static_cast<unsigned char>(stored[1]), static_cast<unsigned char>(plain[1] + 1));
    EXPECT_EQ(static_cast<unsigned char>(stored[255]), static_cast<unsigned char>(plain[255] + 255));
    EXPECT_EQ(stored[256], plain[256]);
    EXPECT_EQ(stored[512], plain[512]);
    ASSERT_TRUE(DecodePackageList("C:\\P\\package.5", "C:\\P\\BACK", failed)) << failed;
    EXPECT_EQ(Read("C:\\P\\BACK"), plain);
}

TEST_F(PackageCodec, MissingSourceWritesNothing) {
    Write("C:\\P\\TARGET", "kept");
    std::string failed;
    EXPECT_TRUE(DecodePackageList("C:\\P\\NONE", "C:\\P\\TARGET", failed));
    EXPECT_TRUE(EncodePackageList("C:\\P\\NONE", "C:\\P\\OTHER", failed));
    EXPECT_EQ(Read("C:\\P\\TARGET"), "kept");
    EXPECT_FALSE(platform::FileExists("C:\\P\\OTHER"));
}

TEST_F(PackageCodec, UnwritableTargetOrUnreadableSourceIsReportedWithItsPath) {
    Write("C:\\P\\PLAIN", "PKG\r\n");
    // A folder where the list must be written, and one where a list must be read.
    ASSERT_EQ(platform::CreateDirectoryTree("C:\\P\\package.5\\X"), 0u);
    std::string failed;
    EXPECT_FALSE(EncodePackageList("C:\\P\\PLAIN", "C:\\P\\package.5", failed));
    EXPECT_EQ(failed, "C:\\P\\package.5");
    EXPECT_FALSE(DecodePackageList("C:\\P\\package.5", "C:\\P\\BACK", failed));
    EXPECT_EQ(failed, "C:\\P\\package.5");
    EXPECT_FALSE(platform::FileExists("C:\\P\\BACK"));
}

}  // namespace
