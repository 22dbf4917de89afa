// Named pipes of the prefix, in message mode, as Win32 offers them.
//
// A pipe name is "\\.\PIPE\<name>" (the local machine) or "\\<server>\PIPE\<name>";
// only the local machine ("." and nothing else) has pipes, so another server name is
// "not found" (2). "<name>" may hold further "\" separators: "\\.\PIPE\DBGPRT\PDMMON"
// is the host socket "$MORVAN_PREFIX/pipes/DBGPRT/PDMMON". Names are code page 932
// and compared without regard to case (ASCII, full-width Latin, Greek and Cyrillic, as
// file names are).
// A whole pipe name is at most 256 bytes; longer names are 123 (invalid name).
//
// Each pipe is an AF_UNIX SOCK_SEQPACKET socket, so every write arrives as one
// message and a read never returns parts of two messages. A socket path is limited to
// 108 bytes by the host; longer prefixes still work (the socket is reached through a
// short path to its folder).
//
// Instances. A server creates a pipe with a number of instances: that many clients
// can be connected at once. A client that opens the pipe while every instance is
// connected gets 231 (all instances busy) at once; WaitNamedPipeA then waits until an
// instance is free. A pipe whose server is gone (no server, or a socket file left by a
// killed server) is "not found" (2) at once, never a hang.
//
// Handles are positive integers of this process below 0x40000000 (kInvalidPipeHandle =
// -1); the value of a closed handle is not handed out again soon.
// The client and the server side use the same ReadFile/WriteFile/Close functions.
// All functions are safe to call from several threads on different handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/WinError.h"

namespace platform {

using PipeHandle = std::int32_t;
inline constexpr PipeHandle kInvalidPipeHandle = -1;
// The time-out value of WaitNamedPipeA that waits without limit (NMPWAIT_WAIT_FOREVER).
inline constexpr std::uint32_t kPipeWaitForever = 0xFFFFFFFFu;
// The largest message a pipe carries; a longer write is 87.
inline constexpr std::size_t kPipeMaxMessage = 65536;

// Host path of the socket that stands for `pipeName`. 0; 2 for another server name or a
// name that is not a pipe name; 123 for a name over 256 bytes or one that the host
// cannot hold.
[[nodiscard]] WinError PipeHostPath(std::string_view pipeName, std::string& hostPath);

// ---- Client side -------------------------------------------------------------------

// CreateFile on a pipe name (read and write, no sharing, existing only).
// 0 and the handle; 2 no such pipe (or no server); 231 all instances busy; 123 bad name.
[[nodiscard]] WinError CreateFilePipe(std::string_view pipeName, PipeHandle& handle);

// Waits until an instance of the pipe is free to connect to, at most `timeoutMs`
// milliseconds (kPipeWaitForever: without limit; 0: the server's default of 50 ms).
// 0 when one is free (a following CreateFilePipe may still lose the race and get 231,
// as on Windows); 2 at once when the pipe does not exist; 121 on time-out.
[[nodiscard]] WinError WaitNamedPipeA(std::string_view pipeName, std::uint32_t timeoutMs);

// ---- Both sides --------------------------------------------------------------------

// Reads the next message. 0 and its length in `read` when it fits `count`; 234 (more
// data) when the message is longer: `count` bytes are given and the rest of the same
// message follows at the next read. 109 when the other end has closed and no message
// is left; 6 for a handle that is not open; 13 for bytes that no writer of this layer
// sent (the message is dropped, the connection goes on). Blocks until a message arrives.
[[nodiscard]] WinError ReadFilePipe(PipeHandle handle, void* buffer, std::uint32_t count,
                                    std::uint32_t& read);

// Writes one message of `count` bytes (0 is a valid, empty message). 0 and `written` =
// count; 109 / 232 when the other end has closed; 87 when `count` exceeds
// kPipeMaxMessage; 6 for a handle that is not open. Never raises SIGPIPE.
[[nodiscard]] WinError WriteFilePipe(PipeHandle handle, const void* buffer, std::uint32_t count,
                                     std::uint32_t& written);

// Every message written is already in the reader's queue, so there is nothing to
// flush: 0 while the other end is connected, 109 when it has closed, 6 for a bad handle.
[[nodiscard]] WinError FlushFileBuffersPipe(PipeHandle handle);

// Closes a handle of either side (on the server side this frees its instance).
// 0, or 6 for a handle that is not open.
WinError CloseHandlePipe(PipeHandle handle);

// ---- Server side -------------------------------------------------------------------

// A pipe served by this process. Create() makes the socket; Accept() gives the next
// client connected to a free instance. Closing a connection handle (CloseHandlePipe)
// frees its instance. Destroying the server (or Close()) stops accepting and removes
// the socket file; connections already accepted stay open until closed.
class PipeServer {
  public:
    PipeServer();
    ~PipeServer();
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // Creates the pipe with at most `maxInstances` clients connected at once
    // (1 … 255; 255 = unlimited, as PIPE_UNLIMITED_INSTANCES). A socket file left by a
    // server that is gone is replaced. 0; 5 when a live server already serves the
    // name or the name is taken by something that is not a pipe; 123 bad name; 87 bad
    // instance count, or this object serves a pipe already; 3 when the prefix folder is
    // missing; other codes from the file system.
    [[nodiscard]] WinError Create(std::string_view pipeName, unsigned maxInstances);

    // Waits for the next client on a free instance. 0 and its handle; 995 (operation
    // aborted) after Close() from another thread; 6 before a successful Create().
    [[nodiscard]] WinError Accept(PipeHandle& connection);

    // Stops accepting (a blocked Accept returns 995) and removes the socket file.
    void Close();

  private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace platform
