// The converter's pipe layer: one set of operations over native named pipes (NT
// family) or the pipe emulator library (the other family).
//
// Names. A local name such as "\PIPE\DBMAN" (its second character is not "\") is made
// the full name "\\.\PIPE\DBMAN"; a name beginning with two backslashes is a full name
// and is used unchanged. The full name of a local name must fit the layer's 100-byte
// name buffer (local names of at most 96 bytes); a longer local name, or any name with
// a NUL byte inside, fails (-1 / 0) instead of being cut to another pipe's name.
//
// Families. On the NT family everything is native and the emulator is never loaded.
// Outside it, local names go through the emulator (Open, Wait), and so do the handles
// the emulator recognises as its own (Write, Read, Close); full names and native
// handles stay native on both families.
//
// Handles are 32-bit; kPipeInvalid (-1) is the invalid value.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::int32_t kPipeInvalid = -1;

// Opens a pipe for reading and writing (no sharing, existing pipes only). While every
// instance of the pipe is busy, waits without limit for a free one and tries again.
// The handle, or -1 when the pipe does not exist, the name is not usable, the wait
// fails or the emulator cannot be reached.
[[nodiscard]] std::int32_t Pipe_Open(std::string_view name);

// Waits without limit until an instance of the pipe is free. Non-zero when one is;
// 0 at once when the pipe does not exist or the name is not usable.
[[nodiscard]] int Pipe_Wait(std::string_view name);

// Writes `count` bytes as one message. Non-zero on success; `written` receives the
// bytes written (0 on failure).
[[nodiscard]] int Pipe_Write(std::int32_t handle, const void* buffer, std::uint32_t count,
                             std::uint32_t& written);

// Reads the next message into `buffer`. Non-zero when a whole message of at most
// `count` bytes was read; `read` receives its length. A longer message fills the
// buffer, gives 0, and its rest follows at the next read (as a message-mode pipe does).
// 0 with `read` = 0 when the other end has closed.
[[nodiscard]] int Pipe_Read(std::int32_t handle, void* buffer, std::uint32_t count,
                            std::uint32_t& read);

// Closes a handle of either kind. Non-zero on success.
int Pipe_Close(std::int32_t handle);
