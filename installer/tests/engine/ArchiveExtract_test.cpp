// "L" lines: extraction through LHA.EXE (the stand-in over the host archiver), which
// refuses members that would land outside the staging folder and damaged archives.
#include "ArchiveFixtures.h"
#include "installer/engine/ArchiveCommand.h"

namespace {

using namespace engine_test;

std::uint16_t Crc16(const std::string& data) {
    std::uint16_t crc = 0;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// One stored (-lh0-) member with a level-0 header, the name taken as given.
std::string Member(const std::string& name, const std::string& data, bool breakCrc = false) {
    auto le32 = [](std::uint32_t v) {
        return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 24)};
    };
    std::uint16_t crc = Crc16(data) ^ (breakCrc ? 1 : 0);
    std::string body = "-lh0-" + le32(data.size()) + le32(data.size()) + le32(0x5A210000) +
                       std::string{0x20, 0, static_cast<char>(name.size())} + name +
                       std::string{static_cast<char>(crc), static_cast<char>(crc >> 8)};
    unsigned sum = 0;
    for (unsigned char c : body) sum += c;
    return std::string{static_cast<char>(body.size()), static_cast<char>(sum)} + body + data;
}

class ArchiveExtract : public EngineMedium {
protected:
    std::vector<std::string> Staged() {
        std::vector<std::string> files;
        ListTree(state_.env.ExtractDir, files);
        return files;
    }
};

TEST_F(ArchiveExtract, StagesEveryMemberWithItsPathAndDeletesTheCopy) {
    MakeLzh("K:\\SUB\\APP.LZH", {{"A.TXT", "a"}, {"DIR\\表示.TXT", "dbcs"}, {"DIR\\DEEP\\C.BIN", std::string("\0\1", 2)}});
    CommandResult result = ExtractArchiveCommand(state_.env, state_.run, state_.entry,
                                                 "L SUB\\APP.LZH C:\\NEW\\FOLDER");
    EXPECT_EQ(result.code, 0) << messages_.AllTexts();
    EXPECT_EQ(result.destination, "C:\\NEW\\FOLDER\\");
    EXPECT_TRUE(platform::DirectoryExists("C:\\NEW\\FOLDER"));
    EXPECT_EQ(Read(state_.env.ExtractDir + "\\DIR\\表示.TXT"), "dbcs");
    EXPECT_EQ(Read(state_.env.ExtractDir + "\\DIR\\DEEP\\C.BIN"), std::string("\0\1", 2));
    EXPECT_EQ(Staged().size(), 3u);  // the archive copy is gone, no work folder is left
}

TEST_F(ArchiveExtract, MissingArchiveOrMissingDirectoryFails) {
    EXPECT_EQ(
        ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L NONE.LZH C:\\OUT").code,
        -13);
    EXPECT_EQ(ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L NONE.LZH").code, -13);
    EXPECT_TRUE(Staged().empty());
}

TEST_F(ArchiveExtract, MembersClimbingOutOrAbsoluteAreRefusedAndNothingIsWritten) {
    for (const std::string& bad : {std::string("..\\ESCAPE.TXT"), std::string("OK\\..\\..\\ESCAPE.TXT"),
                                   std::string("\\ROOT.TXT"), std::string("C:\\ROOT.TXT"),
                                   std::string("/tmp/ROOT.TXT")}) {
        Write("K:\\BAD.LZH", Member("FIRST.TXT", "first") + Member(bad, "bad") + std::string(1, '\0'));
        EXPECT_EQ(
            ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L BAD.LZH C:\\OUT").code,
            -13)
            << bad;
        EXPECT_TRUE(Staged().empty()) << bad;
        EXPECT_FALSE(platform::PathExists("C:\\KEL\\ESCAPE.TXT"));
        EXPECT_FALSE(platform::PathExists("C:\\ROOT.TXT"));
    }
    std::error_code ignored;
    EXPECT_FALSE(std::filesystem::exists("/tmp/ROOT.TXT", ignored));
}

TEST_F(ArchiveExtract, DamagedOrTruncatedArchiveFails) {
    Write("K:\\CRC.LZH", Member("A.TXT", "data", true) + std::string(1, '\0'));
    EXPECT_EQ(ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L CRC.LZH C:\\OUT").code,
              -13);
    std::string whole = Member("A.TXT", "data") + Member("B.TXT", "more data") + std::string(1, '\0');
    Write("K:\\CUT.LZH", whole.substr(0, whole.size() - 6));
    EXPECT_EQ(ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L CUT.LZH C:\\OUT").code,
              -13);
    Write("K:\\TEXT.LZH", "this is not an archive");
    EXPECT_EQ(
        ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L TEXT.LZH C:\\OUT").code,
        -13);
    // No member at all: an empty file, or garbage whose first byte reads as the end mark.
    Write("K:\\EMPTY.LZH", "");
    EXPECT_EQ(
        ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L EMPTY.LZH C:\\OUT").code,
        -13);
    Write("K:\\ZERO.LZH", std::string(1, '\0') + "garbage after the end mark");
    EXPECT_EQ(
        ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L ZERO.LZH C:\\OUT").code,
        -13);
    // A sound hand-made archive goes through, so the failures above are the damage.
    Write("K:\\GOOD.LZH", whole);
    EXPECT_EQ(
        ExtractArchiveCommand(state_.env, state_.run, state_.entry, "L GOOD.LZH C:\\OUT").code, 0);
    EXPECT_EQ(Read(state_.env.ExtractDir + "\\B.TXT"), "more data");
}

}  // namespace
