// The open and the close go through PdmDb_TransactStart, the only exchanges that start
// the server; everything between uses the ordinary exchange.
#include "support/db/DbSessionOps.h"

#include <algorithm>

#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/WinError.h"
#include "support/ByteOrder.h"
#include "support/db/DbCommands.h"
#include "support/db/DbHeadTemplate.h"
#include "support/db/DbTransport.h"
#include "support/pipe/DebugPrint.h"
#include "support/pipe/PipeLayer.h"

namespace {

constexpr std::size_t kOpenPathMax = 255;

std::int16_t ReadHeadWord(DbSession& session, std::int16_t offset) {
    std::array<std::uint8_t, 2> bytes{};
    PdmDb_ReadHead(session, offset, bytes);
    std::int16_t value = 0;
    (void)LoadI16(bytes, 0, value);
    return value;
}

void WriteHeadWord(DbSession& session, std::int16_t offset, std::int16_t value) {
    std::array<std::uint8_t, 2> bytes{};
    (void)StoreI16(bytes, 0, value);
    PdmDb_WriteHead(session, offset, bytes);
}

}  // namespace

std::string OpenRequestPath(std::string_view path) {
    std::string sent(UpToNul(path));
    // ":" is never the second byte of a double-byte character, so byte 0 is a
    // character of its own here.
    if (sent.size() > 3 && sent[1] == ':')
        sent.replace(0, 1, platform::UpperCase(sent.substr(0, 1)));
    return sent;
}

int PdmDb_Open(DbSession& session, std::string_view path) {
    session.transportFailed = false;
    const std::string sent = OpenRequestPath(path);
    if (sent.size() > kOpenPathMax) return platform::kErrorFilenameTooLong;
    const bool existed = (!sent.empty() && sent[0] == '*') || platform::FileExists(sent);

    DbMessage message = NewDbMessage(kDbOpenCommand, DbBlock{});
    StoreCountedString(MessagePayload(message), 0, sent, kOpenPathMax);
    (void)StoreI32(MessagePayload(message), 256, 0);
    if (PdmDb_TransactStart(session, kDbPipeName, message, kDbMessageSize) == 0) {
        return kDbUnreachable;
    }
    if (session.transportFailed) return kDbUnreachable;
    auto copy = MessageSession(message);
    std::copy(copy.begin(), copy.end(), session.block.begin());
    std::int32_t result = 0;
    (void)LoadI32(MessagePayload(message), 260, result);
    if (result != 0 || existed) return result;
    PdmDb_InitNewFile(session);
    return 0;
}

int PdmDb_Close(DbSession& session) {
    DbMessage message = NewDbMessage(2, session.block);
    (void)StoreI32(MessagePayload(message), 0, 0);
    std::string name = SessionPipeName(session.block);
    if (name.empty()) name = kDbPipeName;
    const bool reached = PdmDb_TransactStart(session, name, message, kDbMessageSize) != 0;
    session.block.fill(0);
    if (!reached || session.transportFailed) return kDbUnreachable;
    std::int32_t result = 0;
    (void)LoadI32(MessagePayload(message), 4, result);
    return result;
}

int PdmDb_BeginUpdate(DbSession& session) {
    DbMessage message = NewDbMessage(978, session.block);
    auto copy = MessageSession(message);
    if (int rc = Open_Client_IPC(copy, SessionPipeName(copy), kDbMessageSize); rc != 0) {
        DbgPrint("ossel.lib  Error! Open_Client_IPC() rc[%d]\n", rc);
        session.transportFailed = true;
        return rc;
    }
    const std::int32_t handle = SessionPipeHandle(copy);
    DbBlock sent;
    std::copy(copy.begin(), copy.end(), sent.begin());
    if (Client_Send(sent, message, kDbMessageSize) != 0 ||
        Client_Receive(sent, message, kDbMessageSize) != 0) {
        session.transportFailed = true;
    }
    auto reply = MessageSession(message);
    std::copy(reply.begin(), reply.end(), session.block.begin());
    // The connection is ours whatever the reply carries.
    SetSessionPipeHandle(session.block, handle);
    SetSessionKeepOpen(session.block, true);
    return 0;
}

void PdmDb_EndUpdate(DbSession& session) {
    if (!SessionKeepOpen(session.block)) return;
    DbMessage message = NewDbMessage(979, session.block);
    DbBlock sent = session.block;
    if (Client_Send(sent, message, kDbMessageSize) != 0 ||
        Client_Receive(sent, message, kDbMessageSize) != 0) {
        session.transportFailed = true;
    }
    Close_Client_IPC(sent);
    auto reply = MessageSession(message);
    std::copy(reply.begin(), reply.end(), session.block.begin());
    SetSessionPipeHandle(session.block, kPipeInvalid);
    SetSessionKeepOpen(session.block, false);
}

void PdmDb_InitNewFile(DbSession& session) {
    PdmDb_PutSystemName(session, "ＣＡＤベース    ", 0);
    PdmDb_PutPaperName(session, "                ", 0);
    PdmDb_PutSelectionName(session, "                ");
    PdmDb_PutGroupName(session, 0, "手入力データ    ");
    WriteHeadWord(session, 514, 1);

    DbLayerDef layer;
    if (PdmDb_ReadLayer(session, 1, layer) == 1) {
        DbLayerDef blank;
        blank.name = "                ";
        blank.values = {0, 0, 1000, 1000, 0, 1, 1, 0, 0};
        PdmDb_WriteLayer(session, 1, blank);
    }
    WriteHeadWord(session, 512, 1);

    HeadBlock head = BuildHeadTemplate();
    (void)StoreI16(head, 512, 1);
    (void)StoreI16(head, 514, 1);
    for (std::size_t at = 1028; at <= 1058; at += 2) (void)StoreI16(head, at, -1);
    PdmDb_WriteHead(session, 0, head);

    const std::int16_t word = ReadHeadWord(session, 512);
    WriteHeadWord(session, 514, word);
    PdmDb_NoticeHeadWord(session, word);
    for (std::int16_t offset : {std::int16_t{1040}, std::int16_t{1104}}) {
        if (ReadHeadWord(session, offset) == 0) WriteHeadWord(session, offset, -1);
    }
}
