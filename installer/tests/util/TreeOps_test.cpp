#include "installer/util/TreeOps.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "installer/tests/util/UtilTestSupport.h"

namespace {

class TreeOps : public UtilTest {
protected:
    // A tree with hidden entries at every level.
    static void MakeTree(const std::string& root) {
        Make(root + "\\A.TXT", "a");
        Make(root + "\\.HIDDEN", "h");
        Make(root + "\\SUB\\B.TXT", "b");
        Make(root + "\\SUB\\.INNER", "i");
        Make(root + "\\SUB\\DEEP\\C.TXT", "c");
        MakeDir(root + "\\EMPTY");
        MakeDir(root + "\\.GIT");
    }
};

// A staging folder is emptied completely: what stayed would be taken for part of the
// next command's files. Hidden entries (".x" among them), read-only files and hidden
// folders at the top level go too; the platform gives no file the system attribute.
TEST_F(TreeOps, ClearDirectoryEmptiesTheFolderCompletely) {
    MakeTree("C:\\STAGE");
    Make("C:\\STAGE\\.x", "dot");
    Make("C:\\STAGE\\.GIT\\CONFIG", "g");
    Make("C:\\STAGE\\RO.TXT", "r");
    Make("C:\\STAGE\\SUB\\RO2.TXT", "r");
    ASSERT_EQ(platform::SetReadOnly("C:\\STAGE\\RO.TXT", true), 0u);
    ASSERT_EQ(platform::SetReadOnly("C:\\STAGE\\SUB\\RO2.TXT", true), 0u);
    std::uint32_t attributes = 0;
    ASSERT_EQ(platform::GetFileAttributesW("C:\\STAGE\\.x", attributes), 0u);
    ASSERT_NE(attributes & platform::kAttrHidden, 0u);

    EXPECT_EQ(ClearDirectory("C:\\STAGE\\"), 0);
    std::vector<std::string> left;
    EXPECT_TRUE(ListTree("C:\\STAGE", left));
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_TRUE(std::filesystem::is_empty(prefix.HostC("STAGE")));
    EXPECT_TRUE(platform::DirectoryExists("C:\\STAGE"));

    EXPECT_EQ(ClearDirectory("C:\\STAGE\\"), 0);  // already empty
    EXPECT_EQ(ClearDirectory("C:\\NONE\\"), 0);   // nothing there to clear
}

// An entry the Windows side cannot name (a host name without a code page 932 form)
// keeps its folder from being emptied: reported, and everything else still goes.
TEST_F(TreeOps, ClearDirectoryReportsWhatItCouldNotRemove) {
    Make("C:\\STAGE\\A.TXT", "a");
    Make("C:\\STAGE\\SUB\\B.TXT", "b");
    Make("C:\\STAGE\\Z.TXT", "z");
    std::ofstream(prefix.HostC("STAGE/SUB/\xF0\x9F\x98\x80.txt")) << "unnamed";  // an emoji
    EXPECT_EQ(ClearDirectory("C:\\STAGE\\"), static_cast<int>(platform::kErrorDirNotEmpty));
    EXPECT_FALSE(Exists("C:\\STAGE\\A.TXT"));
    EXPECT_FALSE(Exists("C:\\STAGE\\SUB\\B.TXT"));
    EXPECT_FALSE(Exists("C:\\STAGE\\Z.TXT"));
    EXPECT_TRUE(Exists("C:\\STAGE\\SUB"));

    // A drive without its medium cannot be searched: its code, not success.
    std::filesystem::remove_all(prefix.MapNewDrive('A'));
    EXPECT_EQ(ClearDirectory("A:\\WORK\\"), static_cast<int>(platform::kErrorNotReady));
}

TEST_F(TreeOps, RemoveTreeRemovesEverythingHiddenIncluded) {
    MakeTree("C:\\OLD");
    EXPECT_TRUE(RemoveTree("C:\\OLD"));
    EXPECT_FALSE(Exists("C:\\OLD"));
    EXPECT_TRUE(RemoveTree("C:\\OLD"));  // nothing there: nothing fails
    MakeDir("C:\\EMPTY");
    EXPECT_TRUE(RemoveTree("C:\\EMPTY\\"));
    EXPECT_FALSE(Exists("C:\\EMPTY"));
}

TEST_F(TreeOps, RemoveTreeReportsAFailureEvenWhenALaterSubtreeGoes) {
    Make("C:\\OLD\\A\\RO.TXT", "r");
    Make("C:\\OLD\\B\\X.TXT", "x");
    ASSERT_EQ(platform::SetReadOnly("C:\\OLD\\A\\RO.TXT", true), 0u);
    EXPECT_FALSE(RemoveTree("C:\\OLD"));
    EXPECT_TRUE(Exists("C:\\OLD\\A\\RO.TXT"));
    EXPECT_FALSE(Exists("C:\\OLD\\B"));
}

// A link inside a tree that is removed or cleared goes as a link: the folder it leads
// to (here one outside the tree) keeps everything in it.
TEST_F(TreeOps, LinksToFoldersAreRemovedNotFollowed) {
    Make("C:\\KEEP\\PRECIOUS.TXT", "p");
    Make("C:\\STAGE\\A.TXT", "a");
    MakeDir("C:\\TREE");
    std::filesystem::create_directory_symlink(prefix.HostC("KEEP"), prefix.HostC("STAGE/LINK"));
    std::filesystem::create_directory_symlink(prefix.HostC("KEEP"), prefix.HostC("TREE/LINK"));

    EXPECT_EQ(ClearDirectory("C:\\STAGE\\"), 0);
    EXPECT_FALSE(Exists("C:\\STAGE\\LINK"));
    EXPECT_TRUE(RemoveTree("C:\\TREE"));
    EXPECT_FALSE(Exists("C:\\TREE"));
    EXPECT_EQ(Read("C:\\KEEP\\PRECIOUS.TXT"), "p");

    // The link named itself: only the link goes.
    std::filesystem::create_directory_symlink(prefix.HostC("KEEP"), prefix.HostC("ALIAS"));
    EXPECT_TRUE(RemoveTree("C:\\ALIAS"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(prefix.HostC("ALIAS"))));
    EXPECT_EQ(Read("C:\\KEEP\\PRECIOUS.TXT"), "p");
}

TEST_F(TreeOps, CopyTreeCopiesFoldersWithHiddenEntries) {
    MakeTree("C:\\SRC");
    MakeDir("C:\\DST");
    Make("C:\\DST\\A.TXT", "old");
    EXPECT_TRUE(CopyTree("C:\\SRC\\", "C:\\DST\\"));
    EXPECT_EQ(Read("C:\\DST\\A.TXT"), "a");
    EXPECT_EQ(Read("C:\\DST\\.HIDDEN"), "h");
    EXPECT_EQ(Read("C:\\DST\\SUB\\.INNER"), "i");
    EXPECT_EQ(Read("C:\\DST\\SUB\\DEEP\\C.TXT"), "c");
    EXPECT_TRUE(platform::DirectoryExists("C:\\DST\\EMPTY"));
    EXPECT_TRUE(platform::DirectoryExists("C:\\DST\\.GIT"));
}

TEST_F(TreeOps, CopyTreeFromEmptyOrMissingFolderCopiesNothing) {
    MakeDir("C:\\EMPTY");
    MakeDir("C:\\DST");
    EXPECT_TRUE(CopyTree("C:\\EMPTY\\", "C:\\DST\\"));
    EXPECT_TRUE(CopyTree("C:\\MISSING\\", "C:\\DST\\"));
    std::vector<std::string> lines;
    EXPECT_TRUE(ListTree("C:\\DST", lines));
    EXPECT_TRUE(lines.empty());
}

TEST_F(TreeOps, CopyTreeStripsAllFilesPatternFromTheDestination) {
    MakeTree("C:\\SRC");
    MakeDir("C:\\DST");
    EXPECT_TRUE(CopyTree("C:\\SRC\\", "C:\\DST\\*.*"));
    EXPECT_EQ(Read("C:\\DST\\SUB\\B.TXT"), "b");
    EXPECT_FALSE(Exists("C:\\DST\\*.*SUB"));
}

TEST_F(TreeOps, CopyTreeOfOneFile) {
    Make("C:\\SRC\\ONE.TXT", "1");
    MakeDir("C:\\DST");
    // Into an existing folder, with or without its "\", or a folder named by "*.*".
    EXPECT_TRUE(CopyTree("C:\\SRC\\ONE.TXT", "C:\\DST\\"));
    EXPECT_EQ(Read("C:\\DST\\ONE.TXT"), "1");
    Make("C:\\SRC\\ONE.TXT", "2");
    EXPECT_TRUE(CopyTree("C:\\SRC\\ONE.TXT", "C:\\DST"));
    EXPECT_EQ(Read("C:\\DST\\ONE.TXT"), "2");
    MakeDir("C:\\DST2");
    EXPECT_TRUE(CopyTree("C:\\SRC\\ONE.TXT", "C:\\DST2\\*.*"));
    EXPECT_EQ(Read("C:\\DST2\\ONE.TXT"), "2");
    // Anything else is the target file's own name.
    EXPECT_TRUE(CopyTree("C:\\SRC\\ONE.TXT", "C:\\DST\\RENAMED.TXT"));
    EXPECT_EQ(Read("C:\\DST\\RENAMED.TXT"), "2");
    EXPECT_FALSE(CopyTree("C:\\SRC\\ONE.TXT", "C:\\NOWHERE\\X.TXT"));
}

TEST_F(TreeOps, CopyTreeReportsAFailedFileEvenWhenALaterSubtreeCopies) {
    Make("C:\\SRC\\A.TXT", "a");
    Make("C:\\SRC\\Z\\B.TXT", "b");
    Make("C:\\DST\\A.TXT", "read-only");
    ASSERT_EQ(platform::SetReadOnly("C:\\DST\\A.TXT", true), 0u);
    EXPECT_FALSE(CopyTree("C:\\SRC\\", "C:\\DST\\"));
    EXPECT_EQ(Read("C:\\DST\\A.TXT"), "read-only");
    EXPECT_EQ(Read("C:\\DST\\Z\\B.TXT"), "b");
}

TEST_F(TreeOps, ListTreeNamesEveryFileBelowButNoFolders) {
    MakeTree("C:\\LIST");
    std::vector<std::string> lines{"kept"};
    ASSERT_TRUE(ListTree("C:\\LIST", lines));
    std::vector<std::string> expected{
        "kept",
        "C:\\LIST\\.HIDDEN",
        "C:\\LIST\\A.TXT",
        "C:\\LIST\\SUB\\.INNER",
        "C:\\LIST\\SUB\\B.TXT",
        "C:\\LIST\\SUB\\DEEP\\C.TXT",
    };
    std::sort(lines.begin() + 1, lines.end());
    EXPECT_EQ(lines, expected);

    std::vector<std::string> again;
    ASSERT_TRUE(ListTree("C:\\LIST\\SUB\\", again));
    std::sort(again.begin(), again.end());
    EXPECT_EQ(again, (std::vector<std::string>{"C:\\LIST\\SUB\\.INNER", "C:\\LIST\\SUB\\B.TXT",
                                               "C:\\LIST\\SUB\\DEEP\\C.TXT"}));
    EXPECT_FALSE(ListTree("C:\\MISSING", again));
}

}  // namespace
