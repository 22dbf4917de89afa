#include "installer/util/DriveProbe.h"

#include <filesystem>

#include "installer/tests/util/UtilTestSupport.h"

namespace {

class DriveProbe : public UtilTest {};

TEST_F(DriveProbe, ReadyDriveLeavesNoProbeFileBehind) {
    EXPECT_EQ(ProbeDrive('C'), 0u);
    EXPECT_TRUE(IsDriveAvailable('c'));
    EXPECT_FALSE(Exists("C:\\TEMP.LOG"));
}

TEST_F(DriveProbe, AFileOfTheSameNameIsKept) {
    Make("C:\\TEMP.LOG", "the user's own log");
    EXPECT_EQ(ProbeDrive('C'), 0u);
    EXPECT_EQ(Read("C:\\TEMP.LOG"), "the user's own log");
}

TEST_F(DriveProbe, OnlyANotReadyDriveIsUnavailable) {
    // A drive letter that does not exist at all counts as available.
    EXPECT_EQ(ProbeDrive('Q'), 0u);
    EXPECT_TRUE(IsDriveAvailable('Q'));

    // A drive whose medium is gone.
    const std::string media = prefix.MapNewDrive('A');
    std::filesystem::remove_all(media);
    EXPECT_EQ(ProbeDrive('A'), 21u);
    EXPECT_FALSE(IsDriveAvailable('A'));

    // A write-protected medium is there and usable for reading.
    const std::string cd = prefix.MapNewDrive('R');
    std::filesystem::permissions(cd, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(ProbeDrive('R'), 19u);
    EXPECT_TRUE(IsDriveAvailable('R'));
    std::filesystem::permissions(cd, std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add);
}

}  // namespace
