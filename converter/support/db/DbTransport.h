// The transport of the database-manager protocol: the four steps over the pipe layer
// and the exchanges built from them.
//
// Transport steps (each takes a session block; 0 for success):
//   Open_Client_IPC   opens the pipe; 230 when it cannot (or the name does not fit the
//                     block); else stores the name at 2, the handle at 83 and the low
//                     16 bits of `length` at 87.
//   Client_Send       one write of the low 16 bits of `length` bytes; 0 or -1.
//   Client_Receive    one read of exactly `length` bytes into the message; 0 or -1. A
//                     reply of any other length (a short message, or a longer one that
//                     the pipe hands over in parts) is a failure, and the message is
//                     then left as it was: callers read the request's own bytes.
//   Close_Client_IPC  closes the handle at 83; 0.
//
// Exchanges:
//   PdmDb_Transact       the ordinary request/reply (over the held connection when the
//                        message's session copy has the keep-open flag). Failures write
//                        their "ossel.lib  Error! ..." line to the debug output and the
//                        exchange goes on; the failure is remembered in the session.
//   PdmDb_TransactMulti  the exchange of commands 13 and 14: replies are read until one
//                        whose command field is non-zero (or until a read fails).
//   PdmDb_TransactStart  the exchange of the open and the close, which starts the server
//                        when its pipe is missing: 1 when a connection was made (a
//                        failed write or read is then remembered in the session), 0 when
//                        the server could not be reached (after two beeps, 200 Hz for
//                        100 ms then 60 ms).
//   PdmDb_StartServer    starts <PDM folder>\Ambrel.EXE detached, without arguments, and
//                        waits for \PIPE\DBMAN: up to 31 attempts 1000 ms apart. 1 when
//                        the pipe appeared, or when the program could not be started at
//                        all (the caller's second open then fails at once); 0 after the
//                        31st failed attempt.
//
// The last-error code in the error lines: the pipe layer reports success or failure
// only, so the code is derived from what the step saw: 6 no open handle, 109 the other
// end closed (or a write failed), 234 a reply longer than the message, 24 a reply
// shorter than the message.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "support/db/DbMessage.h"

inline constexpr std::string_view kDbPipeName = "\\PIPE\\DBMAN";
inline constexpr int kOpenClientIpcFailed = 230;

using DbBlockSpan = std::span<std::uint8_t, kDbSessionSize>;

[[nodiscard]] int Open_Client_IPC(DbBlockSpan session, std::string_view pipeName,
                                  std::uint32_t length);
[[nodiscard]] int Client_Send(DbBlockSpan session, const DbMessage& message, std::uint32_t length);
[[nodiscard]] int Client_Receive(DbBlockSpan session, DbMessage& message, std::uint32_t length);
int Close_Client_IPC(DbBlockSpan session);

// The pipe name and handle are those of the message's session copy (so the handle of a
// held connection travels in every request). Returns the close result (0).
int PdmDb_Transact(DbSession& session, DbMessage& message, std::uint32_t length);
void PdmDb_TransactMulti(DbSession& session, DbMessage& message, std::uint32_t length);
// Opens `pipeName` on the caller's session block (the request's own copy may be blank).
[[nodiscard]] int PdmDb_TransactStart(DbSession& session, std::string_view pipeName,
                                      DbMessage& message, std::uint32_t length);
[[nodiscard]] int PdmDb_StartServer();
