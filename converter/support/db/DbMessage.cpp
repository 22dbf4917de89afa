// Fields are read and written one by one with the checked little-endian helpers. Their
// offsets are constants of the fixed-size layouts, so the checked stores cannot fail
// there and their results are not tested again; texts are the only variable-sized
// fields, and each is cut to its room before it is copied.
#include "support/db/DbMessage.h"

#include <algorithm>
#include <cstring>

#include "platform/Cp932.h"
#include "support/ByteOrder.h"

static_assert(kSessKeepOpen < kDbSessionSize && kSessLastRecord + 4 <= kDbSessionSize);

std::string SessionPipeName(std::span<const std::uint8_t, kDbSessionSize> block) {
    const auto* first = block.data() + kSessPipeName;
    const auto* last = first + kSessPipeNameRoom;
    const auto* nul = std::find(first, last, std::uint8_t{0});
    return std::string(first, nul);
}

bool SetSessionPipeName(std::span<std::uint8_t, kDbSessionSize> block, std::string_view name) {
    if (name.size() >= kSessPipeNameRoom || name.find('\0') != std::string_view::npos) {
        return false;
    }
    std::fill_n(block.data() + kSessPipeName, kSessPipeNameRoom, std::uint8_t{0});
    std::memcpy(block.data() + kSessPipeName, name.data(), name.size());
    return true;
}

std::int32_t SessionPipeHandle(std::span<const std::uint8_t, kDbSessionSize> block) {
    std::int32_t handle = -1;
    (void)LoadI32(block, kSessPipeHandle, handle);
    return handle;
}

void SetSessionPipeHandle(std::span<std::uint8_t, kDbSessionSize> block, std::int32_t handle) {
    (void)StoreI32(block, kSessPipeHandle, handle);
}

void SetSessionMessageLength(std::span<std::uint8_t, kDbSessionSize> block, std::uint32_t length) {
    (void)StoreU32(block, kSessMessageLength, length);
}

std::int32_t SessionLastRecord(std::span<const std::uint8_t, kDbSessionSize> block) {
    std::int32_t n = 0;
    (void)LoadI32(block, kSessLastRecord, n);
    return n;
}

bool SessionKeepOpen(std::span<const std::uint8_t, kDbSessionSize> block) {
    return block[kSessKeepOpen] != 0;
}

void SetSessionKeepOpen(std::span<std::uint8_t, kDbSessionSize> block, bool keepOpen) {
    block[kSessKeepOpen] = keepOpen ? 1 : 0;
}

DbMessage NewDbMessage(std::int16_t command, const DbBlock& session) {
    DbMessage message{};
    (void)StoreI16(message, 0, command);
    std::copy(session.begin(), session.end(), message.begin() + 2);
    return message;
}

std::int16_t MessageCommand(const DbMessage& message) {
    std::int16_t command = 0;
    (void)LoadI16(message, 0, command);
    return command;
}

std::span<std::uint8_t, kDbSessionSize> MessageSession(DbMessage& message) {
    return std::span(message).subspan<2, kDbSessionSize>();
}

std::span<const std::uint8_t, kDbSessionSize> MessageSession(const DbMessage& message) {
    return std::span(message).subspan<2, kDbSessionSize>();
}

std::span<std::uint8_t, kDbPayloadSize> MessagePayload(DbMessage& message) {
    return std::span(message).subspan<kDbPayloadOffset, kDbPayloadSize>();
}

std::span<const std::uint8_t, kDbPayloadSize> MessagePayload(const DbMessage& message) {
    return std::span(message).subspan<kDbPayloadOffset, kDbPayloadSize>();
}

std::string_view UpToNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::size_t StoreCountedString(std::span<std::uint8_t> out, std::size_t offset,
                               std::string_view text, std::size_t maxBytes) {
    if (offset >= out.size()) return 0;
    // The length byte counts at most 255; the field must also fit what follows it.
    std::size_t room = std::min({maxBytes, std::size_t{255}, out.size() - offset - 1});
    std::string cut = platform::CutToBytes(UpToNul(text), room);
    out[offset] = static_cast<std::uint8_t>(cut.size());
    std::memcpy(out.data() + offset + 1, cut.data(), cut.size());
    return cut.size();
}

std::size_t StoreNulString(std::span<std::uint8_t> out, std::size_t offset, std::string_view text,
                           std::size_t room) {
    if (room == 0 || !FitsIn(out.size(), offset, room)) return 0;
    std::string cut = platform::CutToBytes(UpToNul(text), room - 1);
    std::fill_n(out.data() + offset, room, std::uint8_t{0});
    std::memcpy(out.data() + offset, cut.data(), cut.size());
    return cut.size();
}

std::string LoadCountedString(std::span<const std::uint8_t> in, std::size_t offset) {
    if (offset >= in.size()) return {};
    std::size_t length = std::min<std::size_t>(in[offset], in.size() - offset - 1);
    return std::string(in.data() + offset + 1, in.data() + offset + 1 + length);
}
