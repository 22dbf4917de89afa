// The extension file through Pelmar's exports: the exact bytes each call appends,
// names cut on character boundaries, the order of hole pieces, refused arguments, the
// remains of an interrupted append, and damaged files that every call refuses.
#include <random>

#include "PelmarFixture.h"

namespace pelmar_test {
namespace {

class PelmarExtFile : public PelmarTest {};

TEST_F(PelmarExtFile, EveryCallAppendsItsEntry) {
    const std::string f = Win("ZU.F01");
    ASSERT_EQ(PDB_Put_HeadInfo(f.c_str(), 7), PELMAR_OK);
    EXPECT_EQ(Read("ZU.F01"), Bytes(Le().raw(Header(1)).entry(1, Le().u32(7))));

    const float pattern[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_EQ(PDB_Put_PenInfo_CL(f.c_str(), -5, 1, 2, 3, 0.25, 100, -200), PELMAR_OK);
    ASSERT_EQ(PDB_Put_TrueTypeFontName(f.c_str(), 101, "ＭＳ ゴシック"), PELMAR_OK);
    ASSERT_EQ(PDB_Put_PaintPenInfo_CL(f.c_str(), 9, 10, 20, 30, 0.13, 9, 1), PELMAR_OK);
    ASSERT_EQ(PDB_DEF_LAYER_Plus(f.c_str(), 255, "BASE", 255, 0, 128, 0.5), PELMAR_OK);
    ASSERT_EQ(PDB_ATT_SYMB_Plus(f.c_str(), 42, 0.8, 1, 2.5, -1.0), PELMAR_OK);
    ASSERT_EQ(PDB_ATT_LINE_Plus(f.c_str(), 43, 4, pattern), PELMAR_OK);   // 8 floats
    ASSERT_EQ(PDB_ATT_LINE_Plus(f.c_str(), 44, 12, pattern), PELMAR_OK);  // segcnt floats

    Le want;
    want.raw(Header(8)).entry(1, Le().u32(7));
    want.entry(3, Le().u16(0xFFFB).u8(1).u8(2).u8(3).u8(0).f64(0.25).u32(100).u32(-200));
    want.entry(4, Le().u16(101).text("ＭＳ ゴシック", 32));
    want.entry(5, Le().u16(9).u8(10).u8(20).u8(30).u8(0).f64(0.13).u32(9).u32(1));
    want.entry(2, Le().u16(255).text("BASE", 16).u8(255).u8(0).u8(128).u8(0).f64(0.5));
    want.entry(6, Le().u32(42).f64(0.8).u32(1).f64(2.5).f64(-1.0));
    Le eight = Le().u32(43).u8(4).u8(8);
    for (int i = 0; i < 8; ++i) eight.f32(pattern[i]);
    want.entry(7, eight);
    Le twelve = Le().u32(44).u8(12).u8(12);
    for (float v : pattern) twelve.f32(v);
    want.entry(7, twelve);
    EXPECT_EQ(Read("ZU.F01"), want.bytes());
}

// Face names are cut to 31 bytes and layer names to 16, never inside a double-byte
// character (a full-width letter is two bytes; 表 has "\" as its trail byte).
TEST_F(PelmarExtFile, NamesAreCutOnCharacterBoundaries) {
    const std::string f = Win("ZU.F01");
    ASSERT_EQ(PDB_Put_HeadInfo(f.c_str(), 0), PELMAR_OK);
    const std::string fifteen = "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯ";  // 30 bytes
    ASSERT_EQ(fifteen.size(), 30u);
    const std::string faces[] = {"A" + fifteen, "AB" + fifteen, std::string(40, 'x')};
    const std::string cutFaces[] = {"A" + fifteen, "AB" + fifteen.substr(0, 28),
                                    std::string(31, 'x')};
    for (const std::string& name : faces) {
        ASSERT_EQ(PDB_Put_TrueTypeFontName(f.c_str(), 100, name.c_str()), PELMAR_OK);
    }
    const std::string layers[] = {"A" + fifteen.substr(0, 16), "表表表表表表表表", "L"};
    const std::string cutLayers[] = {"A" + fifteen.substr(0, 14), "表表表表表表表表", "L"};
    for (const std::string& name : layers) {
        ASSERT_EQ(PDB_DEF_LAYER_Plus(f.c_str(), 1, name.c_str(), 0, 0, 0, 0.0), PELMAR_OK);
    }
    Le want;
    want.raw(Header(7)).entry(1, Le().u32(0));
    for (const std::string& name : cutFaces) want.entry(4, Le().u16(100).text(name, 32));
    for (const std::string& name : cutLayers) {
        want.entry(2, Le().u16(1).text(name, 16).u32(0).f64(0.0));
    }
    EXPECT_EQ(Read("ZU.F01"), want.bytes());
}

TEST_F(PelmarExtFile, HolePiecesAreNumberedAndClosed) {
    const std::string f = Win("ZU.F01");
    ASSERT_EQ(PDB_Put_HeadInfo(f.c_str(), 0), PELMAR_OK);
    const Bytes s1 = Segment(0, 0, 1, 0);
    const Bytes s2 = Segment(1, 0, 1, 1);
    const Bytes arc = Le().u16(3).f64(1).f64(2).f64(3).f64(4).f64(5).f64(6);
    const Bytes c = Circle(5, 5, 2);
    ASSERT_EQ(PDB_Put_hole_prm(f.c_str(), 50, 1, s1.data()), PELMAR_OK);
    ASSERT_EQ(PDB_Put_hole_prmNext(f.c_str(), 50, 1, s2.data()), PELMAR_OK);
    ASSERT_EQ(PDB_Put_hole_prmNext(f.c_str(), 50, 1, arc.data()), PELMAR_OK);
    ASSERT_EQ(PDB_Put_hole_prmEnd(f.c_str(), 50, 1), PELMAR_OK);
    ASSERT_EQ(PDB_Put_hole_prm(f.c_str(), 50, 2, c.data()), PELMAR_OK);
    ASSERT_EQ(PDB_Put_hole_prmEnd(f.c_str(), 50, 2), PELMAR_OK);
    ASSERT_EQ(PDB_Put_hole_prmEnd(f.c_str(), 50, 3), PELMAR_OK);  // a hole without pieces
    const Bytes done = Read("ZU.F01");

    // A further piece needs the piece of the same hole right before it.
    EXPECT_EQ(PDB_Put_hole_prmNext(f.c_str(), 50, 3, s1.data()), PELMAR_E_ORDER);
    ASSERT_EQ(PDB_Put_hole_prm(f.c_str(), 60, 1, s1.data()), PELMAR_OK);
    EXPECT_EQ(PDB_Put_hole_prmNext(f.c_str(), 60, 2, s1.data()), PELMAR_E_ORDER);
    EXPECT_EQ(PDB_Put_hole_prmNext(f.c_str(), 61, 1, s1.data()), PELMAR_E_ORDER);
    // Only segments, arcs and circles are pieces.
    const Bytes unknown = Le().u16(5).f64(0).f64(0).f64(0).f64(0);
    EXPECT_EQ(PDB_Put_hole_prmNext(f.c_str(), 60, 1, unknown.data()), PELMAR_E_ARGUMENT);

    Le want;
    want.raw(Header(8)).entry(1, Le().u32(0));
    want.entry(8, Le().u32(50).u16(1).u16(0).raw(s1));
    want.entry(8, Le().u32(50).u16(1).u16(1).raw(s2));
    want.entry(8, Le().u32(50).u16(1).u16(2).raw(arc));
    want.entry(9, Le().u32(50).u16(1).u16(3));
    want.entry(8, Le().u32(50).u16(2).u16(0).raw(c));
    want.entry(9, Le().u32(50).u16(2).u16(1));
    want.entry(9, Le().u32(50).u16(3).u16(0));
    EXPECT_EQ(done, want.bytes());
    Bytes withLast = Le().raw(Header(9)).raw(Bytes(want.bytes().begin() + 16, want.bytes().end()));
    withLast = Le().raw(withLast).entry(8, Le().u32(60).u16(1).u16(0).raw(s1));
    EXPECT_EQ(Read("ZU.F01"), withLast);
}

TEST_F(PelmarExtFile, RefusedArgumentsWriteNothing) {
    const std::string f = Win("ZU.F01");
    const float pattern[8] = {};
    const Bytes s = Segment(0, 0, 1, 1);
    // Before PDB_Put_HeadInfo there is no file to append to.
    EXPECT_EQ(PDB_Put_PenInfo_CL(f.c_str(), 1, 0, 0, 0, 0.1, 0, 0), PELMAR_E_NOT_FOUND);
    EXPECT_FALSE(fs::exists(Host("ZU.F01")));
    EXPECT_EQ(PDB_Put_HeadInfo(Win("NOFOLDER\\ZU.F01").c_str(), 0), PELMAR_E_NOT_FOUND);
    EXPECT_EQ(PDB_Put_HeadInfo(nullptr, 0), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_Put_HeadInfo("Q:\\ZU.F01", 0), PELMAR_E_PATH);
    EXPECT_EQ(PDB_Put_HeadInfo("", 0), PELMAR_E_PATH);

    ASSERT_EQ(PDB_Put_HeadInfo(f.c_str(), 3), PELMAR_OK);
    const Bytes before = Read("ZU.F01");
    EXPECT_EQ(PDB_Put_TrueTypeFontName(f.c_str(), 100, nullptr), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_DEF_LAYER_Plus(f.c_str(), 0, "L", 0, 0, 0, 0), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_DEF_LAYER_Plus(f.c_str(), 256, "L", 0, 0, 0, 0), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_DEF_LAYER_Plus(f.c_str(), 1, nullptr, 0, 0, 0, 0), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_ATT_SYMB_Plus(f.c_str(), 0, 1.0, 0, 0, 0), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_ATT_LINE_Plus(f.c_str(), -1, 8, pattern), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_ATT_LINE_Plus(f.c_str(), 1, 8, nullptr), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_Put_hole_prm(f.c_str(), 1, 0, s.data()), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_Put_hole_prm(f.c_str(), 1, 65536, s.data()), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_Put_hole_prm(f.c_str(), 1, 1, nullptr), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_Put_hole_prmEnd(f.c_str(), 0, 1), PELMAR_E_ARGUMENT);
    EXPECT_EQ(Read("ZU.F01"), before);
}

// PDB_Put_HeadInfo starts over whatever an earlier run left at the name.
TEST_F(PelmarExtFile, HeadInfoReplacesAnOldFile) {
    Write("ZU.F01", Bytes(5000, 0xAB));
    ASSERT_EQ(PDB_Put_HeadInfo(Win("ZU.F01").c_str(), 12), PELMAR_OK);
    EXPECT_EQ(Read("ZU.F01"), Bytes(Le().raw(Header(1)).entry(1, Le().u32(12))));
}

// Bytes after the counted entries are an append that was cut short: the next append
// writes over them, and resize drops them; counted entries are never touched.
TEST_F(PelmarExtFile, RemainsOfAnInterruptedAppendAreDropped) {
    const std::string f = Win("ZU.F01");
    ASSERT_EQ(PDB_Put_HeadInfo(f.c_str(), 1), PELMAR_OK);
    ASSERT_EQ(PDB_ATT_SYMB_Plus(f.c_str(), 7, 2.0, 0, 0, 0), PELMAR_OK);
    const Bytes counted = Read("ZU.F01");
    const Bytes torn = Le().u16(3).u16(0).u32(22).u32(0xDEADBEEF);

    Write("ZU.F01", Le().raw(counted).raw(torn));
    ASSERT_EQ(PDB_PdmExData_resize(f.c_str()), PELMAR_OK);
    EXPECT_EQ(Read("ZU.F01"), counted);
    ASSERT_EQ(PDB_PdmExData_resize(f.c_str()), PELMAR_OK);  // nothing left to drop
    EXPECT_EQ(Read("ZU.F01"), counted);

    // A longer tail than the new entry is cut after it.
    Write("ZU.F01", Le().raw(counted).raw(Bytes(300, 0x55)));
    ASSERT_EQ(PDB_Put_hole_prmEnd(f.c_str(), 7, 1), PELMAR_OK);
    Bytes want = Le().raw(Header(3)).raw(Bytes(counted.begin() + 16, counted.end()));
    want = Le().raw(want).entry(9, Le().u32(7).u16(1).u16(0));
    EXPECT_EQ(Read("ZU.F01"), want);
}

// A valid file with one entry of every kind, for damaging.
Bytes ValidFile() {
    Le f;
    f.raw(Header(7)).entry(1, Le().u32(0));
    f.entry(3, Le().u16(1).u32(0).f64(0.1).u32(0).u32(0));
    f.entry(2, Le().u16(1).text("L", 16).u32(0).f64(0));
    Le line = Le().u32(3).u8(0).u8(8);
    for (int i = 0; i < 8; ++i) line.f32(1);
    f.entry(7, line);
    f.entry(8, Le().u32(4).u16(1).u16(0).raw(Segment(0, 0, 1, 1)));
    f.entry(8, Le().u32(4).u16(1).u16(1).raw(Circle(0, 0, 1)));
    f.entry(9, Le().u32(4).u16(1).u16(2));
    return f;
}

// Damaged files get PELMAR_E_BAD_EXTFILE from every call and are left as they are.
TEST_F(PelmarExtFile, DamagedFilesAreRefused) {
    const Bytes good = ValidFile();
    auto with = [&](std::size_t at, const Bytes& patch) {
        Bytes b = good;
        std::copy(patch.begin(), patch.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        return b;
    };
    const std::size_t pen = 16 + 12;  // first byte of the pen entry
    const std::size_t layer = pen + 30;
    const std::size_t line = layer + 38;
    const std::size_t piece1 = line + 46;
    const std::size_t piece2 = piece1 + 50;
    const std::size_t end = piece2 + 42;
    ASSERT_EQ(end + 16, good.size());
    const std::vector<std::pair<const char*, Bytes>> cases = {
        {"empty", {}},
        {"short header", Bytes(good.begin(), good.begin() + 10)},
        {"cut inside an entry", Bytes(good.begin(), good.end() - 5)},
        {"magic", with(0, Le().text("MVNPDBF", 8))},
        {"revision", with(8, Le().u32(2))},
        {"count 0", with(12, Le().u32(0))},
        {"count too large", with(12, Le().u32(0xFFFFFFFF))},
        {"count beyond the entries", with(12, Le().u32(8))},
        {"huge length", with(pen + 4, Le().u32(0xFFFFFFFF))},
        {"reserved word", with(pen + 2, Le().u16(1))},
        {"unknown tag", with(pen, Le().u16(77))},
        {"pen too short", with(pen + 4, Le().u32(21))},
        {"second head", with(pen, Le().u16(1))},
        {"head not first", with(16, Le().u16(3))},
        {"layer 0", with(layer + 8, Le().u16(0))},
        {"pattern of 7 floats", with(line + 13, Le().u8(7))},
        {"segcnt beyond the floats", with(line + 12, Le().u8(9))},
        {"element 0", with(line + 8, Le().u32(0))},
        {"piece type", with(piece1 + 16, Le().u16(6))},
        {"piece out of order", with(piece2 + 14, Le().u16(2))},
        {"first piece index", with(piece1 + 14, Le().u16(1))},
        {"hole 0", with(piece1 + 12, Le().u16(0))},
        {"end count", with(end + 14, Le().u16(1))},
    };
    const std::string f = Win("BAD.F01");
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        Write("BAD.F01", bytes);
        EXPECT_EQ(PDB_Put_PenInfo_CL(f.c_str(), 1, 0, 0, 0, 0, 0, 0), PELMAR_E_BAD_EXTFILE);
        EXPECT_EQ(PDB_Put_hole_prmEnd(f.c_str(), 4, 1), PELMAR_E_BAD_EXTFILE);
        EXPECT_EQ(PDB_PdmExData_resize(f.c_str()), PELMAR_E_BAD_EXTFILE);
        EXPECT_EQ(Read("BAD.F01"), bytes);
    }
    Write("BAD.F01", good);
    EXPECT_EQ(PDB_PdmExData_resize(f.c_str()), PELMAR_OK);
}

// Every single-byte change of a valid file, and random bytes behind a valid header,
// end in a result, never in a crash or a read beyond the data (the sanitizer run).
TEST_F(PelmarExtFile, ArbitraryBytesNeverCrash) {
    const Bytes good = ValidFile();
    const std::string f = Win("FUZZ.F01");
    std::mt19937 rng(12345);
    for (std::size_t i = 0; i < good.size(); ++i) {
        Bytes b = good;
        b[i] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
        Write("FUZZ.F01", b);
        const std::int32_t rc = PDB_PdmExData_resize(f.c_str());
        EXPECT_TRUE(rc == PELMAR_OK || rc == PELMAR_E_BAD_EXTFILE) << i << " " << rc;
    }
    for (int round = 0; round < 200; ++round) {
        Bytes b = Header(rng() % 64);
        const std::size_t extra = rng() % 300;
        for (std::size_t i = 0; i < extra; ++i) b.push_back(static_cast<std::uint8_t>(rng() % 12));
        Write("FUZZ.F01", b);
        const std::int32_t rc = PDB_Put_hole_prmEnd(f.c_str(), 1, 1);
        EXPECT_TRUE(rc == PELMAR_OK || rc == PELMAR_E_BAD_EXTFILE) << round << " " << rc;
    }
}

}  // namespace
}  // namespace pelmar_test
