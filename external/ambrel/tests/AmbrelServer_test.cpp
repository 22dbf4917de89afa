// The request handling in-process: sessions and their refusals, the update bracket
// across connections, and a stream of mutated messages that must leave another
// session's file intact.
#include "ambrel/AmbrelServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "ByteOrder.h"
#include "TestPrefix.h"
#include "pdbform/FormIo.h"

namespace {

using ambrel::Message;

class AmbrelServerTest : public platform::test::PrefixTest {
  protected:
    ambrel::Server server{[this](const std::string& line) {
        std::lock_guard lock(logMutex);
        log.push_back(line);
    }};
    std::mutex logMutex;
    std::vector<std::string> log;

    static Message Request(std::int16_t cmd, const std::array<std::uint8_t, 288>& block) {
        Message m{};
        (void)StoreI16(m, 0, cmd);
        std::copy(block.begin(), block.end(), m.begin() + 2);
        return m;
    }
    static std::span<std::uint8_t> Payload(Message& m) { return std::span(m).subspan(290); }
    static std::array<std::uint8_t, 288> Block(const Message& m) {
        std::array<std::uint8_t, 288> b{};
        std::copy_n(m.begin() + 2, 288, b.begin());
        return b;
    }
    std::vector<Message> Send(ambrel::Connection& c, const Message& m) {
        std::vector<Message> replies;
        server.Handle(c, m, replies);
        return replies;
    }
    // Opens C:\<name>; returns the session block (result checked).
    std::array<std::uint8_t, 288> Open(ambrel::Connection& c, const std::string& name,
                                       std::int32_t expect = 0) {
        Message m = Request(-109, {});
        Payload(m)[0] = static_cast<std::uint8_t>(name.size());
        std::copy(name.begin(), name.end(), Payload(m).begin() + 1);
        auto replies = Send(c, m);
        EXPECT_EQ(replies.size(), 1u);
        std::int32_t result = -1;
        EXPECT_TRUE(LoadI32(Payload(replies[0]), 260, result));
        EXPECT_EQ(result, expect) << name;
        return Block(replies[0]);
    }
    // Puts a kind-2 line record on `layer` with pen `pen`, then its line attribute.
    std::int32_t PutLine(ambrel::Connection& c, std::array<std::uint8_t, 288>& block,
                         std::int16_t layer, std::int16_t pen) {
        Message m = Request(27, block);
        auto p = Payload(m);
        (void)StoreI16(p, 0, 2);
        (void)StoreI16(p, 2, layer);
        (void)StoreI16(p, 6, pen);
        (void)StoreF64(p, 10, 1.5);
        auto reply = Send(c, m).at(0);
        block = Block(reply);
        Message follow = Request(33, block);
        (void)StoreI16(Payload(follow), 0, pen);
        Send(c, follow);
        Message end = Request(14, block);
        Send(c, end);
        std::int32_t position = 0;
        EXPECT_TRUE(LoadI32(block, 260, position));
        return position;
    }
    pdbform::PdbFile LoadC(const std::string& name) {
        pdbform::PdbFile f;
        std::string reason;
        EXPECT_EQ(pdbform::Load(C(name).string(), f, &reason), pdbform::Status::kOk) << reason;
        return f;
    }
};

TEST_F(AmbrelServerTest, OpenCreatesFileAndRefusalsCarryResults) {
    auto c = server.NewConnection();
    auto block = Open(c, "C:\\NEW.PDB");
    EXPECT_EQ(LoadC("NEW.PDB").Version(), 256);
    Open(c, "*ELSEWHERE", 87);
    Open(c, "Q:\\NODRIVE.PDB", 87);

    // The head word writes never replace the version word; reads outside the block
    // answer zeros.
    Message write = Request(122, block);
    auto wp = Payload(write);
    (void)StoreI16(wp, 2, 4);
    wp[4] = 0xAA, wp[5] = 0xBB, wp[6] = 0x11, wp[7] = 0x22;
    Send(c, write);
    Message read = Request(121, block);
    (void)StoreI16(Payload(read), 0, 2040);
    (void)StoreU16(Payload(read), 2, 256);
    auto r = Send(c, read).at(0);
    EXPECT_EQ(Payload(r)[4], 0);
    EXPECT_EQ(LoadC("NEW.PDB").head[0], 0x00);
    EXPECT_EQ(LoadC("NEW.PDB").head[1], 0x01);
    EXPECT_EQ(LoadC("NEW.PDB").head[2], 0x11);

    // Command 105 keeps its value at 390 and its name at 394; a name that would reach the
    // layer word at 512 is refused.
    for (const std::size_t length : {4u, 118u}) {
        Message head = Request(105, block);
        auto hp = Payload(head);
        (void)StoreI32(hp, 0, 0x1234567);
        hp[8] = static_cast<std::uint8_t>(length);
        std::fill_n(hp.begin() + 9, length, 'N');
        Send(c, head);
    }
    const auto headNow = LoadC("NEW.PDB").head;
    std::int32_t value = 0;
    EXPECT_TRUE(LoadI32(headNow, 390, value));
    EXPECT_EQ(value, 0x1234567);
    EXPECT_EQ(headNow[394], 4);
    EXPECT_EQ(headNow[398], 'N');
    EXPECT_EQ(headNow[399], 0);

    // A forged session and a short message are refused with their result fields.
    auto forged = block;
    forged[96] ^= 1;
    Message close = Request(2, forged);
    auto cr = Send(c, close).at(0);
    std::int32_t result = 0;
    EXPECT_TRUE(LoadI32(Payload(cr), 4, result));
    EXPECT_EQ(result, 6);
    std::vector<Message> replies;
    server.Handle(c, std::span(close).first(100), replies);
    EXPECT_EQ(replies.size(), 1u);
    Message query = Request(13, forged);
    replies = Send(c, query);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0][0], 13);

    Message good = Request(2, block);
    EXPECT_TRUE(LoadI32(Payload(Send(c, good).at(0)), 4, result));
    EXPECT_EQ(result, 0);
    EXPECT_GE(log.size(), 5u);
}

TEST_F(AmbrelServerTest, EveryCommandGetsOneReplyWithTheClientFields) {
    auto c = server.NewConnection();
    auto block = Open(c, "C:\\ALL.PDB");
    block[10] = 'x';  // client fields: pipe name, handle, length, keep-open flag
    block[85] = 0x42;
    block[285] = 1;
    for (std::int16_t cmd :
         {978, 27, 31, 33, 35, 37,  39,  41,  18,  14,  13,  21,  24,  54,  62,  64, 83,
          85,  87, 89, 91, 93, 103, 105, 111, 116, 118, 121, 122, 972, 973, 979, 2}) {
        Message m = Request(cmd, block);
        (void)StoreI16(Payload(m), 0, 2);  // a line record; small lengths and numbers
        auto replies = Send(c, m);
        ASSERT_FALSE(replies.empty()) << cmd;
        std::int16_t last = 0;
        EXPECT_TRUE(LoadI16(replies.back(), 0, last));
        EXPECT_EQ(last, cmd);
        for (std::size_t i = 0; i + 1 < replies.size(); ++i) {
            EXPECT_EQ(replies[i][0], 0) << cmd;
        }
        if (cmd != 13) {
            EXPECT_EQ(replies.size(), 1u) << cmd;
        }
        auto back = Block(replies.back());
        EXPECT_TRUE(std::equal(block.begin() + 2, block.begin() + 91, back.begin() + 2)) << cmd;
        EXPECT_EQ(back[285], 1) << cmd;
    }
    std::lock_guard lock(logMutex);
    for (const auto& line : log) EXPECT_EQ(line.find("unknown"), std::string::npos) << line;
}

TEST_F(AmbrelServerTest, BracketSerialisesAndDisconnectDiscards) {
    auto a = server.NewConnection();
    auto b = server.NewConnection();
    auto blockA = Open(a, "C:\\SHARED.PDB");
    auto blockB = Open(b, "C:\\SHARED.PDB");
    Send(a, Request(978, blockA));
    PutLine(a, blockA, 1, 7);

    std::atomic<bool> bDone{false};
    std::thread other([&] {
        Send(b, Request(978, blockB));
        PutLine(b, blockB, 2, 9);
        Send(b, Request(979, blockB));
        bDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(bDone);  // waits for a's bracket
    EXPECT_EQ(LoadC("SHARED.PDB").Elements().size(), 0u);
    server.Disconnect(a);  // a leaves mid-bracket: its element is dropped
    other.join();
    auto file = LoadC("SHARED.PDB");
    ASSERT_EQ(file.Elements().size(), 1u);
    EXPECT_EQ(file.Elements().begin()->second.Layer(), 2);
    EXPECT_EQ(file.Elements().begin()->second.AttributeId(), 1);
    EXPECT_EQ(file.lineAttributes.Size(), 1u);
}

TEST_F(AmbrelServerTest, MutatedMessagesLeaveOtherSessionIntact) {
    auto keeper = server.NewConnection();
    auto keepBlock = Open(keeper, "C:\\KEEP.PDB");
    PutLine(keeper, keepBlock, 3, 4);

    auto fuzz = server.NewConnection();
    auto block = Open(fuzz, "C:\\FUZZ.PDB");
    std::mt19937 rng(12345);
    // Opens are left out: a random path would create files wherever it points.
    const std::int16_t commands[] = {2,   13,  14,  18,  21,  24,  27,  31,  33,  35, 37,  39,
                                     41,  54,  62,  64,  83,  85,  87,  89,  91,  93, 103, 105,
                                     111, 116, 118, 121, 122, 972, 973, 978, 979, 7,  0};
    for (int i = 0; i < 4000; ++i) {
        Message m = Request(commands[rng() % std::size(commands)], block);
        auto p = Payload(m);
        for (auto& byte : p) byte = static_cast<std::uint8_t>(rng() % 4 == 0 ? rng() : 0);
        // Mostly plausible lengths and offsets, sometimes hostile ones.
        if (rng() % 2) (void)StoreU16(p, 0, static_cast<std::uint16_t>(rng() % 300));
        if (rng() % 2) (void)StoreI16(p, 2, static_cast<std::int16_t>(rng() % 2100));
        if (rng() % 50 == 0) m[2 + 92 + rng() % 8] ^= 0x5A;
        std::vector<Message> replies;
        const std::size_t size = rng() % 40 == 0 ? rng() % 740 : 740;
        server.Handle(fuzz, std::span(m).first(size), replies);
        ASSERT_GE(replies.size(), 1u);
        if (m[0] == 2 && m[1] == 0 && replies.size() == 1) {
            std::int32_t result = -1;
            (void)LoadI32(Payload(replies[0]), 4, result);
            if (result == 0) block = Open(fuzz, "C:\\FUZZ.PDB");
        }
    }
    server.Disconnect(fuzz);
    {
        // Whatever the server accepted, it could also save.
        std::lock_guard lock(logMutex);
        for (const auto& line : log) EXPECT_EQ(line.find("saving"), std::string::npos) << line;
    }
    PutLine(keeper, keepBlock, 3, 5);
    auto kept = LoadC("KEEP.PDB");
    ASSERT_EQ(kept.Elements().size(), 2u);
    EXPECT_EQ(kept.lineAttributes.Size(), 2u);
}

}  // namespace

// A removed element leaves the member lists and boundaries that named it, so the file
// can still be saved; a placed definition is not removed; a save the file system refuses
// is reported by the end of the update and by the close, never taken for success.
TEST_F(AmbrelServerTest, RemovalsKeepTheFileWholeAndLostSavesAreReported) {
    pdbform::PdbFile groups = pdbform::NewEmpty({});
    groups.layers.push_back({});
    groups.layers.back().number = 1;
    const std::uint32_t member1 = groups.Append(pdbform::MakeElement(52, 1, 0, 0));
    const std::uint32_t member2 = groups.Append(pdbform::MakeElement(52, 1, 0, 0));
    const std::uint32_t holder = groups.Append(pdbform::MakeElement(13, 1, 0, 0));
    const std::uint32_t placed = groups.Append(pdbform::MakeElement(25, 1, 0, 0));
    const std::uint32_t edge = groups.Append(pdbform::MakeElement(2, 1, 0, 0));
    const std::uint32_t area = groups.Append(pdbform::MakeElement(29, 1, 0, 0));
    groups.definitions[holder].members = {member1, member2};
    groups.placements[placed].definition = holder;
    groups.paintAreas[area].boundary = {edge};
    std::string reason;
    ASSERT_EQ(pdbform::Save(groups, C("GROUPS.PDB").string(), &reason), pdbform::Status::kOk)
        << reason;

    auto c = server.NewConnection();
    auto block = Open(c, "C:\\GROUPS.PDB");
    auto result = [&](std::int16_t cmd, std::int32_t position) {
        Message m = Request(cmd, block);
        (void)StoreI32(Payload(m), 0, position);
        auto reply = Send(c, m).at(0);
        std::int32_t r = -1;
        EXPECT_TRUE(LoadI32(Payload(reply), 4, r));
        return r;
    };
    EXPECT_EQ(result(978, 0), 0);
    for (const std::uint32_t position : {member1, edge, holder}) (void)result(21, position);
    EXPECT_EQ(result(979, 0), 0);
    EXPECT_EQ(result(2, 0), 0);
    const pdbform::PdbFile saved = LoadC("GROUPS.PDB");
    EXPECT_EQ(saved.definitions.at(holder).members, std::vector<std::uint32_t>{member2});
    EXPECT_TRUE(saved.paintAreas.at(area).boundary.empty());
    EXPECT_NE(saved.Find(holder), nullptr);
    EXPECT_EQ(saved.Find(member1), nullptr);

    std::filesystem::create_directories(C("LOST"));
    block = Open(c, "C:\\LOST\\GONE.PDB");
    EXPECT_EQ(result(978, 0), 0);
    (void)PutLine(c, block, 1, 1);
    std::filesystem::remove_all(C("LOST"));
    EXPECT_EQ(result(979, 0), 29);
    EXPECT_EQ(result(2, 0), 29);
}
