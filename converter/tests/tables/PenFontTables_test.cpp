// The pen and font tables during a walk: chunks of 100, the first registration of a key
// winning, adds outside a conversion, a chunk that cannot be allocated, and the font
// registration against the fonts really installed (IPA fonts and the FontSubstitutes
// names that morvan-prefix init seeds).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "TablesFixture.h"
#include "platform/Fonts.h"
#include "support/tables/FontRegister.h"
#include "support/util/FontCache.h"

namespace {

using tables_test::TablesFixture;

// Counts the chunks allocated and refuses every one past a limit.
int g_chunks = 0;
int g_chunkLimit = 1 << 30;
void* CountingAllocate(std::size_t bytes) {
    if (g_chunks >= g_chunkLimit) return nullptr;
    ++g_chunks;
    return std::calloc(1, bytes);
}

class PenFontTablesTest : public TablesFixture {
  protected:
    void Begin() {
        g_chunks = 0;
        g_chunkLimit = 1 << 30;
        ChunkChain_SetAllocatorForTesting(CountingAllocate);
        ASSERT_EQ(PdbHead_Begin("C:\\WORK\\ZU0001.F01", 1), 0);
        ASSERT_EQ(g_chunks, 2);  // the first chunk of each table
    }
    static PenEntry Pen(int n) {
        PenEntry pen{};
        EXPECT_EQ(PenTable_Get(n, pen), 1) << n;
        return pen;
    }
    static std::string FontName(int n) {
        FontNameEntry font{};
        if (FontNameTable_Get(n, font) == 0) return "(none)";
        return std::to_string(font.fontId) + ":" + font.name;
    }
};

TEST_F(PenFontTablesTest, PensFillChunksOfAHundredAndTheFirstOfEachNumberWins) {
    Begin();
    for (int pen = 1; pen <= 100; ++pen) PenTable_Add(pen, 1, 2, 3, 0.25, pen, 1);
    EXPECT_EQ(g_chunks, 2);
    PenTable_Add(5, 9, 9, 9, 9.0, 9, 9);      // present: the first colour stays
    PenTable_Add(65541, 8, 8, 8, 8.0, 8, 8);  // 5 again in 16 bits
    EXPECT_EQ(g_chunks, 2);
    PenTable_Add(-7, 200, 100, 50, 0.5, 31, 4);  // the 101st: a second chunk
    EXPECT_EQ(g_chunks, 3);

    EXPECT_EQ(Pen(5).red, 1);
    EXPECT_EQ(Pen(5).width, 0.25);
    EXPECT_EQ(Pen(100).penNo, 100);
    const PenEntry last = Pen(101);
    EXPECT_EQ(last.penNo, -7);
    EXPECT_EQ(last.red, 200);
    EXPECT_EQ(last.green, 100);
    EXPECT_EQ(last.blue, 50);
    EXPECT_EQ(last.width, 0.5);
    EXPECT_EQ(last.rgbCD, 31);
    EXPECT_EQ(last.widthCD, 4);
    PenEntry untouched{};
    untouched.penNo = 1234;
    EXPECT_EQ(PenTable_Get(102, untouched), 0);
    EXPECT_EQ(PenTable_Get(0, untouched), 0);
    EXPECT_EQ(PenTable_Get(-1, untouched), 0);
    EXPECT_EQ(untouched.penNo, 1234);
    PenTable_Add(-7, 1, 1, 1, 1.0, 1, 1);  // found in the second chunk too
    EXPECT_EQ(Pen(101).red, 200);
    EXPECT_EQ(PenTable_Get(102, untouched), 0);

    // Fonts: keyed by id the same way; the second name of id 130 is not taken.
    FontNameTable_Add(130, "IPAゴシック");
    FontNameTable_Add(130, "IPA明朝");
    FontNameTable_Add(65666, "IPA明朝");  // 130 in 16 bits
    FontNameTable_Add(131, nullptr);
    EXPECT_EQ(FontName(1), "130:IPAゴシック");
    EXPECT_EQ(FontName(2), "131:");
    EXPECT_EQ(FontName(3), "(none)");
}

TEST_F(PenFontTablesTest, NothingIsCollectedOutsideAConversion) {
    PenTable_Add(1, 1, 1, 1, 1.0, 1, 1);
    FontNameTable_Add(100, "IPAゴシック");
    FontNameTable_Register(100, "IPAゴシック");
    PenEntry pen{};
    FontNameEntry font{};
    EXPECT_EQ(PenTable_Get(1, pen), 0);
    EXPECT_EQ(FontNameTable_Get(1, font), 0);

    Begin();
    PenTable_Add(1, 1, 1, 1, 1.0, 1, 1);
    EXPECT_EQ(PdbHead_PutPensAndFonts(), 0);  // registers and frees
    PenTable_Add(2, 2, 2, 2, 2.0, 2, 2);
    EXPECT_EQ(PenTable_Get(1, pen), 0);

    // A second conversion starts from empty tables and does not leak the first's.
    Begin();
    PenTable_Add(3, 3, 3, 3, 3.0, 3, 3);
    Begin();
    EXPECT_EQ(PenTable_Get(1, pen), 0);
}

TEST_F(PenFontTablesTest, AChunkThatCannotBeAllocatedLosesOnlyThatEntry) {
    Begin();
    for (int pen = 1; pen <= 100; ++pen) PenTable_Add(pen, 0, 0, 0, 0.1, 0, 0);
    auto monitor = StartMonitor(1);
    ASSERT_NE(monitor, nullptr);
    g_chunkLimit = g_chunks;
    PenTable_Add(101, 1, 1, 1, 0.1, 0, 0);
    EXPECT_EQ(Lines(*monitor), "      PenTable_Add() 領域確保失敗 pen[101] count[100]\n");
    PenEntry pen{};
    EXPECT_EQ(PenTable_Get(101, pen), 0);

    // The walk goes on: fonts still fit their first chunk, and a later pen gets its
    // chunk once memory is there again.
    FontNameTable_Add(100, "IPAゴシック");
    EXPECT_EQ(FontName(1), "100:IPAゴシック");
    g_chunkLimit = 1 << 30;
    PenTable_Add(102, 2, 2, 2, 0.2, 0, 0);
    EXPECT_EQ(Pen(101).penNo, 102);
    EXPECT_EQ(Pen(100).penNo, 100);

    // Tables that cannot be created at all: reported, adds ignored, head still written.
    g_chunks = 0;
    g_chunkLimit = 1;
    EXPECT_EQ(PdbHead_Begin("C:\\WORK\\ZU0002.F01", 1), kPdbTablesNoMemory);
    EXPECT_TRUE(std::filesystem::exists(Work() / "ZU0002.F01"));
    PenTable_Add(1, 1, 1, 1, 1.0, 1, 1);
    EXPECT_EQ(PenTable_Get(1, pen), 0);
}

TEST_F(PenFontTablesTest, FacesAreRegisteredByPitchAsTheInstalledFontsSay) {
    ASSERT_EQ(platform::SeedFontSubstitutes(), 0u);
    // The fonts this test relies on (Debian's fonts-ipafont-*, fonts-dejavu-core).
    for (const char* face : {"IPA P明朝", "IPAゴシック", "@IPA Pゴシック", "DejaVu Sans"}) {
        platform::LogFontA font;
        ASSERT_EQ(Font_Find(face, font), 0) << "not installed: " << face;
    }
    Begin();
    std::string unknownLong = "AB";
    for (int i = 0; i < 20; ++i) unknownLong += "図";  // 42 bytes, byte 31 inside a character

    const std::vector<std::pair<int, std::string>> given = {
        {99, "IPA P明朝"},                  // below 100: never registered
        {100, "IPA P明朝"},                 // proportional, 明朝
        {101, "@IPA Pゴシック"},            // proportional, vertical
        {102, "ＭＳ Ｐ明朝"},               // proportional through FontSubstitutes
        {103, "@ＭＳ Ｐゴシック"},          // the same, vertical
        {104, "DejaVu Sans"},               // proportional, neither design: ゴシック
        {105, "IPAゴシック"},               // fixed pitch: kept
        {106, "@ＭＳ 明朝"},                // fixed through FontSubstitutes: kept
        {107, "未登録の明朝体"},            // not installed: kept
        {108, unknownLong},                 // not installed and too long: cut whole characters
        {100, "IPAゴシック"},               // id 100 again: the first registration stays
        {-32768 + 65536 * 2, "IPA P明朝"},  // 16 bits: -32768, below 100
    };
    for (const auto& [id, face] : given) EXPECT_EQ(FontNameTable_Register(id, face.c_str()), 0);

    EXPECT_EQ(FontName(1), "100:ＭＳ 明朝");
    EXPECT_EQ(FontName(2), "101:@ＭＳ ゴシック");
    EXPECT_EQ(FontName(3), "102:ＭＳ 明朝");
    EXPECT_EQ(FontName(4), "103:@ＭＳ ゴシック");
    EXPECT_EQ(FontName(5), "104:ＭＳ ゴシック");
    EXPECT_EQ(FontName(6), "105:IPAゴシック");
    EXPECT_EQ(FontName(7), "106:@ＭＳ 明朝");
    EXPECT_EQ(FontName(8), "107:未登録の明朝体");
    EXPECT_EQ(FontName(9), "108:" + unknownLong.substr(0, 30));
    EXPECT_EQ(FontName(10), "(none)");
}

}  // namespace
