// The request handling of the database-manager server Ambrel, independent of the pipe.
//
// A Server owns the table of sessions and the open files. A Connection is the state of
// one client connection (which bracket it holds). Handle() takes one request message and
// produces its replies:
//   - every request gets exactly one 740-byte reply, except commands 13 and 14, which
//     get pieces (command field 0, at most 256 bytes at payload [0], the total length as
//     u16 at session offset 264) followed by one end reply (command field non-zero);
//   - every reply carries the request's session block with the client's fields
//     (offsets 2-90 and 285) unchanged; the server-owned fields are filled by the server
//     (session id u32 at 92, check value u32 at 96, last record position i32 at 260);
//   - a malformed request (not 740 bytes, unknown command, a field outside its room, a
//     request without an open session) gets a non-zero result where the command has a
//     result field (open: payload [260], close: payload [4], head read: all zero bytes)
//     and otherwise the unchanged block; a log line is written through the Logger.
// Results of open: 0; 87 for a path beginning with "*" or a path that is not a
// Windows path of the prefix; 2/3 when the file cannot be created; 13 when the file is
// not a readable PDB. Close: 0; 6 for an unknown session; 29 when saving failed.
//
// Files: one in-memory model per host path, shared by the sessions that opened it,
// guarded by its own mutex; different files are served in parallel. The update bracket
// (978 ... 979) makes its connection the file's owner: requests of other connections on
// that file wait until 979 or until the owner disconnects (Disconnect()). Changes are
// saved (atomic replacement) at 979 and at close; a change outside a bracket is saved at
// once. Disconnect() of a connection holding a bracket discards its unsaved changes (the
// model is loaded again from disk) and frees the file.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace ambrel {

inline constexpr std::size_t kMessageSize = 740;
inline constexpr std::size_t kSessionOffset = 2;
inline constexpr std::size_t kSessionSize = 288;
inline constexpr std::size_t kPayloadOffset = 290;
inline constexpr std::size_t kPayloadSize = 450;
// Session-block offsets (relative to the block).
inline constexpr std::size_t kSessSessionId = 92;
inline constexpr std::size_t kSessCheck = 96;
inline constexpr std::size_t kSessLastRecord = 260;
inline constexpr std::size_t kSessAnswerLength = 264;

// The reserved command of the stop request (`Ambrel --stop`).
inline constexpr std::int16_t kStopCommand = 9999;

using Message = std::array<std::uint8_t, kMessageSize>;
using Logger = std::function<void(const std::string&)>;

struct Connection {
    std::uint64_t id = 0;               // unique per connection, non-zero
    std::uint32_t bracketSession = 0;   // session whose bracket this connection holds
    std::shared_ptr<void> bracketFile;  // the file that bracket holds (server-internal)
};

class Server {
  public:
    explicit Server(Logger log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // A fresh connection state with a unique id.
    [[nodiscard]] Connection NewConnection();
    // Handles one request of `size` bytes; appends its replies. Returns true when the
    // request was the stop request.
    bool Handle(Connection& connection, std::span<const std::uint8_t> request,
                std::vector<Message>& replies);
    // The connection has ended: releases its bracket (discarding unsaved changes).
    void Disconnect(Connection& connection);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace ambrel
