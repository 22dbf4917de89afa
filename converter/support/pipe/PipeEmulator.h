// Calls into the pipe emulator library "Tessop.DLL", used for pipes on the family of
// Windows outside NT.
//
// The library is loaded by name (LoadLibraryA) on the first call that needs it and
// stays loaded until the process ends. When it cannot be loaded, a message box (no
// owner, error icon) says so:
//   caption "パイプ通信エミュレータ"
//   text    "パイプ通信エミュレータＤＬＬがロードできませんでした"
// and the call fails as a missing export does; the next call tries the load again and
// shows the same message again if it fails again.
//
// Every call looks its export up by name (GetProcAddress) anew. A missing export (or a
// library that could not be loaded) makes the call return 0, and Open return -1.
//
// Handles are the library's own 32-bit values, told apart from native pipe handles by
// IsHandle. Names and buffers are passed through unchanged; a name holding a NUL byte
// cannot be passed to the library and is refused as a missing export would be.
//
// The function types below are the library's exported signatures (extern "C"); they
// must match the library's contract header.
#pragma once

#include <cstdint>
#include <string_view>

namespace pipe_emulator {

using OpenFn = std::int32_t (*)(const char* name);
using WriteFn = std::int32_t (*)(std::int32_t handle, const void* buffer, std::uint32_t count,
                                 std::uint32_t* written);
using ReadFn = std::int32_t (*)(std::int32_t handle, void* buffer, std::uint32_t count,
                                std::uint32_t* read);
using CloseFn = std::int32_t (*)(std::int32_t handle);
using IsHandleFn = std::int32_t (*)(std::int32_t handle);
using WaitFn = std::int32_t (*)(const char* name);

// EmuPipe_Open: the library's handle, or -1.
[[nodiscard]] std::int32_t Open(std::string_view name);
// EmuPipe_Write / EmuPipe_Read: non-zero on success; `written` / `read` as the library
// sets them (0 when the call could not be made).
[[nodiscard]] std::int32_t Write(std::int32_t handle, const void* buffer, std::uint32_t count,
                                 std::uint32_t& written);
[[nodiscard]] std::int32_t Read(std::int32_t handle, void* buffer, std::uint32_t count,
                                std::uint32_t& read);
// EmuPipe_Close: non-zero on success.
std::int32_t Close(std::int32_t handle);
// True once the library has been loaded in this process (no handle can be the
// library's before that).
[[nodiscard]] bool IsLoaded();
// EmuPipe_IsHandle: non-zero for a handle of the library.
[[nodiscard]] std::int32_t IsHandle(std::int32_t handle);
// EmuPipe_Wait: non-zero when the pipe is available.
[[nodiscard]] std::int32_t Wait(std::string_view name);

}  // namespace pipe_emulator
