#include "installer/util/PatternFiles.h"

#include <filesystem>

#include "installer/tests/util/UtilTestSupport.h"

namespace {

class PatternFiles : public UtilTest {
protected:
    PatternFiles() {
        Make("C:\\SRC\\A.DAT", "a");
        Make("C:\\SRC\\b.dat", "b");
        Make("C:\\SRC\\C.TXT", "c");
        Make("C:\\SRC\\.HIDDEN.DAT", "h");
        MakeDir("C:\\SRC\\SUB.DAT");
        MakeDir("C:\\DST");
    }
};

TEST_F(PatternFiles, ExistenceCountsPlainFilesOnly) {
    EXPECT_EQ(FileExistsByPattern("C:\\SRC\\*.DAT"), 0u);
    EXPECT_EQ(FileExistsByPattern("C:\\SRC\\B.DAT"), 0u);  // any case
    EXPECT_NE(FileExistsByPattern("C:\\SRC\\SUB.*"), 0u);      // a directory only
    EXPECT_NE(FileExistsByPattern("C:\\SRC\\.HIDDEN.*"), 0u);  // a hidden file only
    EXPECT_NE(FileExistsByPattern("C:\\SRC\\*.LZH"), 0u);
    EXPECT_NE(FileExistsByPattern("C:\\NONE\\*.*"), 0u);
}

TEST_F(PatternFiles, CopyOverwritesSkipsHiddenAndDirectories) {
    Make("C:\\DST\\A.DAT", "old");
    EXPECT_EQ(CopyMatchingFiles("C:\\SRC\\", "C:\\DST\\", "*.DAT"), 0);
    EXPECT_EQ(Read("C:\\DST\\A.DAT"), "a");
    EXPECT_EQ(Read("C:\\DST\\b.dat"), "b");
    EXPECT_FALSE(Exists("C:\\DST\\C.TXT"));
    EXPECT_FALSE(Exists("C:\\DST\\.HIDDEN.DAT"));
    EXPECT_FALSE(Exists("C:\\DST\\SUB.DAT"));
}

// The first copy that fails stops the copying and its code comes back: the caller
// must not go on as if the set were complete.
TEST_F(PatternFiles, CopyFailuresAreReported) {
    MakeDir("C:\\DST\\A.DAT");  // a folder where the first file must go
    EXPECT_EQ(CopyMatchingFiles("C:\\SRC\\", "C:\\DST\\", "*.DAT"),
              static_cast<int>(platform::kErrorAccessDenied));
    EXPECT_FALSE(Exists("C:\\DST\\b.dat"));  // stopped there

    Make("C:\\DST2\\A.DAT", "read-only");
    ASSERT_EQ(platform::SetReadOnly("C:\\DST2\\A.DAT", true), 0u);
    EXPECT_EQ(CopyMatchingFiles("C:\\SRC\\", "C:\\DST2\\", "*.DAT"),
              static_cast<int>(platform::kErrorAccessDenied));
    EXPECT_EQ(Read("C:\\DST2\\A.DAT"), "read-only");

    EXPECT_EQ(CopyMatchingFiles("C:\\SRC\\", "C:\\NOWHERE\\", "*.*"),
              static_cast<int>(platform::kErrorPathNotFound));
    // Nothing that matches, or no source folder at all: nothing to copy, nothing failed.
    EXPECT_EQ(CopyMatchingFiles("C:\\SRC\\", "C:\\DST2\\", "*.LZH"), 0);
    EXPECT_EQ(CopyMatchingFiles("C:\\NONE\\", "C:\\DST2\\", "*.*"), 0);
    // A source drive without its medium is a failure, not an empty folder.
    std::filesystem::remove_all(prefix.MapNewDrive('A'));
    EXPECT_EQ(CopyMatchingFiles("A:\\", "C:\\DST2\\", "*.*"),
              static_cast<int>(platform::kErrorNotReady));
}

TEST_F(PatternFiles, CopyFromTakesNamesFromTheListingFolder) {
    Make("C:\\LIST\\A.DAT", "listing");
    EXPECT_EQ(CopyMatchingFilesFrom("C:\\SRC\\", "C:\\DST\\", "C:\\LIST\\", "*.DAT"), 0);
    EXPECT_EQ(Read("C:\\DST\\A.DAT"), "a");  // the contents come from the from-folder
    EXPECT_FALSE(Exists("C:\\DST\\b.dat"));

    // A listed name that the from-folder lacks, or a from-folder that is missing.
    Make("C:\\LIST\\MISSING.DAT", "listing");
    EXPECT_EQ(CopyMatchingFilesFrom("C:\\SRC\\", "C:\\DST\\", "C:\\LIST\\", "*.DAT"),
              static_cast<int>(platform::kErrorFileNotFound));
    EXPECT_FALSE(Exists("C:\\DST\\MISSING.DAT"));
    EXPECT_EQ(CopyMatchingFilesFrom("C:\\GONE\\", "C:\\DST\\", "C:\\LIST\\", "*.DAT"),
              static_cast<int>(platform::kErrorPathNotFound));
    EXPECT_EQ(CopyMatchingFilesFrom("C:\\GONE\\", "C:\\DST\\", "C:\\LIST\\", "*.TXT"), 0);
}

TEST_F(PatternFiles, DeleteRemovesPlainFilesOnly) {
    Make("C:\\SRC\\RO.DAT", "r");
    ASSERT_EQ(platform::SetReadOnly("C:\\SRC\\RO.DAT", true), 0u);
    // The read-only file stays and is reported; the others are deleted all the same.
    EXPECT_EQ(DeleteMatchingFiles("C:\\SRC\\", "*.DAT"),
              -static_cast<int>(platform::kErrorAccessDenied));
    EXPECT_FALSE(Exists("C:\\SRC\\A.DAT"));
    EXPECT_FALSE(Exists("C:\\SRC\\b.dat"));
    EXPECT_TRUE(Exists("C:\\SRC\\C.TXT"));
    EXPECT_TRUE(Exists("C:\\SRC\\.HIDDEN.DAT"));
    EXPECT_TRUE(Exists("C:\\SRC\\SUB.DAT"));
    EXPECT_TRUE(Exists("C:\\SRC\\RO.DAT"));  // as Windows: read-only files stay
    EXPECT_EQ(DeleteMatchingFiles("C:\\SRC\\", "*.DAT"),
              -static_cast<int>(platform::kErrorAccessDenied));
    ASSERT_EQ(platform::SetReadOnly("C:\\SRC\\RO.DAT", false), 0u);
    EXPECT_EQ(DeleteMatchingFiles("C:\\SRC\\", "*.DAT"), 1);
    EXPECT_FALSE(Exists("C:\\SRC\\RO.DAT"));
    EXPECT_EQ(DeleteMatchingFiles("C:\\SRC\\", "*.DAT"), 1);  // none left: nothing failed
    EXPECT_EQ(DeleteMatchingFiles("C:\\NONE\\", "*.*"), 1);
}

}  // namespace
