// The element walk with elements that fail, texts whose length word lies, elements not
// converted yet and an element larger than the first data buffer, against the real
// server, Quillon, Pelmar and monitor.
#include "WalkFixture.h"
#include "pdbform/Crc32.h"
#include "pdbform/FormIo.h"
#include "platform/Files.h"

namespace walk_test {
namespace {

class WalkFaults : public WalkFixture {};

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const Bytes& b, std::size_t at) {
    std::uint32_t v = 0;
    return LoadU32(b, at, v) ? v : 0;
}

// The file of `drawing` with the fixed-part length of its first element record raised by
// one: the form's checks pass (the section CRCs are made again), and Quillon meets the
// damage only when its cursor reaches that element.
Bytes WithFirstRecordDamaged(const pdbform::PdbFile& drawing) {
    Bytes b;
    EXPECT_EQ(pdbform::Serialize(drawing, b), pdbform::Status::kOk);
    const std::size_t dir = pdbform::kBlockSize;
    const std::uint32_t sections = std::min<std::uint32_t>(Get32(b, dir + 24), 100);
    std::size_t store = 0;
    for (std::uint32_t i = 0; i < sections; ++i) {
        const std::size_t e = dir + 32 + 20 * i;
        if ((b[e] | b[e + 1] << 8) == 2) store = Get32(b, e + 4) * pdbform::kBlockSize;
    }
    EXPECT_NE(store, 0u);
    b[store + 2] = static_cast<std::uint8_t>(b[store + 2] + 1);
    for (std::uint32_t i = 0; i < sections; ++i) {
        const std::size_t e = dir + 32 + 20 * i;
        const std::uint64_t first = std::uint64_t{Get32(b, e + 4)} * pdbform::kBlockSize;
        const std::uint64_t length = Get32(b, e + 8);
        if (first + length <= b.size()) {
            EXPECT_TRUE(StoreU32(b, e + 16, pdbform::Crc32(std::span(b).subspan(first, length))));
        }
    }
    EXPECT_TRUE(StoreU32(b, dir + 28, 0));
    EXPECT_TRUE(
        StoreU32(b, dir + 28, pdbform::Crc32(std::span(b).subspan(dir, pdbform::kBlockSize))));
    return b;
}

TEST_F(WalkFaults, DamagedElementFailsAsBadAndTheNextIsConverted) {
    pdbform::PdbFile drawing = WalkDrawing();
    ASSERT_NE(drawing.Append(Elem(2, 1, kSolidLine, {0, 0, 1, 1})), 0u);
    ASSERT_NE(drawing.Append(Elem(2, 1, kSolidLine, {0, 0, 5, 6})), 0u);
    const Bytes damaged = WithFirstRecordDamaged(drawing);
    ASSERT_EQ(platform::WriteFileBytes(kDrawing, std::string(damaged.begin(), damaged.end())), 0u);
    ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    EXPECT_EQ(Walk_AllElements(handle_), 0);
    EXPECT_EQ(Lines(*monitor), "      Error! Make_PDB_GetPut_Main() rtn[14] pid[1] pkd[0]\n");
    const pdbform::PdbFile pdb = CloseAndLoad();
    const auto got = Elements(pdb);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_DOUBLE_EQ(F64(got[0]->fixed, 30), 6);
}

TEST_F(WalkFaults, FailingElementsAreLoggedAndTheWalkGoesOn) {
    pdbform::PdbFile drawing = WalkDrawing();
    ASSERT_NE(drawing.Append(Elem(2, 1, 99, {0, 0, 1, 1})), 0u);               // no attribute
    ASSERT_NE(drawing.Append(Elem(16, 1, kSolidLine)), 0u);                    // no blocks
    ASSERT_NE(drawing.Append(Elem(2, 1, kUnknownPenLine, {0, 0, 3, 3})), 0u);  // pen unknown
    pdbform::Element beyond = Elem(7, 1, kPlainText, {0, 0, 1, 0, 0});
    SetText(beyond, "短い", 200);
    ASSERT_NE(drawing.Append(beyond), 0u);
    pdbform::Element negative = Elem(8, 1, kPlainText, {0, 0, 1});
    SetText(negative, "負", -2);
    ASSERT_NE(drawing.Append(negative), 0u);
    pdbform::Element good = Elem(7, 2, kPlainText, {5, 5, 9, 5, 0});
    SetText(good, "正しい");
    ASSERT_NE(drawing.Append(good), 0u);

    Open(drawing);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    const int status = Walk_AllElements(handle_);
    const std::string lines = Lines(*monitor);
    const pdbform::PdbFile pdb = CloseAndLoad();

    EXPECT_EQ(status, 0);
    EXPECT_EQ(lines,
              "      Error! Make_PDB_GetPut_Main() rtn[11] pid[1] pkd[2]\n"
              "      Error! Make_PDB_GetPut_Main() rtn[11] pid[3] pkd[2]\n"
              "      Error! Make_PDB_GetPut_Main() rtn[14] pid[4] pkd[7]\n"
              "      Error! Make_PDB_GetPut_Main() rtn[14] pid[5] pkd[8]\n");
    // The line whose pen cannot be registered is written; the texts that lie are not.
    const auto got = Elements(pdb);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]->kind, 2);
    EXPECT_DOUBLE_EQ(F64(got[0]->fixed, 22), 3);
    EXPECT_EQ(got[1]->kind, 7);
    EXPECT_EQ(got[1]->Layer(), 2);
    EXPECT_EQ(std::string(got[1]->rest.begin(), got[1]->rest.end()), "正しい");
}

TEST_F(WalkFaults, TheLastElementsStatusIsTheWalks) {
    pdbform::PdbFile drawing = WalkDrawing();
    ASSERT_NE(drawing.Append(Elem(2, 1, kSolidLine, {0, 0, 1, 1})), 0u);
    ASSERT_NE(drawing.Append(Elem(4, 1, kUnknownPenLine, {0, 0, 1})), 0u);
    int status = -1;
    const pdbform::PdbFile pdb = Convert(drawing, status);
    EXPECT_EQ(status, 11);
    EXPECT_EQ(Elements(pdb).size(), 2u);
}

TEST_F(WalkFaults, PolylinesLargerThanTheFirstBufferAreConvertedWhole) {
    pdbform::PdbFile drawing = WalkDrawing();
    std::vector<double> xy;
    for (int i = 0; i < 5000; ++i) {
        xy.push_back(i * 0.5);
        xy.push_back((i % 7) - 3.25);
    }
    pdbform::Element polyline = Elem(6, 1, kSolidLine);
    SetI16(polyline, 6, kFacePaint3);
    SetPoints(polyline, xy);
    ASSERT_GT(polyline.rest.size(), kWalkDataInitial);
    ASSERT_NE(drawing.Append(polyline), 0u);
    pdbform::Element leader = Elem(10, 1, kThinLine);
    SetI16(leader, 6, kArrowType2);
    SetPoints(leader, {0, 0, 1, 1});
    ASSERT_NE(drawing.Append(leader), 0u);
    int status = -1;
    const pdbform::PdbFile pdb = Convert(drawing, status);
    EXPECT_EQ(status, 0);
    const auto got = Elements(pdb);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]->rest, polyline.rest);
    EXPECT_EQ(got[1]->rest, leader.rest);
}

TEST_F(WalkFaults, StopMarksKeepTheSignOfAHiddenCopy) {
    pdbform::PdbFile drawing = WalkDrawing();
    ASSERT_NE(drawing.Append(Elem(-2, 1, kSolidLine, {0, 0, 4, 4})), 0u);
    ASSERT_NE(drawing.Append(pdbform::MakeElement(-21, 0, 0, 0)), 0u);
    ASSERT_NE(drawing.Append(pdbform::MakeElement(-22, 0, 0, 0)), 0u);
    int status = -1;
    const pdbform::PdbFile pdb = Convert(drawing, status);
    EXPECT_EQ(status, 0);
    const auto got = Elements(pdb);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0]->kind, -2);
    EXPECT_DOUBLE_EQ(F64(got[0]->fixed, 30), 4);
    EXPECT_EQ(got[1]->kind, -21);
    EXPECT_EQ(got[2]->kind, -22);
}

TEST_F(WalkFaults, TraceSwitchesAddTheirLines) {
    pdbform::PdbFile drawing = WalkDrawing();
    pdbform::Element dimension = Elem(11, 2, kSolidLine, {0, 0, 10, 0});
    SetI16(dimension, 38, kArrowType2);
    ASSERT_NE(drawing.Append(dimension), 0u);
    ASSERT_NE(drawing.Append(Elem(1, 1, kPointPen2, {1, 1})), 0u);
    Open(drawing);
    auto monitor = StartMonitor();
    ASSERT_NE(monitor, nullptr);
    Walk_TraceSwitch() = TraceSwitch{true, true};
    const int status = Walk_AllElements(handle_);
    Walk_TraceSwitch() = TraceSwitch{};
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Lines(*monitor),
              "      db_get() pid[1] pkd[11] rtn[0]\n"
              "  寸法線\n"
              "      db_get() pid[2] pkd[1] rtn[0]\n");
    EXPECT_EQ(Elements(CloseAndLoad()).size(), 2u);
}

}  // namespace
}  // namespace walk_test
