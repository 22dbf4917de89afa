// Files that cannot be served: every one gets a status from db_open_ex or from the
// call that reaches the damage, never a crash, a hang or a read beyond the data (the
// suite also runs under AddressSanitizer and UndefinedBehaviorSanitizer).
#include <sys/stat.h>

#include <fstream>
#include <random>

#include "Builder.h"
#include "pdbform/Crc32.h"

namespace quillon_test {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get32(const Bytes& b, std::size_t at) {
    std::uint32_t v = 0;
    return LoadU32(b, at, v) ? v : 0;
}
void Put32(Bytes& b, std::size_t at, std::uint32_t v) { (void)StoreU32(b, at, v); }

// Recomputes the CRC of every section that lies inside the file, then the
// directory's, so that changed bytes reach the checks behind the CRCs.
void Reseal(Bytes& b) {
    const std::size_t dir = pdbform::kBlockSize;
    const std::uint32_t k = std::min<std::uint32_t>(Get32(b, dir + 24), 100);
    for (std::uint32_t i = 0; i < k; ++i) {
        const std::size_t e = dir + 32 + 20 * i;
        const std::uint64_t first = std::uint64_t{Get32(b, e + 4)} * pdbform::kBlockSize;
        const std::uint64_t len = Get32(b, e + 8);
        if (first + len <= b.size())
            Put32(b, e + 16, pdbform::Crc32(std::span(b).subspan(first, len)));
    }
    Put32(b, dir + 28, 0);
    Put32(b, dir + 28, pdbform::Crc32(std::span(b).subspan(dir, pdbform::kBlockSize)));
}

std::size_t SectionStart(const Bytes& b, std::uint16_t id) {
    for (std::size_t e = pdbform::kBlockSize + 32; e + 20 <= 2 * pdbform::kBlockSize; e += 20) {
        if ((b[e] | b[e + 1] << 8) == id) return Get32(b, e + 4) * pdbform::kBlockSize;
    }
    ADD_FAILURE() << "no section " << id;
    return 0;
}

// True when the directory lists section `id` (the view does not decode the
// extension area, so damage inside it is not the view's to find).
bool Lists(const Bytes& b, std::uint16_t id) {
    const std::uint32_t k = std::min<std::uint32_t>(Get32(b, pdbform::kBlockSize + 24), 100);
    for (std::uint32_t i = 0; i < k; ++i) {
        const std::size_t e = pdbform::kBlockSize + 32 + 20 * i;
        if ((b[e] | b[e + 1] << 8) == id) return true;
    }
    return false;
}

std::string Write(const Bytes& b, const std::string& name) {
    std::ofstream(HostPath(name), std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    return WindowsPath(name);
}

struct Sample {
    Bytes bytes;
    std::uint32_t placement = 0, definition = 0, member = 0, line = 0;
};

// A drawing with every section a drawing has (no extension area).
Sample MakeSample() {
    Sample s;
    pdbform::PdbFile f = pdbform::NewEmpty(Head());
    f.lineAttributes.AppendRaw({});
    f.faceAttributes.AppendRaw({1, 2});
    f.pens.AppendRaw({0, 1, 1});
    f.fonts.AppendRaw({1, 0, 0, "FONT"});
    pdbform::Layer l;
    l.number = 1;
    f.layers.push_back(l);
    f.headTexts = pdbform::HeadTexts{};
    f.sheetInfo.entries[0] = Bytes(2048, 1);
    f.background = pdbform::BackgroundImage{1, true, "B", 0, 0, {}};
    s.line = f.Append(Make(2, 1, 1, {0, 0, 1, 1}));
    pdbform::Element poly = Make(6, 1, 1);
    poly.rest = Doubles({0, 0, 1, 0, 1, 1});
    const std::uint32_t polyPos = f.Append(poly);
    s.member = f.Append(Make(52, 1, 1, {0, 0, 1, 1}));
    s.definition = f.Append(Make(13, 1, 0));
    s.placement = f.Append(Make(25, 1, 0));
    f.definitions[s.definition].members = {s.member};
    pdbform::Placement p;
    p.definition = s.definition;
    f.placements[s.placement] = p;
    pdbform::Element area = Make(29, 1, 1);
    area.rest.assign(50, 0);
    const std::uint32_t areaPos = f.Append(area);
    f.paintAreas[areaPos] = pdbform::PaintArea{true, {s.line, polyPos}, {{true, {s.line}}}};
    pdbform::Element fill = Make(16, 1, 1);
    fill.rest.assign(100, 0);
    const std::uint32_t fillPos = f.Append(fill);
    f.fillHoles[fillPos].holes = {{pdbform::HolePiece{4, {}, {0, 0, 1, 0, 1, 1}}}};
    pdbform::Element text = Make(7, 1, 1);
    text.rest = {'A', 'B'};
    (void)f.Append(text);
    EXPECT_EQ(pdbform::Serialize(f, s.bytes), pdbform::Status::kOk);
    return s;
}

// Every call of the library over the whole drawing, as a converter and a curious
// caller would make them; counts the damaged statuses met. Bounded whatever the file.
int Exercise(DrawingHandle* h) {
    int damaged = 0;
    auto note = [&](std::int16_t s) {
        if (s == kQuillonDamaged || s == kQuillonReadError) ++damaged;
        return s;
    };
    std::vector<std::uint8_t> buf(70000);
    bool ended = false;
    note(db_head(h));
    for (int guard = 0; guard < 10000; ++guard) {
        std::int32_t pid = 0, other = 0;
        std::int16_t pkd = 0;
        note(db_get(h, &pkd, 2));
        note(db_rtn(h, &pid));
        std::uint16_t rest = 0;
        note(db_rest_record(h, &rest));
        note(db_get(h, buf.data(), 7));
        for (int i = 0; i < 40 && note(db_get(h, buf.data(), 16)) == 0; ++i) {
        }
        note(db_seek(h, pid));
        note(db_read_ex(h, buf.data()));
        if (note(db_rest_record(h, &rest)) == 0) note(db_get(h, buf.data(), rest));
        std::int16_t visible = 0;
        if (db_get_expaint_area_start(h, pid, &visible) == 0) {
            const std::int32_t n = db_get_expaint_areaprm_count(h);
            for (std::int32_t i = 0; i <= n; ++i)
                (void)db_get_expaint_areaprm(h, buf.data(), &other);
            (void)db_get_expaint_area_end(h);
        }
        if (db_get_hole_start(h, pid) == 0) {
            for (std::int32_t i = 1; i <= db_get_hole_count(h) && i < 1000; ++i) {
                (void)db_get_holeprm_start2(h, i, &visible);
                while (db_get_holeprm(h, buf.data()) == 0) {
                    (void)db_get_holeprm_data(h, buf.data(), 4800);
                }
                while (db_get_holeprm3(h, buf.data(), &other) == 0) {
                }
                (void)db_get_holeprm_end(h);
            }
            (void)db_get_hole_end(h);
        }
        note(db_seek(h, pid));
        note(db_skp(h));
        if (db_rtn(h, &pid) == kQuillonNoMore) {
            ended = true;
            break;
        }
    }
    EXPECT_TRUE(ended) << "the walk of seek and skip did not end";
    std::int16_t max = 0, a = 0, b = 0, skip = 0;
    (void)max_layer(h, &max);
    double record[kLayerRecordCount];
    std::vector<char> text(kBackgroundNameSize);
    for (std::int16_t lno = 0; lno <= 256; ++lno) {
        (void)rep_layer(h, lno, text.data(), &a, &b, record, &skip);
    }
    (void)get_sysnam(h, text.data(), &a);
    (void)get_pmsg(h, text.data());
    (void)get_gname(h, 10, text.data());
    (void)db_getkelfontinfomation(h, 1, &a, &b, text.data());
    (void)prtjkn_infrep(h, 1, 0, buf.data(), 2048);
    (void)get_mode_inf(h, 0, buf.data(), 2048);
    return damaged;
}

TEST(QuillonDamage, OpenStatuses) {
    DrawingHandle h{};
    EXPECT_EQ(db_open_ex(&h, WindowsPath("MISSING.000").c_str(), 2, 1), kQuillonOpenMissing);
    EXPECT_EQ(db_open_ex(&h, "C:\\QL", 2, 1), kQuillonOpenMissing);  // a folder
    ASSERT_EQ(mkfifo(HostPath("PIPE.000").c_str(), 0600), 0);
    EXPECT_EQ(db_open_ex(&h, WindowsPath("PIPE.000").c_str(), 2, 1), kQuillonOpenMissing);
    EXPECT_EQ(db_open_ex(&h, "Q:\\NO\\DRIVE.000", 2, 1), kQuillonOpenBadPath);
    EXPECT_EQ(db_open_ex(&h, nullptr, 2, 1), kQuillonOpenBadArgument);
    EXPECT_EQ(db_open_ex(nullptr, "C:\\X", 2, 1), kQuillonOpenBadArgument);
    Sample s = MakeSample();
    const std::string good = Write(s.bytes, "GOOD.000");
    EXPECT_EQ(db_open_ex(&h, good.c_str(), 1, 1), kQuillonOpenBadMode);
    EXPECT_EQ(db_head(&h), kQuillonBadHandle);  // a failed open leaves the handle empty

    Bytes shortFile(s.bytes.begin(), s.bytes.end() - 2048 * (s.bytes.size() / 2048 - 19));
    EXPECT_EQ(db_open_ex(&h, Write(shortFile, "SHORT.000").c_str(), 2, 1), kQuillonOpenBadFile + 4);
    Bytes version = s.bytes;
    version[1] = 0x20;
    EXPECT_EQ(db_open_ex(&h, Write(version, "VERSION.000").c_str(), 2, 1), kQuillonOpenBadFile + 5);
    Bytes crc = s.bytes;
    crc[SectionStart(crc, 18)] ^= 1;
    EXPECT_EQ(db_open_ex(&h, Write(crc, "CRC.000").c_str(), 2, 1), kQuillonOpenBadFile + 12);

    // Opening again on an open handle closes the first drawing.
    ASSERT_EQ(db_open_ex(&h, good.c_str(), 2, 1), 0);
    DrawingHandle first;
    std::memcpy(&first, &h, sizeof first);
    ASSERT_EQ(db_open_ex(&h, good.c_str(), 2, 1), 0);
    EXPECT_EQ(db_head(&first), kQuillonBadHandle);
    EXPECT_EQ(db_close(&h), 0);
}

TEST(QuillonDamage, HostileReferencesAndRecords) {
    const Sample s = MakeSample();
    DrawingHandle h{};
    // The placements section holds the placement (64 bytes), then the definition:
    // position, type, length, member count, members.
    const std::size_t def = SectionStart(s.bytes, 18) + 64;
    Bytes cycle = s.bytes;
    Put32(cycle, def + 12, s.placement);  // the definition's member is the placement itself
    Reseal(cycle);
    EXPECT_EQ(db_open_ex(&h, Write(cycle, "CYCLE.000").c_str(), 2, 1), kQuillonOpenBadFile + 18);
    Bytes dead = s.bytes;
    Put32(dead, def + 12, 90000);  // a member far outside the file
    Reseal(dead);
    EXPECT_EQ(db_open_ex(&h, Write(dead, "DEAD.000").c_str(), 2, 1), kQuillonOpenBadFile + 17);
    Bytes count = s.bytes;
    Put32(count, def + 8, 0x40000000);  // a member count the record cannot hold
    Reseal(count);
    EXPECT_EQ(db_open_ex(&h, Write(count, "COUNT.000").c_str(), 2, 1), kQuillonOpenBadFile + 16);

    // A record whose fixed length lies is met when the cursor reaches it: that
    // element gives kQuillonDamaged and the walk goes on to the next.
    Bytes record = s.bytes;
    const std::size_t store = SectionStart(record, 2);
    record[store + 2] = 39;  // the line's F: 38 -> 39
    Reseal(record);
    pdbform::PdbFile model;
    EXPECT_EQ(pdbform::Parse(record, model), pdbform::Status::kBadRecord);
    ASSERT_EQ(db_open_ex(&h, Write(record, "RECORD.000").c_str(), 2, 1), 0);
    EXPECT_EQ(db_head(&h), kQuillonDamaged);
    std::int32_t pid = 0;
    EXPECT_EQ(db_rtn(&h, &pid), kQuillonDamaged);
    EXPECT_EQ(pid, static_cast<std::int32_t>(s.line));
    std::int16_t pkd = 3;
    EXPECT_EQ(db_get(&h, &pkd, 2), kQuillonNotPositioned);
    EXPECT_EQ(db_seek(&h, pid), kQuillonDamaged);
    ASSERT_EQ(db_skp(&h), 0);
    EXPECT_EQ(db_get(&h, &pkd, 2), 0);
    EXPECT_EQ(pkd, 6);
    EXPECT_EQ(db_close(&h), 0);
}

// Random damage to a sample: the library refuses at open exactly what the whole-file
// reader refuses, except record heads, which it checks when the cursor reaches them.
TEST(QuillonDamage, RandomMutationsGiveStatusesAndAgreeWithTheFullReader) {
    const Sample s = MakeSample();
    std::mt19937 rng(20261208);
    int opened = 0, refused = 0, metDamage = 0;
    for (int round = 0; round < 400; ++round) {
        Bytes b = s.bytes;
        const int changes = 1 + static_cast<int>(rng() % 4);
        // Every third round damages the element records only (resealed below), so
        // that damage the cursor meets is tried as often as damage refused at open.
        const bool records = round % 3 == 0;
        const std::size_t store = SectionStart(b, 2);
        for (int i = 0; i < changes; ++i) {
            // Else mostly in the blocks that hold data: the head, directory and sections.
            const std::size_t limit =
                rng() % 4 == 0 ? b.size() : std::min<std::size_t>(b.size(), 16 * 2048);
            const std::size_t at = records ? store + rng() % 400 : rng() % limit;
            if (rng() % 3 == 0 && at + 4 <= b.size()) {
                Put32(b, at, rng() % 2 ? rng() : rng() % 300);
            } else {
                b[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            }
        }
        if (records || rng() % 2) Reseal(b);
        pdbform::PdbFile model;
        std::string why;
        const pdbform::Status full = pdbform::Parse(b, model, &why);
        DrawingHandle h{};
        const std::int16_t rc = db_open_ex(&h, Write(b, "FUZZ.000").c_str(), 2, 1);
        if (rc != 0) {
            ++refused;
            EXPECT_NE(full, pdbform::Status::kOk) << "round " << round;
            if (full != pdbform::Status::kBadRecord) {
                EXPECT_EQ(rc, kQuillonOpenBadFile + static_cast<int>(full)) << "round " << round;
            }
            continue;
        }
        ++opened;
        const int damaged = Exercise(&h);
        if (damaged > 0) ++metDamage;
        if (full == pdbform::Status::kOk) {
            EXPECT_EQ(damaged, 0) << "round " << round;
        } else if (!Lists(b, 32)) {
            EXPECT_EQ(full, pdbform::Status::kBadRecord) << "round " << round;
            EXPECT_GT(damaged, 0) << "round " << round << ": " << why;
        }
        EXPECT_EQ(db_close(&h), 0);
    }
    EXPECT_GT(opened, 10);
    EXPECT_GT(refused, 10);
    EXPECT_GT(metDamage, 0);  // some damage is only met by the cursor
    std::printf("opened %d refused %d damage met while reading %d\n", opened, refused, metDamage);
}

}  // namespace
}  // namespace quillon_test
