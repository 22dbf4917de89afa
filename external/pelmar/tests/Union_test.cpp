// The union of an extension file into a real PDB (written and read back with the PDB
// form library), the query for a converted PDB, refused inputs that leave the PDB as
// it was, and writers killed with SIGKILL in the middle of appends and unions.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "PelmarFixture.h"
#include "pdbform/FormIo.h"
#include "pdbform/PdbFile.h"

namespace pelmar_test {
namespace {

class PelmarUnion : public PelmarTest {
  protected:
    // A new empty PDB at `name`.
    void MakePdb(const std::string& name) const {
        std::array<std::uint8_t, pdbform::kBlockSize> head{};
        head[0] = 0x00;
        head[1] = 0x01;  // version 256
        pdbform::PdbFile pdb = pdbform::NewEmpty(head);
        ASSERT_EQ(pdbform::Save(pdb, Host(name).string()), pdbform::Status::kOk);
    }
    pdbform::PdbFile Load(const std::string& name) const {
        pdbform::PdbFile pdb;
        std::string why;
        EXPECT_EQ(pdbform::Load(Host(name).string(), pdb, &why), pdbform::Status::kOk) << why;
        return pdb;
    }
    // An extension file as a conversion writes it.
    void MakeExtFile(const std::string& name) const {
        const std::string f = Win(name);
        const float pattern[8] = {1, 0.5f, 1, 0.5f, 2, 0.5f, 1, 0.5f};
        const Bytes piece = Segment(0, 0, 1, 0);
        ASSERT_EQ(PDB_Put_HeadInfo(f.c_str(), 2), PELMAR_OK);
        ASSERT_EQ(PDB_DEF_LAYER_Plus(f.c_str(), 1, "壁", 0, 0, 255, 0.35), PELMAR_OK);
        ASSERT_EQ(PDB_ATT_LINE_Plus(f.c_str(), 3, 8, pattern), PELMAR_OK);
        ASSERT_EQ(PDB_Put_hole_prm(f.c_str(), 4, 1, piece.data()), PELMAR_OK);
        ASSERT_EQ(PDB_Put_hole_prmEnd(f.c_str(), 4, 1), PELMAR_OK);
        ASSERT_EQ(PDB_Put_PenInfo_CL(f.c_str(), 1, 0, 0, 0, 0.13, 1, 1), PELMAR_OK);
        ASSERT_EQ(PDB_Put_TrueTypeFontName(f.c_str(), 100, "ＭＳ 明朝"), PELMAR_OK);
    }
    // The tagged entries of an extension file, read back independently.
    std::vector<pdbform::ExtensionEntry> EntriesOf(const Bytes& file) const {
        std::vector<pdbform::ExtensionEntry> out;
        std::size_t pos = 16;
        while (pos + 8 <= file.size()) {
            const std::uint32_t length = file[pos + 4] | file[pos + 5] << 8 | file[pos + 6] << 16 |
                                         static_cast<std::uint32_t>(file[pos + 7]) << 24;
            const auto first = file.begin() + static_cast<std::ptrdiff_t>(pos + 8);
            out.push_back({static_cast<std::uint16_t>(file[pos] | file[pos + 1] << 8),
                           Bytes(first, first + length)});
            pos += 8 + length;
        }
        return out;
    }
};

TEST_F(PelmarUnion, MergesEntriesSetsTheFlagAndAnswersTheQuery) {
    MakePdb("ZU.PDB");
    MakeExtFile("ZU.F01");
    const std::string pdb = Win("ZU.PDB");
    const std::string ext = Win("ZU.F01");
    EXPECT_EQ(PDB_Query_PdmDataBase(pdb.c_str()), 0);  // a drawing-form file, not converted

    const Bytes extBytes = Read("ZU.F01");
    ASSERT_EQ(PDB_PdmExData_resize(ext.c_str()), PELMAR_OK);
    ASSERT_EQ(PDB_Union_DraftNPdmDataBase(pdb.c_str(), ext.c_str()), PELMAR_OK);

    const pdbform::PdbFile merged = Load("ZU.PDB");
    EXPECT_EQ(merged.flags & pdbform::kFlagExtensionMerged, pdbform::kFlagExtensionMerged);
    const auto want = EntriesOf(extBytes);
    ASSERT_EQ(want.size(), 7u);
    EXPECT_EQ(merged.extension, want);
    EXPECT_EQ(Read("ZU.F01"), extBytes);  // the union does not change the extension file
    EXPECT_NE(PDB_Query_PdmDataBase(pdb.c_str()), 0);
}

TEST_F(PelmarUnion, QueryIsZeroForWhatIsNotAConvertedPdb) {
    EXPECT_EQ(PDB_Query_PdmDataBase(nullptr), 0);
    EXPECT_EQ(PDB_Query_PdmDataBase(Win("MISSING.000").c_str()), 0);
    EXPECT_EQ(PDB_Query_PdmDataBase("Q:\\ZU.000"), 0);
    Write("JUNK.000", Bytes(40960, 0x31));
    EXPECT_EQ(PDB_Query_PdmDataBase(Win("JUNK.000").c_str()), 0);
    MakePdb("EMPTY.000");
    EXPECT_EQ(PDB_Query_PdmDataBase(Win("EMPTY.000").c_str()), 0);
}

// A union that cannot be done says why and leaves the PDB byte for byte as it was.
TEST_F(PelmarUnion, FailedUnionLeavesThePdbAsItWas) {
    MakePdb("ZU.PDB");
    MakeExtFile("ZU.F01");
    const std::string pdb = Win("ZU.PDB");
    const std::string ext = Win("ZU.F01");
    const Bytes original = Read("ZU.PDB");

    EXPECT_EQ(PDB_Union_DraftNPdmDataBase(pdb.c_str(), Win("NONE.F01").c_str()),
              PELMAR_E_NOT_FOUND);
    EXPECT_EQ(PDB_Union_DraftNPdmDataBase(Win("NONE.PDB").c_str(), ext.c_str()),
              PELMAR_E_NOT_FOUND);
    EXPECT_EQ(PDB_Union_DraftNPdmDataBase(nullptr, ext.c_str()), PELMAR_E_ARGUMENT);
    EXPECT_EQ(PDB_Union_DraftNPdmDataBase(pdb.c_str(), "Q:\\ZU.F01"), PELMAR_E_PATH);
    Bytes bad = Read("ZU.F01");
    bad[20] = 0x7F;  // the head entry's tag
    Write("BAD.F01", bad);
    EXPECT_EQ(PDB_Union_DraftNPdmDataBase(pdb.c_str(), Win("BAD.F01").c_str()),
              PELMAR_E_BAD_EXTFILE);
    EXPECT_FALSE(fs::exists(Host("NONE.PDB")));
    EXPECT_EQ(Read("ZU.PDB"), original);

    Bytes damaged = original;
    damaged[2048 + 40] ^= 0xFF;  // inside the directory: its CRC no longer checks
    Write("DAMAGED.PDB", damaged);
    EXPECT_EQ(PDB_Union_DraftNPdmDataBase(Win("DAMAGED.PDB").c_str(), ext.c_str()),
              PELMAR_E_BAD_PDB);
    EXPECT_EQ(Read("DAMAGED.PDB"), damaged);
}

// Kills `child` after `ms` milliseconds and reaps it; true when the kill ended it.
bool KillAfter(pid_t child, int ms) {
    // (no <chrono> here: this program is compiled with code page 932 literals)
    usleep(static_cast<useconds_t>(ms) * 1000);
    kill(child, SIGKILL);
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFSIGNALED(status);
}

// Unions killed at varying moments: the PDB always loads and holds whole unions only.
TEST_F(PelmarUnion, KilledUnionsNeverLeaveAHalfMergedPdb) {
    MakePdb("LIVE.PDB");
    MakeExtFile("LIVE.F01");
    const std::string pdb = Win("LIVE.PDB");
    const std::string ext = Win("LIVE.F01");
    const std::size_t perUnion = EntriesOf(Read("LIVE.F01")).size();
    std::size_t lastCount = 0;
    for (int round = 0; round < 12; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                if (PDB_Union_DraftNPdmDataBase(pdb.c_str(), ext.c_str()) != PELMAR_OK) _exit(3);
            }
        }
        ASSERT_TRUE(KillAfter(child, 3 + 9 * round)) << "the union loop ended by itself";
        const pdbform::PdbFile back = Load("LIVE.PDB");
        const std::size_t count = back.extension.size();
        EXPECT_EQ(count % perUnion, 0u) << count;
        EXPECT_GE(count, lastCount);
        EXPECT_EQ(back.flags & pdbform::kFlagExtensionMerged,
                  count > 0 ? pdbform::kFlagExtensionMerged : 0);
        lastCount = count;
    }
    EXPECT_GT(lastCount, 0u);
}

// Appends killed at varying moments: the file always validates and holds, in order,
// exactly the pens written before the kill (the last one possibly missing).
TEST_F(PelmarUnion, KilledAppendsKeepEveryCountedEntry) {
    const std::string ext = Win("PENS.F01");
    ASSERT_EQ(PDB_Put_HeadInfo(ext.c_str(), 0), PELMAR_OK);
    std::size_t lastCount = 1;
    for (int round = 0; round < 8; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Continue the numbering where the file stands.
            std::int16_t pen = static_cast<std::int16_t>(lastCount - 1);
            for (;;) {
                if (PDB_Put_PenInfo_CL(ext.c_str(), pen++, 0, 0, 0, 0.1, 0, 0) != PELMAR_OK) {
                    _exit(3);
                }
            }
        }
        ASSERT_TRUE(KillAfter(child, 2 + 5 * round)) << "the append loop ended by itself";
        ASSERT_EQ(PDB_PdmExData_resize(ext.c_str()), PELMAR_OK);
        const auto entries = EntriesOf(Read("PENS.F01"));
        ASSERT_GE(entries.size(), lastCount);
        for (std::size_t i = 1; i < entries.size(); ++i) {
            ASSERT_EQ(entries[i].tag, 3);
            ASSERT_EQ(entries[i].bytes[0] | entries[i].bytes[1] << 8, static_cast<int>(i - 1));
        }
        lastCount = entries.size();
    }
    EXPECT_GT(lastCount, 1u);
}

}  // namespace
}  // namespace pelmar_test
