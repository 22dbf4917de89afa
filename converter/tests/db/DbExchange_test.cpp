// Exchanges against a scripted server in a fresh prefix: pieces, multi-part answers,
// follow-ups, the update bracket, the open and its new-file initialisation, and the
// failures that the close must report.
#include <gtest/gtest.h>

#include <fstream>

#include "PipeFixture.h"
#include "ScriptedServer.h"
#include "TestPrefix.h"
#include "support/db/DbHeadTemplate.h"
#include "support/db/DbSessionOps.h"
#include "support/db/ElementRecords.h"

using db_test::I16;
using db_test::I32;
using db_test::Request;

namespace {

class DbExchangeTest : public platform::test::PrefixTest {
  protected:
    void SetUp() override {
        PrefixTest::SetUp();
        server_ = std::make_unique<db_test::ScriptedServer>();
        ASSERT_EQ(server_->created(), 0u);
    }
    void TearDown() override {
        (void)PdmDb_CloseDrawing();
        server_.reset();
        PrefixTest::TearDown();
    }
    // An open drawing on the process-wide session, "*" so no initialisation follows.
    void OpenSession() {
        ASSERT_EQ(PdmDb_Open(PdmDb_CreateSession(), "*WORK"), 0);
        skip_ = server_->Requests().size();
    }
    std::vector<Request> Sent() {
        auto all = server_->Requests();
        return {all.begin() + static_cast<std::ptrdiff_t>(skip_), all.end()};
    }
    std::unique_ptr<db_test::ScriptedServer> server_;
    std::size_t skip_ = 0;
};

std::vector<std::uint16_t> PieceLengths(const std::vector<Request>& sent, std::int16_t command) {
    std::vector<std::uint16_t> out;
    for (const auto& r : sent) {
        if (r.command() == command) out.push_back(static_cast<std::uint16_t>(I16(r.payload(), 0)));
    }
    return out;
}

}  // namespace

TEST_F(DbExchangeTest, ElementDataGoesInPiecesOf256) {
    OpenSession();
    std::vector<std::uint8_t> data(513);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    PdmDb_PutElemData(std::span(data).first(300));
    EXPECT_EQ(PieceLengths(Sent(), 18), (std::vector<std::uint16_t>{256, 44}));
    EXPECT_EQ(Sent()[1].payload()[2], 0);  // second piece starts at byte 256
    EXPECT_EQ(Sent()[1].payload()[3], 1);
    skip_ += 2;
    PdmDb_PutElemData(std::span(data).first(512));
    PdmDb_PutElemData(data);
    PdmDb_PutElemData({});
    EXPECT_EQ(PieceLengths(Sent(), 18), (std::vector<std::uint16_t>{256, 256, 256, 256, 1}));
    skip_ += 5;
    PdmDb_PutElemText("abc");
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(PieceLengths(Sent(), 18), (std::vector<std::uint16_t>{2, 3}));
    auto text = Sent();
    EXPECT_EQ(I16(text[0].payload(), 2), 3);
    auto bytes = text[1].payload();
    EXPECT_EQ(std::string(bytes.begin() + 2, bytes.begin() + 5), "abc");
    skip_ += 2;
    PdmDb_PutGroupEnd(-1);
    EXPECT_EQ(I16(Sent()[0].payload(), 2), -22);
}

TEST_F(DbExchangeTest, MultiPartAnswerIsReadToItsEnd) {
    OpenSession();
    DbSession& s = *PdmDb_Session();
    ASSERT_EQ(PdmDb_BeginUpdate(s), 0);
    // Over the held connection a piece left unread would be taken as the next reply.
    server_->multiAnswerBytes = 600;  // three pieces (256, 256, 88) and the end
    PdmDb_EndElement();
    server_->multiAnswerBytes = 0;
    server_->headWord = 0x1234;
    std::array<std::uint8_t, 2> word{};
    PdmDb_ReadHead(s, 512, word);
    EXPECT_EQ(word, (std::array<std::uint8_t, 2>{0x34, 0x12}));
    PdmDb_DeleteElement(129);
    EXPECT_EQ(Sent().back().command(), 21);
    EXPECT_EQ(I32(Sent().back().payload(), 0), 129);
    EXPECT_EQ(PdmDb_CloseDrawing(), 0);
}

TEST_F(DbExchangeTest, TextsAreCutToTheirFields) {
    OpenSession();
    DbSession& s = *PdmDb_Session();
    DbLayerDef layer;
    layer.name = std::string(15, 'L') + "字";  // the cut at 16 falls inside 字
    layer.first = 7;
    PdmDb_WriteLayer(s, 1, layer);
    PdmDb_PutSystemName(s, std::string(20, 'S'), 9);
    PdmDb_PutHeadValueAndName(s, -5, "NAME");
    PdmDb_PutImageName(s, std::string(300, 'i'), 11, 12);
    PdmDb_PutMessage(s, std::string(400, 'm'));
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 5u);
    EXPECT_EQ(LoadCountedString(sent[0].payload(), 2), std::string(15, 'L'));
    EXPECT_EQ(I16(sent[0].payload(), 19), 7);
    EXPECT_EQ(LoadCountedString(sent[1].payload(), 0), std::string(16, 'S'));
    EXPECT_EQ(I16(sent[1].payload(), 17), 9);
    EXPECT_EQ(I32(sent[2].payload(), 0), -5);
    EXPECT_EQ(I32(sent[2].payload(), 4), 0);
    EXPECT_EQ(LoadCountedString(sent[2].payload(), 8), "NAME");
    EXPECT_EQ(sent[3].payload()[4 + 255], 'i');
    EXPECT_EQ(sent[3].payload()[4 + 256], 0);
    EXPECT_EQ(I32(sent[3].payload(), 261), 11);
    EXPECT_EQ(LoadCountedString(sent[4].payload(), 0).size(), 255u);
}

TEST_F(DbExchangeTest, FollowUpsBySignAndKind) {
    OpenSession();
    PdmDb_PutElementRec2(static_cast<std::int16_t>(0x8000), {1, 2, 3, 4}, {});
    EXPECT_EQ(server_->Commands().back(), 27);  // negative kind: no follow-up
    EXPECT_EQ(Sent()[0].payload()[0], 0xFE);

    skip_ = server_->Requests().size();
    PdmDb_PutElementRec2(0, {1, 2, 3, 1}, {1.0, 2.0, 3.0, 4, 5, 6, 7});
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(Sent()[1].command(), 33);
    EXPECT_EQ(I16(Sent()[1].payload(), 0), 3);
    EXPECT_EQ(I16(Sent()[1].payload(), 2), 1);
    for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(I32(Sent()[1].payload(), 4 + 4 * i), 0);

    skip_ = server_->Requests().size();
    PdmDb_PutElementRec10(0, {1, 2, 3, 7}, {1.0, 0, 0}, {8, 9}, {2.5});
    ASSERT_EQ(Sent().size(), 3u);
    EXPECT_EQ(Sent()[1].command(), 33);
    EXPECT_NE(I32(Sent()[1].payload(), 8), 0);  // high word of 1.0 travels when t is 7
    EXPECT_EQ(Sent()[2].command(), 41);
    EXPECT_EQ(I16(Sent()[2].payload(), 0), 8);
    EXPECT_EQ(I16(Sent()[2].payload(), 2), 9);

    skip_ = server_->Requests().size();
    PdmDb_PutElementRec19(0, {1, 2, 3}, 2.5, 4, {});
    ASSERT_EQ(Sent().size(), 2u);
    EXPECT_EQ(Sent()[1].command(), 37);
    EXPECT_EQ(I16(Sent()[1].payload(), 2), -1);
    EXPECT_EQ(I32(Sent()[1].payload(), 8), 0x40040000);  // high word of 2.5
    EXPECT_EQ(PdmDb_CloseDrawing(), 0);
}

TEST_F(DbExchangeTest, RepliesReplaceTheSessionBlockExceptForHeaderCommands) {
    OpenSession();
    // The server moves the record position in every reply.
    std::int32_t position = 128;
    server_->script = [&position](const DbMessage& request) {
        DbMessage reply = request;
        (void)StoreI32(MessageSession(reply), kSessLastRecord, ++position);
        return std::vector<std::string>{db_test::ScriptedServer::Bytes(reply)};
    };
    PdmDb_PutElementRec20(0, {1, 2, 3});
    EXPECT_EQ(PdmDb_LastElemNo(), 129 - 1);  // position 129 is element 128
    DbSession& s = *PdmDb_Session();
    PdmDb_PutSystemName(s, "SYS", 1);
    PdmDb_PutHeadValueAndName(s, 1, "N");
    PdmDb_BeginSheetBlock(s);
    EXPECT_EQ(PdmDb_LastElemNo(), 128);
    PdmDb_Notice(s, 1);
    EXPECT_EQ(PdmDb_LastElemNo(), 133 - 1);
    server_->script = nullptr;
}

TEST_F(DbExchangeTest, UpdateBracketHoldsOneConnection) {
    OpenSession();
    DbSession& s = *PdmDb_Session();
    ASSERT_EQ(PdmDb_BeginUpdate(s), 0);
    PdmDb_SetElemAttr(3);
    PdmDb_PutNameAndStyle("img.bmp", 1, 2, 3, 4, 5, 6);
    std::array<std::uint8_t, 2048> block{};
    PdmDb_PutBlock2K(block, 2);
    EXPECT_EQ(PdmDb_CloseDrawing(), 0);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 15u);  // 978, 118, 111, 116, 972, 8 x 973, 979, 2
    for (std::size_t i = 0; i + 1 < sent.size(); ++i) {
        EXPECT_EQ(sent[i].connection, sent[0].connection) << i;
    }
    EXPECT_NE(sent.back().connection, sent[0].connection);
    EXPECT_EQ(sent[0].bytes[2 + kSessKeepOpen], 0);
    EXPECT_EQ(sent[1].bytes[2 + kSessKeepOpen], 1);
    EXPECT_EQ(sent[12].command(), 973);
    EXPECT_EQ(sent[12].payload()[1], 2);
    EXPECT_EQ(I16(sent[12].payload(), 2), 1792);
    EXPECT_EQ(sent[13].command(), 979);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(sent[2].payload().data() + 4)), "img.bmp");
}

TEST_F(DbExchangeTest, OpenUpperCasesTheDriveAndInitialisesOnlyNewFiles) {
    DbSession& s = PdmDb_CreateSession();
    ASSERT_EQ(PdmDb_Open(s, "c:\\A.PDB"), 0);
    auto sent = server_->Requests();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].command(), -109);
    EXPECT_EQ(LoadCountedString(sent[0].payload(), 0), "C:\\A.PDB");

    std::vector<std::int16_t> expected = {-109, 83, 85, 103, 93, 122, 64, 62, 122};
    for (int i = 0; i < 8; ++i) expected.push_back(122);
    for (std::int16_t c : {121, 122, 24, 121, 122, 121, 122}) expected.push_back(c);
    EXPECT_EQ(server_->Commands(), expected);
    EXPECT_EQ(LoadCountedString(sent[1].payload(), 0), "ＣＡＤベース    ");
    EXPECT_EQ(LoadCountedString(sent[4].payload(), 2), "手入力データ    ");
    EXPECT_EQ(LoadCountedString(sent[7].payload(), 2), std::string(16, ' '));

    // The head block: the template with 512, 514 = 1 and 1028..1058 = -1, in 8 pieces.
    HeadBlock head = BuildHeadTemplate();
    head[512] = 1;
    head[514] = 1;
    for (std::size_t at = 1028; at <= 1058; at += 2) head[at] = head[at + 1] = 0xFF;
    for (std::size_t i = 0; i < 8; ++i) {
        const Request& piece = sent[9 + i];
        EXPECT_EQ(I16(piece.payload(), 0), static_cast<std::int16_t>(256 * i));
        EXPECT_EQ(I16(piece.payload(), 2), 256);
        EXPECT_TRUE(std::equal(head.begin() + 256 * i, head.begin() + 256 * (i + 1),
                               piece.payload().begin() + 4))
            << i;
    }
    // The echo server reads back zeros: both words at 1040 and 1104 are written -1.
    std::size_t total = server_->Requests().size();
    EXPECT_EQ(total, expected.size());  // no further requests

    // An existing file and a "*" path are not initialised; short paths go unchanged.
    std::ofstream(C("OLD.PDB")) << "x";
    ASSERT_EQ(PdmDb_Open(s, "c:\\OLD.PDB"), 0);
    ASSERT_EQ(PdmDb_Open(s, "*x"), 0);
    ASSERT_EQ(PdmDb_Open(s, "c:A"), 0);
    auto later = server_->Commands();
    EXPECT_EQ(std::vector<std::int16_t>(later.begin() + static_cast<std::ptrdiff_t>(total),
                                        later.begin() + static_cast<std::ptrdiff_t>(total) + 3),
              (std::vector<std::int16_t>{-109, -109, -109}));
    EXPECT_EQ(LoadCountedString(server_->Requests()[total + 2].payload(), 0), "c:A");
}

TEST_F(DbExchangeTest, LostRepliesMakeTheCloseFail) {
    pipe_test::RecordingServer monitor("\\\\.\\PIPE\\DBGPRT\\PDMMON", 255);
    ASSERT_EQ(monitor.created(), 0u);
    OpenSession();
    server_->shortReplyFor = 18;
    PdmDb_PutElemText("ab");
    PdmDb_EndElement();  // the walk goes on
    EXPECT_EQ(server_->Commands().back(), 14);
    EXPECT_EQ(PdmDb_CloseDrawing(), 22);
    ASSERT_TRUE(monitor.WaitConnections(1));
    EXPECT_EQ(monitor.Connections(),
              (std::vector<std::vector<std::string>>{
                  {std::string("ossel.lib  Error! Client_Receive() rc[-1](24)\n") + '\0'}}));
    EXPECT_EQ(PdmDb_Session(), nullptr);

    // A server that fails the close, and one that is gone for it.
    OpenSession();
    server_->script = [](const DbMessage& request) {
        DbMessage reply = request;
        if (MessageCommand(request) == 2) (void)StoreI32(MessagePayload(reply), 4, 5);
        return std::vector<std::string>{db_test::ScriptedServer::Bytes(reply)};
    };
    EXPECT_EQ(PdmDb_CloseDrawing(), 22);
    server_->script = nullptr;
    OpenSession();
    server_.reset();
    EXPECT_EQ(PdmDb_CloseDrawing(), 22);
}
