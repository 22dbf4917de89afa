// The transport follows the protocol step by step: no step is retried, failures of an
// ordinary exchange are logged and the caller goes on with the reply buffer as it is.
// What the client adds is bookkeeping: a reply must be one whole 740-byte message, and
// any failure is remembered beside the session so that the close cannot end a
// conversion that lost requests as a success.
#include "support/db/DbTransport.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fennoc/Fennoc.h"
#include "platform/CommandLine.h"
#include "platform/NamedPipe.h"
#include "platform/Process.h"
#include "platform/SystemServices.h"
#include "platform/WinError.h"
#include "support/pipe/DebugPrint.h"
#include "support/pipe/PipeLayer.h"

namespace {

constexpr int kServerWaitAttempts = 31;
constexpr std::uint32_t kServerWaitIntervalMs = 1000;
constexpr std::uint32_t kErrorBadLength = 24;

// The code the last failed step saw (see the header).
std::uint32_t lastPipeError = 0;

std::uint32_t Low16(std::uint32_t length) { return length & 0xFFFFu; }

}  // namespace

int Open_Client_IPC(DbBlockSpan session, std::string_view pipeName, std::uint32_t length) {
    std::int32_t handle = Pipe_Open(pipeName);
    if (handle == kPipeInvalid) return kOpenClientIpcFailed;
    // The name is the one later requests open again; one that does not fit its field
    // would name another pipe, so the connection is given up.
    if (!SetSessionPipeName(session, pipeName)) {
        Pipe_Close(handle);
        return kOpenClientIpcFailed;
    }
    SetSessionPipeHandle(session, handle);
    SetSessionMessageLength(session, Low16(length));
    return 0;
}

int Client_Send(DbBlockSpan session, const DbMessage& message, std::uint32_t length) {
    std::int32_t handle = SessionPipeHandle(session);
    std::uint32_t count = std::min<std::uint32_t>(Low16(length), kDbMessageSize);
    std::uint32_t written = 0;
    if (Pipe_Write(handle, message.data(), count, written) != 0 && written == count) return 0;
    lastPipeError =
        handle == kPipeInvalid ? platform::kErrorInvalidHandle : platform::kErrorBrokenPipe;
    return -1;
}

int Client_Receive(DbBlockSpan session, DbMessage& message, std::uint32_t length) {
    std::int32_t handle = SessionPipeHandle(session);
    std::uint32_t want = std::min<std::uint32_t>(Low16(length), kDbMessageSize);
    // Read into a buffer that holds any message, so a reply of the wrong length is taken
    // off the pipe whole and cannot be read as the next reply.
    static std::vector<std::uint8_t> buffer(platform::kPipeMaxMessage);
    std::uint32_t got = 0;
    int ok = Pipe_Read(handle, buffer.data(), static_cast<std::uint32_t>(buffer.size()), got);
    if (ok != 0 && got == want) {
        std::copy_n(buffer.begin(), want, message.begin());
        return 0;
    }
    if (handle == kPipeInvalid) {
        lastPipeError = platform::kErrorInvalidHandle;
    } else if (ok == 0 && got == 0) {
        lastPipeError = platform::kErrorBrokenPipe;
    } else {
        lastPipeError = got > want ? platform::kErrorMoreData : kErrorBadLength;
    }
    return -1;
}

int Close_Client_IPC(DbBlockSpan session) {
    Pipe_Close(SessionPipeHandle(session));
    return 0;
}

int PdmDb_Transact(DbSession& session, DbMessage& message, std::uint32_t length) {
    DbBlockSpan copy = MessageSession(message);
    const bool held = SessionKeepOpen(copy);
    if (!held) {
        if (int rc = Open_Client_IPC(copy, SessionPipeName(copy), length); rc != 0) {
            DbgPrint("ossel.lib  Error! Open_Client_IPC() rc[%d]\n", rc);
            session.transportFailed = true;
            // Never write to whatever handle an earlier connection left in the block.
            SetSessionPipeHandle(copy, kPipeInvalid);
        }
    }
    SetSessionMessageLength(copy, length);
    // The reply replaces the session copy; the handle to close is the one sent.
    DbBlock sent;
    std::copy(copy.begin(), copy.end(), sent.begin());
    if (int rc = Client_Send(sent, message, length); rc != 0) {
        std::string name = SessionPipeName(sent);
        DbgPrint("ossel.lib  Error! Client_Send() rc[%d](%d) pipe[%s](%#x)\n", rc,
                 static_cast<int>(lastPipeError), name.c_str(),
                 static_cast<unsigned>(SessionPipeHandle(sent)));
        session.transportFailed = true;
    }
    if (int rc = Client_Receive(sent, message, length); rc != 0) {
        DbgPrint("ossel.lib  Error! Client_Receive() rc[%d](%d)\n", rc,
                 static_cast<int>(lastPipeError));
        session.transportFailed = true;
    }
    int closeRc = 0;
    if (!held) {
        closeRc = Close_Client_IPC(sent);
        if (closeRc != 0) DbgPrint("ossel.lib  Error! Close_Client_IPC() rc[%d]\n", closeRc);
    }
    return closeRc;
}

void PdmDb_TransactMulti(DbSession& session, DbMessage& message, std::uint32_t length) {
    DbBlockSpan copy = MessageSession(message);
    const bool held = SessionKeepOpen(copy);
    if (!held && Open_Client_IPC(copy, SessionPipeName(copy), length) != 0) {
        session.transportFailed = true;
        SetSessionPipeHandle(copy, kPipeInvalid);
    }
    SetSessionMessageLength(copy, length);
    DbBlock sent;
    std::copy(copy.begin(), copy.end(), sent.begin());
    if (Client_Send(sent, message, length) != 0) session.transportFailed = true;
    // The data pieces (command field 0) are not used; the answer ends with a reply
    // whose command field is non-zero. A failed read ends it too: the rest of the
    // answer cannot come any more, and waiting on would never end.
    for (;;) {
        if (Client_Receive(sent, message, length) != 0) {
            session.transportFailed = true;
            break;
        }
        if (MessageCommand(message) != 0) break;
    }
    if (!held) Close_Client_IPC(sent);
}

int PdmDb_TransactStart(DbSession& session, std::string_view pipeName, DbMessage& message,
                        std::uint32_t length) {
    if (Open_Client_IPC(session.block, pipeName, length) != 0) {
        (void)PdmDb_StartServer();
        if (Open_Client_IPC(session.block, pipeName, length) != 0) {
            (void)platform::Beep(200, 100);
            (void)platform::Beep(200, 60);
            session.transportFailed = true;
            return 0;
        }
    }
    if (Client_Send(session.block, message, length) != 0) session.transportFailed = true;
    if (Client_Receive(session.block, message, length) != 0) session.transportFailed = true;
    Close_Client_IPC(session.block);
    return 1;
}

int PdmDb_StartServer() {
    char folder[1024] = {};
    (void)PdmIni_GetPdmDir(folder);
    std::string program = std::string(folder) + "\\Ambrel.EXE";
    platform::ProcessStart start;
    start.applicationName = program;
    start.commandLine = platform::QuoteArgument(program);
    start.detached = true;
    {
        platform::ChildProcess child;  // the handle is let go at once; the server runs on
        if (platform::StartProcess(start, child) != platform::kErrorSuccess) return 1;
    }
    for (int attempt = 1; attempt <= kServerWaitAttempts; ++attempt) {
        if (Pipe_Wait(kDbPipeName) != 0) return 1;
        if (attempt < kServerWaitAttempts) platform::Sleep(kServerWaitIntervalMs);
    }
    return 0;
}
