// Every command is one message built field by field; the exchange and the copy-back
// rule live in PdmDb_Exchange so that no command can forget them.
#include "support/db/DbCommands.h"

#include <algorithm>
#include <cstring>

#include "support/ByteOrder.h"
#include "support/db/DbTransport.h"

namespace {

constexpr std::size_t kShortNameBytes = 16;
constexpr std::size_t kCountedMax = 255;
// The room of command 105's name in the head block: its length byte at 394, the bytes up
// to 511 (the layer word follows at 512).
constexpr std::size_t kHeadNameMax = 117;
constexpr std::size_t kImageNameRoom = 257;  // payload [4] to [260]

DbMessage Request(const DbSession& session, std::int16_t command) {
    return NewDbMessage(command, session.block);
}

// Sends `data` in pieces; `fill` stores one piece's fields (its offset from the start
// of the data, its bytes) into the payload.
template <class Fill>
void SendPieces(DbSession& session, std::int16_t command, std::span<const std::uint8_t> data,
                Fill fill) {
    for (std::size_t done = 0; done < data.size(); done += kDbPieceSize) {
        std::size_t size = std::min(kDbPieceSize, data.size() - done);
        DbMessage message = Request(session, command);
        fill(MessagePayload(message), done, data.subspan(done, size));
        PdmDb_Exchange(session, message);
    }
}

void CopyBytes(std::span<std::uint8_t> out, std::size_t offset, std::span<const std::uint8_t> in) {
    if (FitsIn(out.size(), offset, in.size()))
        std::copy(in.begin(), in.end(), out.begin() + offset);
}

void TextWithValue(DbSession& session, std::int16_t command, std::string_view text,
                   std::int16_t value) {
    DbMessage message = Request(session, command);
    auto p = MessagePayload(message);
    StoreCountedString(p, 0, text, kShortNameBytes);
    (void)StoreI16(p, 17, value);
    PdmDb_Exchange(session, message);
}

void EightValues(DbSession& session, std::int16_t command,
                 const std::array<std::int32_t, 8>& values) {
    DbMessage message = Request(session, command);
    for (std::size_t i = 0; i < values.size(); ++i) {
        (void)StoreI32(MessagePayload(message), 4 * i, values[i]);
    }
    PdmDb_Exchange(session, message);
}

void CountedText(DbSession& session, std::int16_t command, std::string_view text) {
    DbMessage message = Request(session, command);
    StoreCountedString(MessagePayload(message), 0, text, kCountedMax);
    PdmDb_Exchange(session, message);
}

std::uint16_t FourValueFollowUp(DbSession& session, std::int16_t command, std::int16_t a,
                                std::int16_t b, std::int32_t c, std::int32_t d) {
    DbMessage message = Request(session, command);
    auto p = MessagePayload(message);
    (void)StoreI16(p, 0, a);
    (void)StoreI16(p, 2, b);
    (void)StoreI32(p, 4, c);
    (void)StoreI32(p, 8, d);
    PdmDb_Exchange(session, message);
    std::uint16_t result = 0;
    (void)LoadU16(MessagePayload(message), 12, result);
    return result;
}

}  // namespace

bool KeepsSessionBlock(std::int16_t command) {
    switch (command) {
        case 64:
        case 83:
        case 85:
        case 87:
        case 89:
        case 91:
        case 93:
        case 103:
        case 105:
        case 972:
        case 973:
            return true;
        default:
            return false;
    }
}

void PdmDb_Exchange(DbSession& session, DbMessage& message) {
    const std::int16_t command = MessageCommand(message);
    if (command == 13 || command == 14) {
        PdmDb_TransactMulti(session, message, kDbMessageSize);
    } else {
        PdmDb_Transact(session, message, kDbMessageSize);
    }
    if (KeepsSessionBlock(command)) return;
    auto copy = MessageSession(message);
    std::copy(copy.begin(), copy.end(), session.block.begin());
}

void PdmDb_MultiQuery(DbSession& session) {
    DbMessage message = Request(session, 13);
    PdmDb_Exchange(session, message);
}

void PdmDb_MultiEndElement(DbSession& session) {
    DbMessage message = Request(session, 14);
    PdmDb_Exchange(session, message);
}

void PdmDb_SendElemData(DbSession& session, std::span<const std::uint8_t> data) {
    SendPieces(session, 18, data, [](auto p, std::size_t, std::span<const std::uint8_t> piece) {
        (void)StoreU16(p, 0, static_cast<std::uint16_t>(piece.size()));
        CopyBytes(p, 2, piece);
    });
}

void PdmDb_RemoveElement(DbSession& session, std::int32_t position) {
    DbMessage message = Request(session, 21);
    (void)StoreI32(MessagePayload(message), 0, position);
    PdmDb_Exchange(session, message);
}

void PdmDb_NoticeHeadWord(DbSession& session, std::int16_t value) {
    DbMessage message = Request(session, 24);
    (void)StoreI16(MessagePayload(message), 0, value);
    PdmDb_Exchange(session, message);
}

void PdmDb_PutRecord(DbSession& session, const ElementRecord& record, ElementRecord& reply) {
    DbMessage message = Request(session, 27);
    CopyBytes(MessagePayload(message), 0, record);
    PdmDb_Exchange(session, message);
    auto p = MessagePayload(message);
    std::copy_n(p.begin(), kElementRecordSize, reply.begin());
}

void PdmDb_FollowUp31(DbSession& session, std::int16_t a) {
    DbMessage message = Request(session, 31);
    (void)StoreI16(MessagePayload(message), 0, a);
    PdmDb_Exchange(session, message);
}

void PdmDb_FollowUp33(DbSession& session, std::int16_t a, std::int16_t t,
                      const std::array<std::int32_t, 6>& words) {
    DbMessage message = Request(session, 33);
    auto p = MessagePayload(message);
    (void)StoreI16(p, 0, a);
    (void)StoreI16(p, 2, t);
    if (t != 0 && t != 1) {
        for (std::size_t i = 0; i < words.size(); ++i) (void)StoreI32(p, 4 + 4 * i, words[i]);
    }
    PdmDb_Exchange(session, message);
}

std::uint16_t PdmDb_FollowUp35(DbSession& session, std::int16_t a, std::int16_t b) {
    DbMessage message = Request(session, 35);
    (void)StoreI16(MessagePayload(message), 0, a);
    (void)StoreI16(MessagePayload(message), 2, b);
    PdmDb_Exchange(session, message);
    std::uint16_t result = 0;
    (void)LoadU16(MessagePayload(message), 4, result);
    return result;
}

std::uint16_t PdmDb_FollowUp37(DbSession& session, std::int16_t a, std::int16_t b, std::int32_t c,
                               std::int32_t d) {
    return FourValueFollowUp(session, 37, a, b, c, d);
}

std::uint16_t PdmDb_FollowUp39(DbSession& session, std::int16_t a, std::int16_t b, std::int32_t c,
                               std::int32_t d) {
    return FourValueFollowUp(session, 39, a, b, c, d);
}

std::uint16_t PdmDb_FollowUp41(DbSession& session, std::int16_t a, std::int16_t b, std::int32_t c,
                               std::int32_t d) {
    return FourValueFollowUp(session, 41, a, b, c, d);
}

void PdmDb_Notice(DbSession& session, std::int16_t value) {
    DbMessage message = Request(session, 54);
    (void)StoreI16(MessagePayload(message), 0, value);
    PdmDb_Exchange(session, message);
}

void PdmDb_WriteLayer(DbSession& session, std::int16_t number, const DbLayerDef& layer) {
    DbMessage message = Request(session, 62);
    auto p = MessagePayload(message);
    (void)StoreI16(p, 0, number);
    StoreCountedString(p, 2, layer.name, kShortNameBytes);
    (void)StoreI16(p, 19, layer.first);
    (void)StoreI16(p, 21, layer.second);
    for (std::size_t i = 0; i < layer.values.size(); ++i) {
        (void)StoreF64(p, 23 + 8 * i, layer.values[i]);
    }
    PdmDb_Exchange(session, message);
}

std::int16_t PdmDb_ReadLayer(DbSession& session, std::int16_t number, DbLayerDef& layer) {
    DbMessage message = Request(session, 64);
    (void)StoreI16(MessagePayload(message), 0, number);
    PdmDb_Exchange(session, message);
    auto p = MessagePayload(message);
    // The name field has 16 bytes of room whatever the length byte claims.
    layer.name = LoadCountedString(p.first(2 + 1 + kShortNameBytes), 2);
    (void)LoadI16(p, 19, layer.first);
    (void)LoadI16(p, 21, layer.second);
    for (std::size_t i = 0; i < layer.values.size(); ++i) {
        (void)LoadF64(p, 23 + 8 * i, layer.values[i]);
    }
    std::int16_t status = 0;
    (void)LoadI16(p, 95, status);
    return status;
}

void PdmDb_PutSystemName(DbSession& session, std::string_view text, std::int16_t value) {
    TextWithValue(session, 83, text, value);
}

void PdmDb_PutPaperName(DbSession& session, std::string_view text, std::int16_t value) {
    TextWithValue(session, 85, text, value);
}

void PdmDb_PutFrameValues(DbSession& session, const std::array<std::int32_t, 8>& values) {
    EightValues(session, 87, values);
}

void PdmDb_PutSizeValues(DbSession& session, const std::array<std::int32_t, 8>& values) {
    EightValues(session, 89, values);
}

void PdmDb_PutMessage(DbSession& session, std::string_view text) { CountedText(session, 91, text); }

void PdmDb_PutSelectionName(DbSession& session, std::string_view text) {
    CountedText(session, 103, text);
}

void PdmDb_PutGroupName(DbSession& session, std::int16_t index, std::string_view text) {
    DbMessage message = Request(session, 93);
    auto p = MessagePayload(message);
    (void)StoreI16(p, 0, index);
    StoreCountedString(p, 2, text, kCountedMax);
    PdmDb_Exchange(session, message);
}

void PdmDb_PutHeadValueAndName(DbSession& session, std::int32_t value, std::string_view name) {
    DbMessage message = Request(session, 105);
    auto p = MessagePayload(message);
    (void)StoreI32(p, 0, value);
    (void)StoreI32(p, 4, 0);
    StoreCountedString(p, 8, name, kHeadNameMax);
    PdmDb_Exchange(session, message);
}

void PdmDb_PutImageName(DbSession& session, std::string_view name, std::int32_t a, std::int32_t b) {
    DbMessage message = Request(session, 111);
    auto p = MessagePayload(message);
    StoreNulString(p, 4, name, kImageNameRoom);
    (void)StoreI32(p, 261, a);
    (void)StoreI32(p, 265, b);
    PdmDb_Exchange(session, message);
}

void PdmDb_PutImageBytes(DbSession& session, std::uint8_t c, std::uint8_t d, std::uint8_t e,
                         std::uint8_t f) {
    DbMessage message = Request(session, 116);
    auto p = MessagePayload(message);
    p[4] = c;
    p[5] = d;
    p[6] = e;
    p[7] = f;
    PdmDb_Exchange(session, message);
}

void PdmDb_PutImageCount(DbSession& session, std::int16_t count) {
    DbMessage message = Request(session, 118);
    (void)StoreI16(MessagePayload(message), 0, count);
    PdmDb_Exchange(session, message);
}

void PdmDb_ReadHead(DbSession& session, std::int16_t offset, std::span<std::uint8_t> out) {
    for (std::size_t done = 0; done < out.size(); done += kDbPieceSize) {
        std::size_t size = std::min(kDbPieceSize, out.size() - done);
        DbMessage message = Request(session, 121);
        (void)StoreI16(MessagePayload(message), 0, static_cast<std::int16_t>(offset + done));
        (void)StoreU16(MessagePayload(message), 2, static_cast<std::uint16_t>(size));
        PdmDb_Exchange(session, message);
        auto p = MessagePayload(message);
        std::copy_n(p.begin() + 4, size, out.begin() + done);
    }
}

void PdmDb_WriteHead(DbSession& session, std::int16_t offset, std::span<const std::uint8_t> data) {
    SendPieces(session, 122, data,
               [offset](auto p, std::size_t done, std::span<const std::uint8_t> piece) {
                   (void)StoreI16(p, 0, static_cast<std::int16_t>(offset + done));
                   (void)StoreU16(p, 2, static_cast<std::uint16_t>(piece.size()));
                   CopyBytes(p, 4, piece);
               });
}

void PdmDb_BeginSheetBlock(DbSession& session) {
    DbMessage message = Request(session, 972);
    PdmDb_Exchange(session, message);
}

void PdmDb_PutSheetBlock(DbSession& session, std::uint8_t entry,
                         std::span<const std::uint8_t> block) {
    SendPieces(session, 973, block,
               [entry](auto p, std::size_t done, std::span<const std::uint8_t> piece) {
                   p[1] = entry;
                   (void)StoreI16(p, 2, static_cast<std::int16_t>(done));
                   (void)StoreU16(p, 4, static_cast<std::uint16_t>(piece.size()));
                   CopyBytes(p, 6, piece);
               });
}
