// The real client against the real server program, installed by
// `morvan-prefix init --product` in a fresh prefix: the new-file initialisation, element
// numbering and attributes, a client killed inside its update, the server killed during a
// run of records, the second server and the stop request.
//
// The client's settings library reads the prefix once per process, so the suite shares
// one prefix.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "ByteOrder.h"
#include "ChildProgram.h"
#include "TestPrefix.h"
#include "pdbform/FormIo.h"
#include "platform/NamedPipe.h"
#include "platform/Prefix.h"
#include "platform/SystemServices.h"
#include "support/db/DbCommands.h"
#include "support/db/DbHeadTemplate.h"
#include "support/db/DbSessionOps.h"
#include "support/db/ElementRecords.h"

namespace fs = std::filesystem;

namespace {

pid_t Spawn(const std::vector<std::string>& args) { return platform::test::SpawnProgram(args); }
int Wait(pid_t pid) { return platform::test::WaitProgram(pid); }
bool PipeGone() {
    for (int i = 0; i < 200; ++i) {
        if (platform::WaitNamedPipeA("\\PIPE\\DBMAN", 0) == platform::kErrorFileNotFound)
            return true;
        platform::Sleep(25);
    }
    return false;
}

class AmbrelProcess : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        std::string templ = (fs::temp_directory_path() / "morvan-amb-XXXXXX").string();
        ASSERT_NE(mkdtemp(templ.data()), nullptr);
        prefix_ = templ;
        setenv("MORVAN_PREFIX", prefix_.c_str(), 1);
        platform::ResetPrefixForTesting();
        const std::string tool = (platform::test::BinDir() / "morvan-prefix").string();
        ASSERT_EQ(Wait(Spawn({tool, "init", "--product", prefix_.string()})), 0);
        std::string host;
        ASSERT_EQ(platform::ToHostPath("C:\\KEL\\PDM\\Ambrel.EXE", host), 0u);
        server_ = host;
        ASSERT_TRUE(fs::exists(server_));
    }
    static void TearDownTestSuite() {
        (void)Wait(Spawn({server_, "--stop"}));
        std::error_code ignored;
        fs::remove_all(prefix_, ignored);
        unsetenv("MORVAN_PREFIX");
        platform::ResetPrefixForTesting();
    }
    static pdbform::PdbFile Load(const std::string& windowsPath) {
        std::string host;
        EXPECT_EQ(platform::ToHostPath(windowsPath, host), 0u);
        pdbform::PdbFile f;
        std::string reason;
        EXPECT_EQ(pdbform::Load(host, f, &reason), pdbform::Status::kOk) << reason;
        return f;
    }
    // Opens `path` on the process's session and begins the update.
    static void OpenForUpdate(const std::string& path) {
        DbSession& s = PdmDb_CreateSession();
        ASSERT_EQ(PdmDb_Open(s, path), 0);
        PdmDb_BeginUpdate(s);
    }
    static void PutLine(std::int16_t layer, std::int16_t pen, std::int16_t lineType) {
        // Three line-type values, then the two points.
        PdmDb_PutElementRec2(0, {layer, 0, pen, lineType}, {0.5, 0.25, 0, 1, 2, 3, 4});
        PdmDb_EndElement();
    }

    static fs::path prefix_;
    static std::string server_;
};
fs::path AmbrelProcess::prefix_;
std::string AmbrelProcess::server_;

TEST_F(AmbrelProcess, NewFileThenThreeHundredRecords) {
    // The client starts the installed server itself.
    OpenForUpdate("c:\\NEW.PDB");
    // A second server on the same prefix gives up at once.
    EXPECT_EQ(Wait(Spawn({server_})), 2);

    HeadBlock expected = BuildHeadTemplate();
    (void)StoreU16(expected, 0, 256);
    (void)StoreI16(expected, 512, 1);
    (void)StoreI16(expected, 514, 1);
    for (std::size_t at = 1028; at <= 1058; at += 2) (void)StoreI16(expected, at, -1);
    auto initial = Load("C:\\NEW.PDB");
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), initial.head.begin()));
    ASSERT_EQ(initial.layers.size(), 1u);
    ASSERT_TRUE(initial.headTexts);
    EXPECT_EQ(initial.headTexts->groupNames[0].size(), 16u);

    for (int i = 0; i < 300; ++i) {
        PutLine(1, static_cast<std::int16_t>(1 + i % 3), static_cast<std::int16_t>(i % 2 ? 2 : 1));
        ASSERT_EQ(PdmDb_LastElemNo(), i + 1);
        ASSERT_NE(SessionLastRecord(PdmDb_Session()->block) % 128, 0);
    }
    EXPECT_EQ(SessionLastRecord(PdmDb_Session()->block), 302);
    PdmDb_QueryMulti();
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    auto file = Load("C:\\NEW.PDB");
    ASSERT_EQ(file.Elements().size(), 300u);
    EXPECT_EQ(file.head[0], 0);
    EXPECT_EQ(file.head[1], 1);
    EXPECT_EQ(file.lineAttributes.Size(), 6u);  // 3 pens x 2 line types
    for (const auto& [position, element] : file.Elements()) {
        const auto* line = file.lineAttributes.Get(element.AttributeId());
        ASSERT_NE(line, nullptr) << position;
        const int i = static_cast<int>(position - position / 128) - 1;
        EXPECT_EQ(line->pen, 1 + i % 3);
        double x2 = 0;
        ASSERT_TRUE(LoadF64(element.fixed, 6 + 16, x2));
        EXPECT_EQ(x2, 3.0);
    }
}

TEST_F(AmbrelProcess, ClientKilledInsideUpdateWhileAnotherFileIsServed) {
    OpenForUpdate("C:\\HELD.PDB");
    PutLine(1, 1, 1);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        OpenForUpdate("C:\\HELD.PDB");
        for (int i = 0; i < 5; ++i) PutLine(2, 2, 1);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char byte = 0;
    ASSERT_EQ(read(ready[0], &byte, 1), 1);
    // Another file is served while the child holds its bracket.
    OpenForUpdate("C:\\OTHER.PDB");
    PutLine(1, 1, 1);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    kill(child, SIGKILL);
    Wait(child);
    close(ready[0]);
    close(ready[1]);
    // The child's records are gone; the file is free for the next update.
    OpenForUpdate("C:\\HELD.PDB");
    PutLine(3, 3, 1);
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);
    auto held = Load("C:\\HELD.PDB");
    ASSERT_EQ(held.Elements().size(), 2u);
    EXPECT_EQ(held.Elements().begin()->second.Layer(), 1);
    EXPECT_EQ(held.Elements().rbegin()->second.Layer(), 3);
}

TEST_F(AmbrelProcess, ServerKilledDuringRecordsLeavesLastBracket) {
    // A run of 10,000 records in brackets of 10, each record numbered by its first
    // coordinate; the server is killed at a random point of the run, three times over.
    std::mt19937 rng(std::random_device{}());
    for (int round = 0; round < 3; ++round) {
        // Replace the running server by one whose process id the test knows.
        (void)Wait(Spawn({server_, "--stop"}));
        ASSERT_TRUE(PipeGone());
        const pid_t server = Spawn({server_});
        for (int i = 0; i < 200 && platform::WaitNamedPipeA("\\PIPE\\DBMAN", 0) != 0; ++i)
            platform::Sleep(25);

        const std::string path = "C:\\KILLED" + std::to_string(round) + ".PDB";
        const pid_t writer = fork();
        if (writer == 0) {
            DbSession& s = PdmDb_CreateSession();
            if (PdmDb_Open(s, path) != 0) _exit(1);
            for (int n = 0; n < 10000;) {
                PdmDb_BeginUpdate(s);
                for (int i = 0; i < 10; ++i, ++n) {
                    PdmDb_PutElementRec2(0, {1, 0, 1, 1}, {0, 0, 0, double(n), 0, 1, 1});
                    PdmDb_EndElement();
                }
                PdmDb_EndUpdate(s);
            }
            _exit(PdmDb_CloseDrawing());
        }
        platform::Sleep(static_cast<std::uint32_t>(50 + rng() % 1500));
        kill(server, SIGKILL);
        Wait(server);
        kill(writer, SIGKILL);
        Wait(writer);

        auto file = Load(path);
        EXPECT_EQ(file.Elements().size() % 10, 0u) << "round " << round;
        double expected = 0;
        for (const auto& [position, element] : file.Elements()) {
            double x1 = -1;
            ASSERT_TRUE(LoadF64(element.fixed, 6, x1));
            ASSERT_EQ(x1, expected) << "round " << round << ", position " << position;
            ++expected;
        }
    }
}

// The commands of the file's head, layers, texts, image and sheet information, sent by
// the client's command functions over one held connection, reach the file; element data
// of 300 bytes arrives whole (256 + 44), a removed position is gone.
TEST_F(AmbrelProcess, EveryCommandThroughTheClientReachesTheFile) {
    OpenForUpdate("C:\\CMDS.PDB");
    DbSession& s = *PdmDb_Session();
    DbLayerDef layer;
    layer.name = "LAYER-TWO";
    layer.first = 3;
    layer.second = 4;
    layer.values[8] = 2.5;
    PdmDb_WriteLayer(s, 2, layer);
    DbLayerDef back;
    EXPECT_EQ(PdmDb_ReadLayer(s, 2, back), 0);
    EXPECT_EQ(back.name, "LAYER-TWO");
    EXPECT_EQ(back.values[8], 2.5);
    EXPECT_EQ(PdmDb_ReadLayer(s, 9, back), 1);  // not defined

    PdmDb_PutSystemName(s, "SYSTEM", 5);
    PdmDb_PutPaperName(s, "A1", 6);
    PdmDb_PutFrameValues(s, {1, 2, 3, 4, 5, 6, 7, 8});
    PdmDb_PutSizeValues(s, {8, 7, 6, 5, 4, 3, 2, 1});
    PdmDb_PutMessage(s, "MESSAGE");
    PdmDb_PutGroupName(s, 3, "GROUP3");
    PdmDb_PutSelectionName(s, "SELECTION");
    PdmDb_PutHeadValueAndName(s, 77, "HEADNAME");
    PdmDb_PutImageName(s, "BACK.BMP", 10, 11);
    PdmDb_PutImageBytes(s, 1, 2, 3, 4);
    PdmDb_PutImageCount(s, 2);
    std::vector<std::uint8_t> headBytes(300);
    for (std::size_t i = 0; i < headBytes.size(); ++i) headBytes[i] = static_cast<std::uint8_t>(i);
    PdmDb_WriteHead(s, 1200, headBytes);
    std::vector<std::uint8_t> headBack(300);
    PdmDb_ReadHead(s, 1200, headBack);
    EXPECT_EQ(headBack, headBytes);
    std::array<std::uint8_t, 2048> sheet{};
    sheet[536] = 9;
    PdmDb_PutBlock2K(sheet, 2);

    PdmDb_PutElementRec6(0, {1, 0, 1, 1}, {0, 0, 0}, {0, 0});
    std::vector<std::uint8_t> points(300);
    for (std::size_t i = 0; i < points.size(); ++i) points[i] = static_cast<std::uint8_t>(i * 7);
    PdmDb_PutElemData(points);
    PdmDb_EndElement();
    const std::int32_t polyline = SessionLastRecord(s.block);
    PutLine(1, 1, 1);
    PdmDb_DeleteElement(SessionLastRecord(s.block));
    PdmDb_QueryMulti();
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    auto file = Load("C:\\CMDS.PDB");
    ASSERT_EQ(file.layers.size(), 2u);
    EXPECT_EQ(file.layers[1].number, 2);
    EXPECT_EQ(file.layers[1].a, 3);
    ASSERT_TRUE(file.headTexts);
    const auto& h = *file.headTexts;
    EXPECT_EQ(h.systemName, "SYSTEM");
    EXPECT_EQ(h.paperNumber, 6);
    EXPECT_EQ(h.frame[7], 8);
    EXPECT_EQ(h.size[0], 8);
    EXPECT_EQ(h.message, "MESSAGE");
    EXPECT_EQ(h.groupNames[3], "GROUP3");
    EXPECT_EQ(h.selectionName, "SELECTION");
    EXPECT_EQ(file.head[390], 77);
    EXPECT_EQ(file.head[394], 8);
    EXPECT_TRUE(std::equal(headBytes.begin(), headBytes.end(), file.head.begin() + 1200));
    ASSERT_TRUE(file.background);
    EXPECT_EQ(file.background->name, "BACK.BMP");
    EXPECT_EQ(file.background->b, 11);
    EXPECT_EQ(file.background->cdef[3], 4);
    EXPECT_EQ(file.background->imageCount, 2);
    EXPECT_EQ(file.sheetInfo.DeviceId(1), 9);
    EXPECT_FALSE(file.sheetInfo.DeviceId(0));
    ASSERT_EQ(file.Elements().size(), 1u);
    ASSERT_NE(file.Find(static_cast<std::uint32_t>(polyline)), nullptr);
    EXPECT_EQ(file.Find(static_cast<std::uint32_t>(polyline))->rest, points);
}

// Every record kind through the real client and server, read back from the file: the
// element's own fields sit where a drawing element of that kind keeps them, and its
// attribute ids lead to what the follow-ups registered.
TEST_F(AmbrelProcess, RecordsAreStoredAsDrawingElements) {
    OpenForUpdate("C:\\KINDS.PDB");
    auto put = [](auto&& send) {
        send();
        PdmDb_EndElement();
        return PdmDb_Session() ? SessionLastRecord(PdmDb_Session()->block) : 0;
    };
    const auto point = put([] { PdmDb_PutElementRec1(0, {4, 9, 7}, {10, 20}); });
    const auto line = put([] { PdmDb_PutElementRec2(0, {4, 0, 7, 2}, {1, 2, 3, 11, 12, 13, 14}); });
    const auto hidden = put([] { PdmDb_PutElementRec2(-1, {4, 0, 7, 2}, {0, 0, 0, 5, 6, 7, 8}); });
    const auto circle = put([] {
        PdmDb_PutElementRec5(0, {4, 0, 7, 1}, {0, 0, 0}, {12, 3}, {30, 31, 2});
    });
    const auto text = put([] {
        PdmDb_PutElementRec7(0, {4, 0, 6, 2}, {3.5, 1, 2, 3, 4, 0.5});
        PdmDb_PutElemText("ABC");
    });
    const auto mark = put([] { PdmDb_PutElementRec9(0, {4, 0, 5, 8}, {2.5, 40, 41}); });
    const auto dimension = put([] {
        PdmDb_PutElementRec11(0, {4, 0, 7, 1}, {0, 0, 0}, {2, 3}, {1.3, 50, 51, 52, 53});
    });
    const auto symbol = put([] { PdmDb_PutElementRec19(0, {4, 0, 3}, 6.0, 77, {60, 61, 90}); });
    std::array<std::uint8_t, 319> image{};
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i);
    const auto picture = put([&] {
        PdmDb_PutElementRec20(0, {4, 0, 0});
        PdmDb_PutElemData(image);
    });
    const auto group = put([] {
        PdmDb_PutElementRec13(0, 4, "", "");
        const std::uint8_t members[] = {1, 0, 0, 0, 2, 0, 0, 0};
        PdmDb_PutElemData(members);
    });
    const auto stop = put([] { PdmDb_PutGroupBegin(0); });
    ASSERT_EQ(PdmDb_CloseDrawing(), 0);

    auto file = Load("C:\\KINDS.PDB");
    ASSERT_EQ(file.Elements().size(), 11u);
    auto element = [&](std::int32_t position) -> const pdbform::Element& {
        const auto* e = file.Find(static_cast<std::uint32_t>(position));
        EXPECT_NE(e, nullptr) << position;
        static const pdbform::Element none;
        return e ? *e : none;
    };
    auto real = [](const pdbform::Element& e, std::size_t at) {
        double v = -1;
        EXPECT_TRUE(LoadF64(e.fixed, at, v)) << at;
        return v;
    };
    auto word = [](const pdbform::Element& e, std::size_t at) {
        std::int16_t v = -1;
        EXPECT_TRUE(LoadI16(e.fixed, at, v)) << at;
        return v;
    };

    const auto& p = element(point);
    EXPECT_EQ(p.Layer(), 4);
    EXPECT_EQ(p.SecondWord(), 9);
    EXPECT_EQ(real(p, 6), 10);
    EXPECT_EQ(real(p, 14), 20);
    ASSERT_NE(file.pointAttributes.Get(p.AttributeId()), nullptr);
    EXPECT_EQ(file.pointAttributes.Get(p.AttributeId())->pen, 7);

    const auto& l = element(line);
    EXPECT_EQ((std::array{real(l, 6), real(l, 14), real(l, 22), real(l, 30)}),
              (std::array{11.0, 12.0, 13.0, 14.0}));
    const auto* lineType = file.lineAttributes.Get(l.AttributeId());
    ASSERT_NE(lineType, nullptr);
    EXPECT_EQ(lineType->pen, 7);
    EXPECT_EQ(lineType->lineType, 2);
    EXPECT_EQ(lineType->floats[0], 1.0f);
    EXPECT_EQ(lineType->floats[2], 3.0f);

    // A hidden boundary copy gets no follow-up, so no attribute.
    EXPECT_EQ(element(hidden).kind, -2);
    EXPECT_EQ(element(hidden).AttributeId(), 0);
    EXPECT_EQ(real(element(hidden), 6), 5);

    const auto& c = element(circle);
    EXPECT_EQ((std::array{real(c, 8), real(c, 16), real(c, 24)}), (std::array{30.0, 31.0, 2.0}));
    ASSERT_NE(file.faceAttributes.Get(word(c, 6)), nullptr);
    EXPECT_EQ(file.faceAttributes.Get(word(c, 6))->paintNumber, 12);
    EXPECT_EQ(file.faceAttributes.Get(word(c, 6))->ppat, 3);

    const auto& t = element(text);
    EXPECT_EQ(real(t, 6), 1);
    EXPECT_EQ(real(t, 38), 0.5);
    EXPECT_EQ(word(t, 46), 3);
    EXPECT_EQ(std::string(t.rest.begin(), t.rest.end()), "ABC");
    const auto* font = file.symbolAttributes.Get(t.AttributeId());
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->pen, 6);
    EXPECT_EQ(font->fontId, 2);
    EXPECT_EQ(font->height, 3.5);

    const auto& k = element(mark);
    EXPECT_EQ(real(k, 6), 40);
    EXPECT_EQ(real(k, 14), 41);
    ASSERT_NE(file.markAttributes.Get(k.AttributeId()), nullptr);
    EXPECT_EQ(file.markAttributes.Get(k.AttributeId())->markNumber, 8);
    EXPECT_EQ(file.markAttributes.Get(k.AttributeId())->size, 2.5);

    const auto& d = element(dimension);
    EXPECT_EQ(real(d, 6), 50);
    EXPECT_EQ(real(d, 30), 53);
    const auto* arrow = file.arrowAttributes.Get(word(d, 38));
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(arrow->arrowType, 2);
    EXPECT_EQ(arrow->arrowEnds, 3);
    EXPECT_EQ(arrow->size, 1.3);

    const auto& y = element(symbol);
    EXPECT_EQ(word(y, 6), 77);
    EXPECT_EQ((std::array{real(y, 8), real(y, 16), real(y, 24)}), (std::array{60.0, 61.0, 90.0}));
    ASSERT_NE(file.symbolAttributes.Get(y.AttributeId()), nullptr);
    EXPECT_EQ(file.symbolAttributes.Get(y.AttributeId())->height, 6.0);

    const auto& i = element(picture);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), i.fixed.begin() + 6));
    EXPECT_TRUE(i.rest.empty());

    const auto& g = element(group);
    EXPECT_EQ(g.Layer(), 4);
    ASSERT_EQ(g.rest.size(), 16u + 120u + 8u);
    EXPECT_EQ(g.rest[136], 1);
    EXPECT_EQ(g.rest[140], 2);

    EXPECT_EQ(element(stop).kind, 21);
}

}  // namespace
