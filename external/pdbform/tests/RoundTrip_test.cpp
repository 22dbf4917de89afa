#include <filesystem>

#include "SampleFile.h"
#include "pdbform/Positions.h"

namespace pdbform::test {
namespace {

class PdbFormRoundTrip : public TempDir {};

TEST_F(PdbFormRoundTrip, EverySectionReadsBackAsWritten) {
    PdbFile f = SampleFile();
    const std::string path = PathOf("DRAW.000");
    std::string why;
    ASSERT_EQ(Save(f, path, &why), Status::kOk) << why;
    EXPECT_EQ(f.generation, 1u);
    EXPECT_EQ(std::filesystem::file_size(path) % kBlockSize, 0u);
    EXPECT_GE(std::filesystem::file_size(path), 40960u);

    PdbFile back;
    ASSERT_EQ(Load(path, back, &why), Status::kOk) << why;
    EXPECT_EQ(back, f);
    EXPECT_EQ(back.layers[1].name.size(), 16u);
    EXPECT_EQ(back.MaxLayer(), 200);
    EXPECT_EQ(back.sheetInfo.DeviceId(1), 0x11111111);
    EXPECT_FALSE(back.sheetInfo.DeviceId(0));
    EXPECT_EQ(back.unknownSections.at(45).itemCount, 3u);

    // A second save of what was read is the same file but for the generation.
    ASSERT_EQ(Save(back, path), Status::kOk);
    PdbFile again;
    ASSERT_EQ(Load(path, again), Status::kOk);
    EXPECT_EQ(again.generation, 2u);
    again.generation = back.generation;
    EXPECT_EQ(again, back);
}

TEST_F(PdbFormRoundTrip, LongNamesAreCutBetweenCharacters) {
    PdbFile f = NewEmpty(Head());
    std::string face;
    for (int i = 0; i < 20; ++i) face += Sj("表");  // 40 bytes, the field keeps 31
    f.fonts.LookUpOrAdd({1, 0, 0, face});
    Layer l;
    l.number = 3;
    l.name = "X" + face;  // 41 bytes into a 16-byte field
    f.layers.push_back(l);
    const std::string path = PathOf("CUT.000");
    ASSERT_EQ(Save(f, path), Status::kOk);
    PdbFile back;
    ASSERT_EQ(Load(path, back), Status::kOk);
    EXPECT_EQ(back.fonts.Get(1)->faceName, face.substr(0, 30));
    EXPECT_EQ(back.layers[0].name, "X" + face.substr(0, 14));
    EXPECT_TRUE(platform::IsValidCp932(back.layers[0].name));
}

TEST_F(PdbFormRoundTrip, PositionsSkipIndexHeadersAndNumbersRunWithoutGaps) {
    PdbFile f = NewEmpty(Head());
    std::vector<std::uint32_t> positions;
    for (int i = 1; i <= 300; ++i) {
        Element e = MakeElement(1, 1, 0, 0);
        e.fixed[6] = static_cast<std::uint8_t>(i);
        positions.push_back(f.Append(e));
    }
    EXPECT_EQ(positions[126], 127u);
    EXPECT_EQ(positions[127], 129u);
    EXPECT_EQ(positions[253], 255u);
    EXPECT_EQ(positions[254], 257u);
    EXPECT_EQ(positions.back(), 302u);
    EXPECT_EQ(f.NextPosition(), 303u);

    const std::string path = PathOf("MANY.000");
    ASSERT_EQ(Save(f, path), Status::kOk);
    PdbFile back;
    ASSERT_EQ(Load(path, back), Status::kOk);
    std::uint32_t number = 0;
    for (const auto& [pos, e] : back.Elements()) {
        ++number;
        EXPECT_NE(pos % 128, 0u);
        EXPECT_EQ(pos, positions[number - 1]);
        EXPECT_EQ(ElementNumber(pos), number);
        EXPECT_EQ(PositionOfNumber(number), pos);
        EXPECT_EQ(e.fixed[6], static_cast<std::uint8_t>(number));
    }
    EXPECT_EQ(number, 300u);
    EXPECT_EQ(back.StateOf(128), SlotState::kNeverUsed);
    EXPECT_EQ(back.StateOf(303), SlotState::kNeverUsed);
}

TEST_F(PdbFormRoundTrip, RemovedPositionsStayRemovedAndAreNeverReused) {
    SamplePositions p;
    PdbFile f = SampleFile(&p);
    const std::uint32_t next = f.NextPosition();
    EXPECT_EQ(f.Remove(p.fill), SlotState::kLive);
    EXPECT_TRUE(f.fillHoles.empty());  // the fill's own record goes with it
    EXPECT_EQ(f.Remove(p.fill), SlotState::kRemoved);
    EXPECT_EQ(f.Remove(next + 5), SlotState::kNeverUsed);
    EXPECT_EQ(f.Remove(0), SlotState::kNeverUsed);
    EXPECT_EQ(f.Find(p.fill), nullptr);

    const std::string path = PathOf("REM.000");
    ASSERT_EQ(Save(f, path), Status::kOk);
    PdbFile back;
    ASSERT_EQ(Load(path, back), Status::kOk);
    EXPECT_EQ(back.StateOf(p.fill), SlotState::kRemoved);
    EXPECT_EQ(back.RemovedPositions(), std::vector<std::uint32_t>{p.fill});
    EXPECT_EQ(back.Append(MakeElement(1, 1, 0, 0)), next);

    // Removing an element that a definition still lists would write a file that does
    // not load: the save is refused and the old file stays.
    EXPECT_EQ(back.Remove(p.member), SlotState::kLive);
    std::string why;
    EXPECT_EQ(Save(back, path, &why), Status::kDeadReference);
    EXPECT_NE(why.find("member"), std::string::npos) << why;
    PdbFile old;
    EXPECT_EQ(Load(path, old), Status::kOk);
}

TEST_F(PdbFormRoundTrip, SmallestFileAndVersions) {
    PdbFile f = NewEmpty(Head());
    const std::string path = PathOf("EMPTY.000");
    ASSERT_EQ(Save(f, path), Status::kOk);
    EXPECT_EQ(std::filesystem::file_size(path), 40960u);
    PdbFile back;
    ASSERT_EQ(Load(path, back), Status::kOk);
    EXPECT_EQ(back.Version(), 256);
    EXPECT_TRUE(back.Elements().empty());
    EXPECT_EQ(back.Append(MakeElement(1, 1, 0, 0)), 1u);

    // 40,960 bytes with only a head: a drawing without a directory yet.
    std::vector<std::uint8_t> bare(40960, 0);
    bare[0] = 0x00;
    bare[1] = 0x01;  // 256
    PdbFile empty;
    EXPECT_EQ(Parse(bare, empty), Status::kOk);
    EXPECT_EQ(empty.Version(), 256);
    bare[0] = 4;  // 260: still accepted
    EXPECT_EQ(Parse(bare, empty), Status::kOk);
    bare[0] = 5;  // 261
    EXPECT_EQ(Parse(bare, empty), Status::kBadVersion);
    bare[0] = 249;
    bare[1] = 0;
    EXPECT_EQ(Parse(bare, empty), Status::kBadVersion);
    EXPECT_EQ(NewEmpty(Head(12)).Version(), kFormVersion);
    EXPECT_EQ(NewEmpty(Head(250)).Version(), 250);
}

TEST(PdbFormTables, EqualContentsShareOneId) {
    Table<LineAttribute> t;
    LineAttribute a;
    a.pen = 1;
    LineAttribute b = a;
    b.floats[2] = 0.5f;
    EXPECT_EQ(t.LookUpOrAdd(a), 1);
    EXPECT_EQ(t.LookUpOrAdd(b), 2);
    EXPECT_EQ(t.LookUpOrAdd(a), 1);
    EXPECT_EQ(t.Size(), 2u);
    EXPECT_EQ(t.Get(0), nullptr);
    EXPECT_EQ(t.Get(3), nullptr);
    EXPECT_EQ(t.Get(-1), nullptr);
    Table<PenEntry> pens;
    pens.LookUpOrAdd({7, 2, 9});
    ASSERT_NE(FindPen(pens, 7), nullptr);
    EXPECT_EQ(FindPen(pens, 7)->colourCode, 9);
    EXPECT_EQ(FindPen(pens, 8), nullptr);
}

}  // namespace
}  // namespace pdbform::test
