// Face lookup against the fonts really installed (the IPA fonts of the bootstrap), with
// and without the cache, and the byte layout the cache keeps.
#include "support/util/FontCache.h"

#include <array>
#include <cstring>

#include "converter/tests/util/UtilTestSupport.h"
#include "support/util/LogFontBytes.h"

namespace {

class FontLookup : public UtilTest {
  protected:
    void TearDown() override {
        FontCache_Destroy();
        UtilTest::TearDown();
    }
};

TEST_F(FontLookup, PitchTellsFixedFromProportional) {
    platform::LogFontA gothic;
    ASSERT_EQ(Font_Find("IPAGothic", gothic), 0);
    EXPECT_STREQ(gothic.faceName, "IPAGothic");
    EXPECT_EQ(gothic.pitchAndFamily & 0x03, platform::kFixedPitch);
    EXPECT_EQ(gothic.charSet, platform::kDefaultCharset);

    platform::LogFontA proportional;
    ASSERT_EQ(Font_Find("IPA Pゴシック", proportional), 0);
    EXPECT_NE(proportional.pitchAndFamily & platform::kVariablePitch, 0);
    EXPECT_EQ(proportional.charSet, platform::kDefaultCharset);

    // The byte form carries the same description at its fixed offsets.
    std::array<std::uint8_t, kLogFontSize> bytes{};
    ASSERT_EQ(Font_Find("IPA Pゴシック", bytes), 0);
    EXPECT_EQ(bytes[kLogFontPitchAndFamilyOffset], proportional.pitchAndFamily);
    EXPECT_EQ(bytes[kLogFontCharSetOffset], platform::kDefaultCharset);
    EXPECT_EQ(NameField(bytes, kLogFontFaceNameOffset, kFaceNameSize), proportional.faceName);
}

TEST_F(FontLookup, NamesThatFindNothing) {
    platform::LogFontA font;
    font.weight = 123;
    EXPECT_EQ(Font_Find("No Such Face", font), kFontNotInstalled);
    EXPECT_EQ(Font_Find(std::string_view(), font), kFontNullName);
    EXPECT_EQ(Font_Find("", font), kFontEmptyName);
    EXPECT_EQ(Font_Find("ipagothic", font), kFontNotInstalled);  // compared byte for byte
    EXPECT_EQ(font.weight, 123);
    FontCache_Create();
    EXPECT_EQ(Font_Find("No Such Face", font), kFontNotInstalled);
}

TEST_F(FontLookup, TheCacheEnumeratesOnce) {
    FontCache_Create();
    const int before = FontCache_EnumerationCount();
    platform::LogFontA font;
    ASSERT_EQ(Font_Find("IPAGothic", font), 0);
    ASSERT_EQ(Font_Find("IPA Pゴシック", font), 0);
    ASSERT_EQ(Font_Find("No Such Face", font), kFontNotInstalled);
    ASSERT_EQ(Font_Find("IPAゴシック", font), 0);
    EXPECT_EQ(FontCache_EnumerationCount(), before + 1);
    FontCache_Create();  // kept as it is
    ASSERT_EQ(Font_Find("IPAGothic", font), 0);
    EXPECT_EQ(FontCache_EnumerationCount(), before + 1);

    // Without a cache every lookup enumerates again.
    FontCache_Destroy();
    ASSERT_EQ(Font_Find("IPAGothic", font), 0);
    ASSERT_EQ(Font_Find("IPAGothic", font), 0);
    EXPECT_EQ(FontCache_EnumerationCount(), before + 3);
}

TEST(LogFontBytes, LayoutIsLittleEndianAtFixedOffsets) {
    platform::EnumLogFontExA d;
    d.logFont.height = -12;
    d.logFont.weight = 700;
    d.logFont.italic = 1;
    d.logFont.charSet = 128;
    d.logFont.pitchAndFamily = 0x31;
    std::strcpy(d.logFont.faceName, "ＭＳ ゴシック");
    // A full name that fills its whole field without a NUL: cut on a character
    // boundary, so that the NUL fits.
    std::string full;
    while (full.size() < 70) full += "表";
    std::memcpy(d.fullName, full.data(), sizeof d.fullName);
    std::strcpy(d.style, "Bold");
    std::strcpy(d.script, "日本語");

    std::array<std::uint8_t, kFontDescriptionSize> bytes{};
    bytes.fill(0xEE);
    EncodeFontDescription(d, bytes);
    EXPECT_EQ(bytes[0], 0xF4);
    EXPECT_EQ(bytes[3], 0xFF);
    EXPECT_EQ(bytes[16], 0xBC);  // 700 = 0x02BC
    EXPECT_EQ(bytes[17], 0x02);
    EXPECT_EQ(bytes[20], 1);
    EXPECT_EQ(bytes[23], 128);
    EXPECT_EQ(bytes[27], 0x31);
    EXPECT_EQ(NameField(bytes, 28, 32), "ＭＳ ゴシック");
    EXPECT_EQ(bytes[59], 0);
    EXPECT_EQ(NameField(bytes, kFullNameOffset, kFullNameSize), full.substr(0, 62));
    EXPECT_EQ(bytes[kFullNameOffset + 63], 0);
    EXPECT_EQ(NameField(bytes, kStyleOffset, kStyleSize), "Bold");
    EXPECT_EQ(NameField(bytes, kScriptOffset, kScriptSize), "日本語");

    const platform::LogFontA back =
        DecodeLogFont(std::span<const std::uint8_t>(bytes).first<kLogFontSize>());
    EXPECT_EQ(back.height, -12);
    EXPECT_EQ(back.weight, 700);
    EXPECT_EQ(back.pitchAndFamily, 0x31);
    EXPECT_STREQ(back.faceName, "ＭＳ ゴシック");
}

}  // namespace
