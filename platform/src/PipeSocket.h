// Internal pieces shared by the client side (NamedPipe.cpp), the server side
// (PipeServer.cpp) and the name mapping (PipeName.cpp) of the named pipes. Not part of
// the platform's public interface; docs/pipes.md describes the same wire protocol for a
// person debugging a pipe.
#pragma once

#include <sys/socket.h>
#include <sys/un.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/NamedPipe.h"
#include "platform/UniqueFd.h"
#include "platform/WinError.h"

namespace platform::detail {

// ---- The connect handshake ---------------------------------------------------------
// Right after connect() a client sends one 1-byte hello; the server's acceptor answers
// with one 1-byte status. Only then does the connection carry the user's messages.
inline constexpr char kHelloOpen = 'O';       // CreateFile: give me an instance
inline constexpr char kHelloWait = 'W';       // WaitNamedPipe: tell me when one is free
inline constexpr char kStatusAccepted = 'A';  // the connection holds an instance now
inline constexpr char kStatusBusy = 'B';      // every instance is connected
inline constexpr char kStatusFree = 'F';      // (to a waiter) an instance is free

// Every user message travels behind this one byte, so that an empty message (one byte
// on the wire) differs from the end of the connection (a read of nothing).
inline constexpr unsigned char kMessageMark = 'M';

// A whole pipe name is at most this many bytes.
inline constexpr std::size_t kMaxPipeNameBytes = 256;

// ---- Names -------------------------------------------------------------------------

// A pipe name mapped onto the prefix.
struct PipeLocation {
    std::string root;  // $MORVAN_PREFIX/pipes
    std::string host;  // the socket's host path: existing folders matched without
                       // regard to case, missing parts as written (UTF-8)
    bool rootExists = false;
};

// Splits "\\.\PIPE\A\B" (or "\PIPE\A\B") into its code page 932 components {"A", "B"}.
// 0; 2 for another server or a name that is not a pipe name; 123 for a name over 256
// bytes, broken code page 932, an empty, "." or ".." component, or one the host cannot
// hold ("/", NUL, over 255 bytes of UTF-8).
[[nodiscard]] WinError SplitPipeName(std::string_view pipeName, std::vector<std::string>& parts);

// Splits the name and finds its socket below $MORVAN_PREFIX/pipes (nothing is created).
// Errors as SplitPipeName.
[[nodiscard]] WinError LocatePipe(std::string_view pipeName, PipeLocation& location);

// ---- Sockets -----------------------------------------------------------------------

// Fills `addr` with `path` when it fits the host's limit of sun_path. False when too long.
[[nodiscard]] bool FillSocketAddress(const std::string& path, sockaddr_un& addr, socklen_t& length);

// Connects the SOCK_SEQPACKET socket `fd` to the socket file `hostPath`, of any length
// (a path over the host's limit is reached through an O_PATH descriptor of the socket
// file, "/proc/self/fd/<n>"). 0 or the errno of the failure.
[[nodiscard]] int ConnectToPath(int fd, const std::string& hostPath);

// Windows error of a failed connect to a pipe: a missing file, a missing folder and a
// socket nobody listens on (left by a server that is gone) are all "no such pipe".
[[nodiscard]] WinError ConnectErrorToWinError(int err);

// ---- Handles -----------------------------------------------------------------------

// What a server's connection hands back when its handle is closed: its instance.
class PipeInstanceOwner {
  public:
    virtual ~PipeInstanceOwner() = default;
    virtual void ReleaseInstance() = 0;
};

// Enters a connected socket (handshake done) into the process's handle table. `owner`
// is the server whose instance the connection holds (null on the client side).
// The handle, or kInvalidPipeHandle when every handle value is in use.
[[nodiscard]] PipeHandle AddPipeHandle(UniqueFd socket, std::shared_ptr<PipeInstanceOwner> owner);

}  // namespace platform::detail
