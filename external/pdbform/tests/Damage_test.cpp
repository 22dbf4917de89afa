// Damaged and hostile files: every one gets a status, never a crash or a read
// beyond the data (the suite also runs under AddressSanitizer).
#include <random>

#include "SampleFile.h"
#include "pdbform/Crc32.h"

namespace pdbform::test {
namespace {

std::uint32_t Get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
void Put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Recomputes every section CRC whose entry lies inside the file, then the
// directory's, so that a changed file passes the CRC checks and the deeper ones
// are reached.
void Reseal(std::vector<std::uint8_t>& b) {
    const std::size_t dir = kBlockSize;
    const std::uint32_t k = std::min<std::uint32_t>(Get32(b, dir + 24), 100);
    for (std::uint32_t i = 0; i < k; ++i) {
        const std::size_t e = dir + 32 + 20 * i;
        const std::uint64_t first = Get32(b, e + 4) * std::uint64_t{kBlockSize};
        const std::uint64_t len = Get32(b, e + 8);
        if (first + len <= b.size()) {
            Put32(b, e + 16, Crc32(std::span(b).subspan(first, len)));
        }
    }
    Put32(b, dir + 28, 0);
    Put32(b, dir + 28, Crc32(std::span(b).subspan(dir, kBlockSize)));
}

// The directory entry offset of section `id`.
std::size_t EntryOf(const std::vector<std::uint8_t>& b, std::uint16_t id) {
    for (std::size_t e = kBlockSize + 32; e < 2 * kBlockSize; e += 20) {
        if ((b[e] | b[e + 1] << 8) == id) return e;
    }
    ADD_FAILURE() << "no section " << id;
    return kBlockSize + 32;
}
std::size_t SectionStart(const std::vector<std::uint8_t>& b, std::uint16_t id) {
    return Get32(b, EntryOf(b, id) + 4) * kBlockSize;
}

class PdbFormDamage : public ::testing::Test {
  protected:
    void SetUp() override {
        PdbFile f = SampleFile(&positions_);
        ASSERT_EQ(Serialize(f, bytes_), Status::kOk);
        PdbFile check;
        ASSERT_EQ(Parse(bytes_, check), Status::kOk);
    }
    Status ParseBytes(const std::vector<std::uint8_t>& b) {
        PdbFile out;
        std::string why;
        const Status s = Parse(b, out, &why);
        if (s != Status::kOk) {
            EXPECT_FALSE(why.empty()) << static_cast<int>(s);
        }
        return s;
    }
    SamplePositions positions_;
    std::vector<std::uint8_t> bytes_;
};

TEST_F(PdbFormDamage, SectionsHaveTheirDocumentedSizes) {
    auto length = [&](std::uint16_t id) { return Get32(bytes_, EntryOf(bytes_, id) + 8); };
    auto count = [&](std::uint16_t id) { return Get32(bytes_, EntryOf(bytes_, id) + 12); };
    EXPECT_EQ(length(14), 2u * 108u);               // two layers
    EXPECT_EQ(length(15), 799u);                    // head texts
    EXPECT_EQ(count(16), 0b1010u);                  // sheet entries 2 and 4
    EXPECT_EQ(length(17), 276u);                    // background image
    EXPECT_EQ(length(18), (8u + 56u) + (8u + 8u));  // a placement and a one-member definition
    EXPECT_EQ(length(3), 6u + 4u * 10u);            // a line attribute of ten floats
    EXPECT_EQ(length(13), 38u);                     // a font
    EXPECT_EQ(Get32(bytes_, EntryOf(bytes_, 1) + 12), 1u);  // one index block
}

TEST_F(PdbFormDamage, TruncatedOrFlippedFilesAreRefused) {
    auto b = bytes_;
    b.resize(b.size() - kBlockSize);
    EXPECT_EQ(ParseBytes(b), Status::kBadBlockCount);
    b.resize(b.size() - 1);
    EXPECT_EQ(ParseBytes(b), Status::kBadFileSize);
    EXPECT_EQ(ParseBytes({}), Status::kBadFileSize);

    b = bytes_;
    b[kBlockSize + 20] ^= 0x01;  // next position, not resealed
    EXPECT_EQ(ParseBytes(b), Status::kBadDirectoryCrc);
    b = bytes_;
    b[kBlockSize] = 'X';
    EXPECT_EQ(ParseBytes(b), Status::kBadMagic);
    b = bytes_;
    b[SectionStart(b, 3) + 1] ^= 0x40;  // a line attribute's pen
    EXPECT_EQ(ParseBytes(b), Status::kBadSectionCrc);
    b = bytes_;
    b[SectionStart(b, 2) + Get32(b, EntryOf(b, 2) + 8)] = 1;  // padding after the store
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadSectionCrc);
    b = bytes_;
    Put32(b, kBlockSize + 12, Get32(b, kBlockSize + 12) + 1);
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadBlockCount);

    PdbFile untouched = SampleFile();
    EXPECT_EQ(Parse(b, untouched), Status::kBadBlockCount);
    EXPECT_EQ(untouched, SampleFile());  // a refused file leaves the model as it was
}

TEST_F(PdbFormDamage, BadSectionTablesAreRefused) {
    auto b = bytes_;
    Put32(b, EntryOf(b, 3) + 4, Get32(b, EntryOf(b, 2) + 4));  // line attributes over the store
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadSectionBounds);
    b = bytes_;
    Put32(b, EntryOf(b, 3) + 4, 1);  // over the directory
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadSectionBounds);
    b = bytes_;
    Put32(b, EntryOf(b, 3) + 8, 0xFFFFFFF0u);  // far beyond the file
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadSectionBounds);
    b = bytes_;
    b[EntryOf(b, 4)] = 3;  // a second section 3
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadSectionTable);
    b = bytes_;
    Put32(b, kBlockSize + 24, 101);
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadSectionTable);
}

TEST_F(PdbFormDamage, CountsThatDoNotFitAreRefused) {
    for (std::uint16_t id : {3, 9, 13}) {
        auto b = bytes_;
        Put32(b, EntryOf(b, id) + 12, 0xFFFFFFFFu);
        Reseal(b);
        EXPECT_EQ(ParseBytes(b), Status::kBadTable) << id;
    }
    for (std::uint16_t id : {18, 19, 20, 32}) {
        auto b = bytes_;
        Put32(b, EntryOf(b, id) + 12, 0x7FFFFFFFu);
        Reseal(b);
        EXPECT_EQ(ParseBytes(b), Status::kBadSection) << id;
    }
    auto b = bytes_;
    Put32(b, kBlockSize + 20, 0xFFFFFFF0u);  // next position far beyond the index
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadIndex);
    b = bytes_;
    Put32(b, SectionStart(b, 1) + 16 + 4, 0x7FFFFFFFu);  // position 1's record length
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadRecord);
    b = bytes_;
    b[SectionStart(b, 2) + 2] = 30;  // a line whose fixed part claims 30 bytes
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kBadRecord);
}

TEST_F(PdbFormDamage, ReferencesMustBeLiveAndPlacementsMustNotContainThemselves) {
    // The placements section: the placement record (8 + 56 bytes), then the
    // definition record, whose only member is at byte 64 + 12.
    const std::size_t member = 64 + 12;
    auto b = bytes_;
    ASSERT_EQ(Get32(b, SectionStart(b, 18) + member), positions_.member);
    Put32(b, SectionStart(b, 18) + member, 0x00FFFFFFu);
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kDeadReference);
    b = bytes_;
    Put32(b, SectionStart(b, 18) + member, 128);  // an index header position
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kDeadReference);
    b = bytes_;
    Put32(b, SectionStart(b, 18) + member, positions_.placement);
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kPlacementCycle);
    b = bytes_;
    Put32(b, SectionStart(b, 19) + 8, 9999);  // a paint area's boundary element
    Reseal(b);
    EXPECT_EQ(ParseBytes(b), Status::kDeadReference);

    // Nesting: a chain of 64 placements loads, one of 65 does not; a two-step cycle
    // is found through the definitions.
    for (int depth : {64, 65}) {
        PdbFile f = NewEmpty(Head());
        std::uint32_t inner = f.Append(MakeElement(2, 1, 0, 0));
        for (int i = 0; i < depth; ++i) {
            const std::uint32_t def = f.Append(MakeElement(13, 1, 0, 0));
            f.definitions[def].members = {inner};
            inner = f.Append(MakeElement(25, 1, 0, 0));
            f.placements[inner].definition = def;
        }
        EXPECT_EQ(f.CheckReferences(),
                  depth <= kMaxPlacementDepth ? Status::kOk : Status::kPlacementCycle);
    }
    PdbFile f = NewEmpty(Head());
    const std::uint32_t d1 = f.Append(MakeElement(13, 1, 0, 0));
    const std::uint32_t d2 = f.Append(MakeElement(13, 1, 0, 0));
    const std::uint32_t p1 = f.Append(MakeElement(75, 1, 0, 0));
    const std::uint32_t p2 = f.Append(MakeElement(75, 1, 0, 0));
    f.placements[p1].definition = d2;
    f.placements[p2].definition = d1;
    f.definitions[d1].members = {p1};
    f.definitions[d2].members = {p2};
    std::vector<std::uint8_t> out;
    EXPECT_EQ(Serialize(f, out), Status::kPlacementCycle);
}

TEST_F(PdbFormDamage, RandomMutationsNeverCrash) {
    std::mt19937 rng(20261208);
    int accepted = 0;
    // The written part of the sample (directory and sections) is where a change
    // matters; the zero padding past it only tests the padding check.
    std::size_t used = 0;
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (bytes_[i] != 0) used = i + 1;
    }
    for (int round = 0; round < 2000; ++round) {
        auto b = bytes_;
        const int changes = 1 + static_cast<int>(rng() % 4);
        for (int c = 0; c < changes; ++c) {
            const std::size_t at = kBlockSize + rng() % (used - kBlockSize);
            switch (rng() % 3) {
                case 0:
                    b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                    break;
                case 1:
                    b[at] = static_cast<std::uint8_t>(rng());
                    break;
                default:
                    b[at] = 0xFF;
                    break;
            }
        }
        if (round % 10 == 0) b.resize(rng() % b.size());
        if (round % 2 == 0 && b.size() >= 2 * kBlockSize) Reseal(b);
        PdbFile out;
        if (Parse(b, out) == Status::kOk) {
            ++accepted;
            // Whatever was accepted can be written and read again.
            std::vector<std::uint8_t> again;
            ASSERT_EQ(Serialize(out, again), Status::kOk) << round;
            PdbFile back;
            ASSERT_EQ(Parse(again, back), Status::kOk) << round;
        }
    }
    std::printf("accepted %d of 2000 mutated files\n", accepted);
}

}  // namespace
}  // namespace pdbform::test
