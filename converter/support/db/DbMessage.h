// The session block and the message of the database-manager protocol, as bytes.
//
// DbSession: the 288-byte block that names one open drawing file, most of it owned by
// the server and carried unchanged. The client's own fields:
//   2    pipe name, NUL-terminated, at most 80 bytes of name (81 with the NUL)
//   83   pipe handle (32-bit)
//   87   message length (32-bit, always 740)
//   260  record position n of the last element put (signed 32-bit)
//   285  keep-open flag (1 inside an update bracket)
// Beside the block (never inside it: every reply replaces the block and the close
// zeroes it) the session remembers whether any exchange of its life failed on the
// pipe, so that the close can report the loss instead of a success.
//
// DbMessage: the 740-byte unit of every write and read: [0] signed 16-bit command,
// [2] a copy of the session block, [290] the 450-byte payload. Payload offsets below
// are relative to 290.
//
// All functions are pure: bytes in, fields out. Stores outside the buffers cannot
// happen (every field is bounds-checked); text fields never overflow their room.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::size_t kDbSessionSize = 288;
inline constexpr std::size_t kDbMessageSize = 740;
inline constexpr std::size_t kDbPayloadOffset = 290;
inline constexpr std::size_t kDbPayloadSize = kDbMessageSize - kDbPayloadOffset;
static_assert(kDbPayloadSize == 450);
static_assert(2 + kDbSessionSize == kDbPayloadOffset);

inline constexpr std::size_t kSessPipeName = 2;
inline constexpr std::size_t kSessPipeNameRoom = 81;  // name and its NUL
inline constexpr std::size_t kSessPipeHandle = 83;
inline constexpr std::size_t kSessMessageLength = 87;
inline constexpr std::size_t kSessLastRecord = 260;
inline constexpr std::size_t kSessAnswerLength = 264;  // total of a multi-part answer
inline constexpr std::size_t kSessKeepOpen = 285;
static_assert(kSessPipeName + kSessPipeNameRoom == kSessPipeHandle);

// The largest piece of bulk data one message carries.
inline constexpr std::size_t kDbPieceSize = 256;

using DbBlock = std::array<std::uint8_t, kDbSessionSize>;

struct DbSession {
    DbBlock block{};
    // Set by any exchange that failed on the pipe (no connection, failed write, a reply
    // that is not one whole message); cleared by PdmDb_Open.
    bool transportFailed = false;
};

using DbMessage = std::array<std::uint8_t, kDbMessageSize>;

// ---- Session block fields ---------------------------------------------------------

// The pipe name at offset 2: the bytes up to the first NUL within its 81 bytes (all
// 81 when there is none).
[[nodiscard]] std::string SessionPipeName(std::span<const std::uint8_t, kDbSessionSize> block);
// Stores the name with its NUL and clears the rest of the field. False (nothing
// stored) for a name of more than 80 bytes or one with a NUL inside.
[[nodiscard]] bool SetSessionPipeName(std::span<std::uint8_t, kDbSessionSize> block,
                                      std::string_view name);
[[nodiscard]] std::int32_t SessionPipeHandle(std::span<const std::uint8_t, kDbSessionSize> block);
void SetSessionPipeHandle(std::span<std::uint8_t, kDbSessionSize> block, std::int32_t handle);
void SetSessionMessageLength(std::span<std::uint8_t, kDbSessionSize> block, std::uint32_t length);
[[nodiscard]] std::int32_t SessionLastRecord(std::span<const std::uint8_t, kDbSessionSize> block);
[[nodiscard]] bool SessionKeepOpen(std::span<const std::uint8_t, kDbSessionSize> block);
void SetSessionKeepOpen(std::span<std::uint8_t, kDbSessionSize> block, bool keepOpen);

// ---- Message fields ----------------------------------------------------------------

// A message with the command and a copy of the session block; the payload is zero.
[[nodiscard]] DbMessage NewDbMessage(std::int16_t command, const DbBlock& session);
[[nodiscard]] std::int16_t MessageCommand(const DbMessage& message);
[[nodiscard]] std::span<std::uint8_t, kDbSessionSize> MessageSession(DbMessage& message);
[[nodiscard]] std::span<const std::uint8_t, kDbSessionSize> MessageSession(
    const DbMessage& message);
[[nodiscard]] std::span<std::uint8_t, kDbPayloadSize> MessagePayload(DbMessage& message);
[[nodiscard]] std::span<const std::uint8_t, kDbPayloadSize> MessagePayload(
    const DbMessage& message);

// ---- Payload text ------------------------------------------------------------------

// The text up to its first NUL (the C-string reading of the caller's text).
[[nodiscard]] std::string_view UpToNul(std::string_view text);

// Stores a counted string at `offset`: one length byte, then the bytes (no NUL). The
// text is read up to its first NUL and cut on a character boundary to at most
// `maxBytes` (never above 255) and to the room left in `out`. Returns the bytes of
// text stored; nothing is stored when not even the length byte fits.
std::size_t StoreCountedString(std::span<std::uint8_t> out, std::size_t offset,
                               std::string_view text, std::size_t maxBytes);

// Stores a NUL-terminated text in a field of `room` bytes at `offset` (cut on a
// character boundary to room - 1 bytes, the rest of the field zero). Returns the
// bytes of text stored.
std::size_t StoreNulString(std::span<std::uint8_t> out, std::size_t offset, std::string_view text,
                           std::size_t room);

// Reads a counted string at `offset` (the length byte is clipped to the buffer).
[[nodiscard]] std::string LoadCountedString(std::span<const std::uint8_t> in, std::size_t offset);
