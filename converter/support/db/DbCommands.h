// The commands of the database-manager protocol, one function per command. Each
// builds a message with the command code, a copy of the session block and the payload
// values in the order the protocol lists them, exchanges it (PdmDb_Transact, or the
// multi-part exchange for 13 and 14), and copies the reply's session block back into
// the session, except for commands 64, 83, 85, 87, 89, 91, 93, 103, 105, 972 and 973,
// whose replies leave the client's block as it was.
//
// Texts are read up to their first NUL and cut on a character boundary to their field,
// never beyond it: 16 bytes for the counted names of 62, 83 and 85; at most 255 bytes
// (the length byte's range) for the counted texts of 91, 93 and 103; 117 bytes for the
// name of 105 (its room in the head block); 256 bytes and
// a NUL for the image name of 111.
//
// Bulk data (18, 121, 122, 973) travels in pieces of at most 256 bytes, every piece but
// the last carrying 256; the offset field of 121, 122 and 973 advances by 256 from piece
// to piece. 0 bytes send nothing.
//
// Command 105 carries one value and one name: payload [0] i32 the value, [4] i32 0,
// [8] the name as a counted string. The server keeps both in the head block: the value
// at 390, the counted name at 394.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "support/db/DbMessage.h"

// The commands whose replies do not replace the client's session block.
[[nodiscard]] bool KeepsSessionBlock(std::int16_t command);

// Exchanges an ordinary request and applies the copy-back rule by its command.
void PdmDb_Exchange(DbSession& session, DbMessage& message);

// 13 / 14: the multi-part exchanges (query; end of one element).
void PdmDb_MultiQuery(DbSession& session);
void PdmDb_MultiEndElement(DbSession& session);
// 18: element data appended to the element just put.
void PdmDb_SendElemData(DbSession& session, std::span<const std::uint8_t> data);
// 21: removes the element at `position`.
void PdmDb_RemoveElement(DbSession& session, std::int32_t position);
// 24: notice of the head word at 512.
void PdmDb_NoticeHeadWord(DbSession& session, std::int16_t value);
// 27: puts a 140-byte element record; `reply` receives the reply's payload (the echoed
// record) for the follow-ups.
inline constexpr std::size_t kElementRecordSize = 140;
using ElementRecord = std::array<std::uint8_t, kElementRecordSize>;
void PdmDb_PutRecord(DbSession& session, const ElementRecord& record, ElementRecord& reply);
// 31 to 41: the follow-ups of an element record. 33 sends its six words as 0 when `t`
// is 0 or 1. 35 returns reply [4], 37/39/41 reply [12] (u16).
void PdmDb_FollowUp31(DbSession& session, std::int16_t a);
void PdmDb_FollowUp33(DbSession& session, std::int16_t a, std::int16_t t,
                      const std::array<std::int32_t, 6>& words);
std::uint16_t PdmDb_FollowUp35(DbSession& session, std::int16_t a, std::int16_t b);
std::uint16_t PdmDb_FollowUp37(DbSession& session, std::int16_t a, std::int16_t b, std::int32_t c,
                               std::int32_t d);
std::uint16_t PdmDb_FollowUp39(DbSession& session, std::int16_t a, std::int16_t b, std::int32_t c,
                               std::int32_t d);
std::uint16_t PdmDb_FollowUp41(DbSession& session, std::int16_t a, std::int16_t b, std::int32_t c,
                               std::int32_t d);
// 54: notice with one value.
void PdmDb_Notice(DbSession& session, std::int16_t value);

// 62 / 64: a layer definition.
struct DbLayerDef {
    std::string name;  // 16 bytes of room
    std::int16_t first = 0;
    std::int16_t second = 0;
    std::array<double, 9> values{};
};
void PdmDb_WriteLayer(DbSession& session, std::int16_t number, const DbLayerDef& layer);
// Fills `layer` from the reply and returns its status word (payload [95]).
std::int16_t PdmDb_ReadLayer(DbSession& session, std::int16_t number, DbLayerDef& layer);

// 83, 85: header texts with a value; 87, 89: eight 32-bit header values; 91, 103: header
// texts; 93: a name table entry.
void PdmDb_PutSystemName(DbSession& session, std::string_view text, std::int16_t value);
void PdmDb_PutPaperName(DbSession& session, std::string_view text, std::int16_t value);
void PdmDb_PutFrameValues(DbSession& session, const std::array<std::int32_t, 8>& values);
void PdmDb_PutSizeValues(DbSession& session, const std::array<std::int32_t, 8>& values);
void PdmDb_PutMessage(DbSession& session, std::string_view text);
void PdmDb_PutGroupName(DbSession& session, std::int16_t index, std::string_view text);
void PdmDb_PutSelectionName(DbSession& session, std::string_view text);
// 105: one value and one name (see above).
void PdmDb_PutHeadValueAndName(DbSession& session, std::int32_t value, std::string_view name);
// 111: the background image name and two values; 116: four image bytes; 118: the image
// count.
void PdmDb_PutImageName(DbSession& session, std::string_view name, std::int32_t a, std::int32_t b);
void PdmDb_PutImageBytes(DbSession& session, std::uint8_t c, std::uint8_t d, std::uint8_t e,
                         std::uint8_t f);
void PdmDb_PutImageCount(DbSession& session, std::int16_t count);
// 121 / 122: reads / writes head bytes from `offset`.
void PdmDb_ReadHead(DbSession& session, std::int16_t offset, std::span<std::uint8_t> out);
void PdmDb_WriteHead(DbSession& session, std::int16_t offset, std::span<const std::uint8_t> data);
// 972 then 973 pieces: a 2048-byte sheet-information block as entry `entry`.
void PdmDb_BeginSheetBlock(DbSession& session);
void PdmDb_PutSheetBlock(DbSession& session, std::uint8_t entry,
                         std::span<const std::uint8_t> block);
