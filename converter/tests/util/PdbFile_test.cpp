// Input kinds, the PDB test and the direct head read, on real files of a fresh prefix.
#include "support/util/PdbFile.h"

#include <sys/stat.h>

#include <array>

#include "converter/tests/util/UtilTestSupport.h"
#include "support/util/FileKind.h"
#include "support/util/FileOps.h"

namespace {

using PdbFiles = UtilTest;

TEST_F(PdbFiles, KindsComeFromTheExtensionOfTheFileName) {
    // None of these files exists: the extension alone decides.
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\A.099"), 1);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\A.000"), 1);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\a.dxf"), 15);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\B.Tuf"), 2);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\B.PDF"), 19);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\表.DWG"), 16);
    testing::internal::CaptureStdout();
    // Not ".0" and two digits, and no PDB behind the name.
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\A.0X9"), 0);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\A.0991"), 0);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\A.100"), 0);
    // The dot of a folder name is not the file's extension.
    EXPECT_EQ(File_KindOfExt("C:\\D.099\\FILE"), 0);
    EXPECT_EQ(File_KindOfExt(std::string_view()), 0);
    testing::internal::GetCapturedStdout();
}

TEST_F(PdbFiles, AnUnknownExtensionIsADrawingWhenTheContentIsAPdb) {
    MakePdb("C:\\WORK\\PLAN.PDB", 40960, 255);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\PLAN.PDB"), 1);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\PLAN.pdb"), 1);
    // The kind test refuses a read-only PDB.
    ASSERT_EQ(platform::SetReadOnly("C:\\WORK\\PLAN.PDB", true), 0u);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\PLAN.PDB"), 0);
    // A listed extension is never looked into.
    MakePdb("C:\\WORK\\PLAN.TXT", 40960, 255);
    EXPECT_EQ(File_KindOfExt("C:\\WORK\\PLAN.TXT"), 12);
}

TEST_F(PdbFiles, ValidityNeedsSizeBlocksAndVersion) {
    MakePdb("C:\\P\\OK.PDB", 40960, 255);
    MakePdb("C:\\P\\SHORT.PDB", 40958, 255);
    MakePdb("C:\\P\\ODD.PDB", 43008 + 1, 255);
    MakePdb("C:\\P\\BIG.PDB", 43008, 250);
    MakePdb("C:\\P\\V260.PDB", 40960, 260);
    MakePdb("C:\\P\\V249.PDB", 40960, 249);
    MakePdb("C:\\P\\V261.PDB", 40960, 261);
    MakePdb("C:\\P\\HIGH.PDB", 40960, 0xFF00 + 255);  // the low byte alone would pass
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\OK.PDB", true), 1);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\SHORT.PDB", false), 0);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\ODD.PDB", false), 0);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\BIG.PDB", false), 1);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\V260.PDB", false), 1);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\V249.PDB", false), 0);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\V261.PDB", false), 0);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\HIGH.PDB", false), 0);

    ASSERT_EQ(platform::SetReadOnly("C:\\P\\OK.PDB", true), 0u);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\OK.PDB", true), 0);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\OK.PDB", false), 1);

    testing::internal::CaptureStdout();
    EXPECT_EQ(Pdb_IsValidFile("C:\\P\\NONE.PDB", false), 0);
    EXPECT_EQ(Pdb_IsValidFile("C:\\P", false), 0);  // a folder
    testing::internal::GetCapturedStdout();
}

TEST_F(PdbFiles, SizeFailurePrintsItsLine) {
    MakePdb("C:\\P\\OK.PDB", 40960, 255);
    testing::internal::CaptureStdout();
    EXPECT_EQ(PdmDos_FileSize("C:\\P\\OK.PDB"), 40960u);
    EXPECT_EQ(PdmDos_FileSize("C:\\P\\表\\NONE.099"), 0u);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "PdmDos_FileSize Error [C:\\P\\表\\NONE.099]\n");
}

TEST_F(PdbFiles, HeadReadPrintsWhatFailed) {
    std::array<std::uint8_t, kPdbHeadSize> head{};
    head.fill(0xAA);

    testing::internal::CaptureStdout();
    EXPECT_EQ(PdmDb_Head_DirectRead("C:\\P\\NONE.PDB", head), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "PdmDb_Head_DirectRead _access Error\n");
    EXPECT_EQ(head[0], 0xAA);  // untouched

    Make("C:\\P\\SUB\\X", "x");
    testing::internal::CaptureStdout();
    EXPECT_EQ(PdmDb_Head_DirectRead("C:\\P\\SUB", head), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "PdmDb_Head_DirectRead fopen Error\n");

    // A FIFO is no file to read: refused at once instead of waiting for a writer.
    ASSERT_EQ(mkfifo(C("P/PIPE.PDB").c_str(), 0600), 0);
    testing::internal::CaptureStdout();
    EXPECT_EQ(PdmDb_Head_DirectRead("C:\\P\\PIPE.PDB", head), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "PdmDb_Head_DirectRead fopen Error\n");

    // A short file still reads (result 1); what is missing is zero, not old contents.
    Make("C:\\P\\SHORT.PDB", std::string("\xFF\x01\x02", 3));
    testing::internal::CaptureStdout();
    EXPECT_EQ(PdmDb_Head_DirectRead("C:\\P\\SHORT.PDB", head), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "PdmDb_Head_DirectRead fread Error\n");
    EXPECT_EQ(head[0], 0xFF);
    EXPECT_EQ(head[2], 0x02);
    EXPECT_EQ(head[3], 0x00);
    EXPECT_EQ(head[kPdbHeadSize - 1], 0x00);
}

TEST_F(PdbFiles, HeadReadGivesTheFirstBlockOnly) {
    std::string bytes(40960, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
    Make("C:\\P\\FULL.PDB", bytes);
    std::array<std::uint8_t, kPdbHeadSize> head{};
    testing::internal::CaptureStdout();
    EXPECT_EQ(PdmDb_Head_DirectRead("C:\\p\\full.pdb", head), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    for (std::size_t i = 0; i < kPdbHeadSize; ++i) {
        ASSERT_EQ(head[i], static_cast<std::uint8_t>(bytes[i])) << i;
    }
}

}  // namespace
