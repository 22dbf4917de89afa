// The bulk registration after the walk: every pen and font reaches the real Pelmar.DLL
// in the order the walk first met it, each with its log line at the real monitor; the
// extension file is merged into a PDB and read back through the PDB form library.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "TablesFixture.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"
#include "pelmar/Pelmar.h"
#include "support/ByteOrder.h"
#include "support/tables/FontRegister.h"

namespace {

using pdbform::ExtensionEntry;
using tables_test::TablesFixture;

constexpr const char* kExtPath = "C:\\WORK\\ZU0001.F01";
constexpr const char* kPdbPath = "C:\\WORK\\ZU0001.PDB";

// The extension entries as the PDB form describes them.
ExtensionEntry HeadEntry(std::int32_t kind) {
    ExtensionEntry e{1, std::vector<std::uint8_t>(4)};
    EXPECT_TRUE(StoreI32(e.bytes, 0, kind));
    return e;
}
ExtensionEntry PenEntryBytes(std::int16_t pen, std::uint8_t r, std::uint8_t g, std::uint8_t b,
                             double width, std::int32_t rgbCD, std::int32_t widthCD) {
    ExtensionEntry e{3, std::vector<std::uint8_t>(22)};
    EXPECT_TRUE(StoreI16(e.bytes, 0, pen));
    e.bytes[2] = r;
    e.bytes[3] = g;
    e.bytes[4] = b;
    EXPECT_TRUE(StoreF64(e.bytes, 6, width) && StoreI32(e.bytes, 14, rgbCD) &&
                StoreI32(e.bytes, 18, widthCD));
    return e;
}
ExtensionEntry FontEntryBytes(std::int16_t id, const std::string& name) {
    ExtensionEntry e{4, std::vector<std::uint8_t>(34)};
    EXPECT_TRUE(StoreI16(e.bytes, 0, id));
    std::memcpy(e.bytes.data() + 2, name.data(), name.size());
    return e;
}

class BulkRegistrationTest : public TablesFixture {
  protected:
    // Merges the extension file into a fresh empty PDB and returns its extension area.
    std::vector<ExtensionEntry> MergedEntries() {
        pdbform::PdbFile empty = pdbform::NewEmpty({});
        const std::string pdb = (Work() / "ZU0001.PDB").string();
        EXPECT_EQ(pdbform::Save(empty, pdb), pdbform::Status::kOk);
        EXPECT_EQ(PDB_PdmExData_resize(kExtPath), 0);
        EXPECT_EQ(PDB_Union_DraftNPdmDataBase(kPdbPath, kExtPath), 0);
        pdbform::PdbFile merged;
        std::string why;
        EXPECT_EQ(pdbform::Load(pdb, merged, &why), pdbform::Status::kOk) << why;
        return merged.extension;
    }
};

TEST_F(BulkRegistrationTest, PensAndFontsReachPelmarInWalkOrderWithTheirLogLines) {
    ASSERT_EQ(PdbHead_Begin(kExtPath, 4), 0);
    EXPECT_STREQ(PdbHead_ExtPath(), kExtPath);
    PenTable_Add(7, 255, 0, 128, 0.35, 12, 3);
    PenTable_Add(3, 0, 0, 0, 0.13, 1, 1);
    PenTable_Add(7, 1, 1, 1, 9.0, 0, 0);
    PenTable_Add(1200, 10, 20, 30, 1.5, -1, 40);
    FontNameTable_Register(120, "IPAゴシック");
    FontNameTable_Register(99, "IPAゴシック");
    FontNameTable_Register(101, "IPA P明朝");

    auto monitor = StartMonitor(7);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(PdbHead_PutPensAndFonts(), 0);
    EXPECT_EQ(Lines(*monitor),
              "1.ペン番号による色・線幅バッファのまとめて登録\n"
              " ( 1) pen[  7] r[255] g[  0] b[128] width[0.350000] rgbCD[12] widthCD[3]\n"
              " ( 2) pen[  3] r[  0] g[  0] b[  0] width[0.130000] rgbCD[1] widthCD[1]\n"
              " ( 3) pen[1200] r[ 10] g[ 20] b[ 30] width[1.500000] rgbCD[-1] widthCD[40]\n"
              "1.文字属性フォントIDによるTrueTypeフォント名バッファのまとめて登録\n"
              " ( 1) font[120] fontName[IPAゴシック]\n"
              " ( 2) font[101] fontName[ＭＳ 明朝]\n");

    const std::vector<ExtensionEntry> expected = {
        HeadEntry(4),
        PenEntryBytes(7, 255, 0, 128, 0.35, 12, 3),
        PenEntryBytes(3, 0, 0, 0, 0.13, 1, 1),
        PenEntryBytes(1200, 10, 20, 30, 1.5, -1, 40),
        FontEntryBytes(120, "IPAゴシック"),
        FontEntryBytes(101, "ＭＳ 明朝"),
    };
    EXPECT_EQ(MergedEntries(), expected);

    // The tables are gone: a second registration has nothing to send.
    PenEntry pen{};
    EXPECT_EQ(PenTable_Get(1, pen), 0);
}

TEST_F(BulkRegistrationTest, EmptyTablesWriteOnlyTheTwoHeaderLines) {
    ASSERT_EQ(PdbHead_Begin(kExtPath, 5), 0);
    auto monitor = StartMonitor(2);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(PdbHead_PutPensAndFonts(), 0);
    EXPECT_EQ(Lines(*monitor),
              "1.ペン番号による色・線幅バッファのまとめて登録\n"
              "1.文字属性フォントIDによるTrueTypeフォント名バッファのまとめて登録\n");
    EXPECT_EQ(MergedEntries(), std::vector<ExtensionEntry>{HeadEntry(5)});
}

TEST_F(BulkRegistrationTest, AWriterThatCannotWriteIsLoggedAndReportedNotTakenForSuccess) {
    // No folder C:\MISSING: Pelmar cannot begin the file, nor add to it.
    const char* lost = "C:\\MISSING\\ZU0001.F01";
    EXPECT_EQ(PdbHead_Begin(lost, 1), PELMAR_E_NOT_FOUND);
    PenTable_Add(2, 1, 2, 3, 0.5, 4, 5);
    FontNameTable_Add(100, "IPAゴシック");

    auto monitor = StartMonitor(6);
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(PdbHead_PutPensAndFonts(), PELMAR_E_NOT_FOUND);
    EXPECT_EQ(Lines(*monitor),
              "1.ペン番号による色・線幅バッファのまとめて登録\n"
              " ( 1) pen[  2] r[  1] g[  2] b[  3] width[0.500000] rgbCD[4] widthCD[5]\n"
              "      PDB_Put_PenInfo_CL() 登録失敗 rc[-3]\n"
              "1.文字属性フォントIDによるTrueTypeフォント名バッファのまとめて登録\n"
              " ( 1) font[100] fontName[IPAゴシック]\n"
              "      PDB_Put_TrueTypeFontName() 登録失敗 rc[-3]\n");
}

}  // namespace
