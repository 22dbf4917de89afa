// Tessop.DLL: the pipe communication emulator.
//
// On the family of Windows outside NT, programs of the product reach named pipes
// through this library instead of the native pipe functions. It is loaded at run time
// by its file name and its functions are looked up by name, so these C signatures are
// the contract: a caller's function pointer types must match them exactly.
//
// Handles. The library keeps its own handle space: values from 0x40000000 up to
// 0x7FFFFFFF, never -1 and never a value the native pipe functions hand out (those are
// small numbers), so a caller can ask EmuPipe_IsHandle which kind a handle is. A closed
// handle is no longer the library's; its value may be handed out again later.
//
// Names. "\PIPE\<name>" (a local name) or "\\.\PIPE\<name>" (a full name) are both
// accepted and reach the same pipe; names are code page 932, NUL-terminated.
//
// Traffic. Every write is one message and every read returns one message, as with
// message-mode pipes. All functions are safe to call from several threads; a handle is
// used by one thread at a time.
#pragma once

#include <cstdint>

#if defined(TESSOP_BUILDING)
#define TESSOP_EXPORT __attribute__((visibility("default")))
#else
#define TESSOP_EXPORT
#endif

extern "C" {

// Opens an existing pipe for reading and writing. While every instance is busy, waits
// without limit for a free one. The handle, or -1 (no such pipe, a null or bad name, a
// failed wait, no handle left).
TESSOP_EXPORT std::int32_t EmuPipe_Open(const char* name);

// Writes `count` bytes as one message. Non-zero on success, with *written = count;
// 0 on failure (not a handle of the library, a null buffer, the other end closed, a message over
// 65,536 bytes), with *written = 0. `written` may be null.
TESSOP_EXPORT std::int32_t EmuPipe_Write(std::int32_t handle, const void* buffer,
                                         std::uint32_t count, std::uint32_t* written);

// Reads the next message (blocks until one comes). Non-zero when it fit `count`, with
// *read its length. A longer message: 0 with *read = count, and the rest of that message
// comes with the next read. 0 with *read = 0 when the other end has closed or the handle
// is not the library's. `read` may be null.
TESSOP_EXPORT std::int32_t EmuPipe_Read(std::int32_t handle, void* buffer, std::uint32_t count,
                                        std::uint32_t* read);

// Closes a handle of the library. Non-zero on success; 0 when it is not one.
TESSOP_EXPORT std::int32_t EmuPipe_Close(std::int32_t handle);

// Non-zero when `handle` is an open handle of the library.
TESSOP_EXPORT std::int32_t EmuPipe_IsHandle(std::int32_t handle);

// Waits without limit until an instance of the pipe is free. Non-zero when one is; 0 at
// once when the pipe does not exist or the name is null or bad.
TESSOP_EXPORT std::int32_t EmuPipe_Wait(const char* name);

}  // extern "C"
