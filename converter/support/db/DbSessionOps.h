// Opening, closing and the update bracket of a drawing file's session.
//
// PdmDb_Open(session, path): command -109 (0xFF93). The path is read up to its first
// NUL; a lower-case drive letter is upper-cased when the path is longer than 3 bytes
// and its second byte is ":". Results: 0; the server's non-zero result (payload [260]);
// 0xFFFF when the server cannot be reached (after starting it and waiting, two beeps)
// or the exchange failed on the pipe; 206 for a path over 255 bytes (a cut path would
// open another file). After the server created a new file (the path did not begin
// with "*" and named no existing file) the client initialises it (PdmDb_InitNewFile).
// The session's transport-failure mark is cleared at the start.
//
// PdmDb_Close(session): command 2; returns the server's result (payload [4]), or
// 0xFFFF when the server could not be reached or the exchange failed on the pipe (a
// close must never read its own request's zero as success). The block is zeroed; the
// transport-failure mark stays for the caller to read.
//
// PdmDb_BeginUpdate / PdmDb_EndUpdate: commands 978 / 979 around a run of requests over
// one held connection (keep-open flag at 285). BeginUpdate returns 0, or 230 when the
// pipe cannot be opened (logged, remembered; requests then go one connection each).
// EndUpdate with no held connection sends nothing.
#pragma once

#include <string_view>

#include "support/db/DbMessage.h"

inline constexpr int kDbUnreachable = 0xFFFF;
inline constexpr std::int16_t kDbOpenCommand = -109;

[[nodiscard]] int PdmDb_Open(DbSession& session, std::string_view path);
int PdmDb_Close(DbSession& session);
int PdmDb_BeginUpdate(DbSession& session);
void PdmDb_EndUpdate(DbSession& session);

// The initialisation of a new, empty drawing file: the head texts, the first layer,
// the head block from the template (written as eight 256-byte pieces) and the head
// words that depend on it.
void PdmDb_InitNewFile(DbSession& session);

// The path as the open sends it (drive letter rule only).
[[nodiscard]] std::string OpenRequestPath(std::string_view path);
