// The client side of the named pipes and the operations both sides share.
//
// A handle is an entry of one process-wide table: the connected socket, the server
// instance it holds (server side only), and the unread rest of a message that did not
// fit the last read. Operations look the entry up under the table's lock and then work
// on the socket without it, so a read that blocks on one handle holds up nobody else;
// the entry is shared, so a handle closed by another thread meanwhile never lets its
// descriptor number be reused under a running call.
//
// Reading keeps the round trip at one system call per message: recvmsg() scatters the
// message into the caller's buffer and, behind it, a per-thread spare buffer large
// enough for the rest of the largest message. Only a message longer than the caller's
// buffer copies its rest out of the spare buffer, to be handed out by the next reads.
#include "platform/NamedPipe.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "ErrnoError.h"
#include "PipeSocket.h"

namespace platform {

namespace detail {
namespace {

// Native handles stay below the values a pipe emulator library may hand out for its
// own handles (from 0x40000000 on), so that both kinds can be told apart.
constexpr PipeHandle kFirstHandle = 1;
constexpr PipeHandle kLastHandle = 0x3FFFFFFF;

struct PipeConnection {
    UniqueFd socket;
    std::shared_ptr<PipeInstanceOwner> owner;
    std::mutex readMutex;  // one reader at a time: the rest below belongs to the next read
    std::string rest;
    std::size_t restOffset = 0;
};

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<PipeHandle, std::shared_ptr<PipeConnection>> open;
    PipeHandle next = kFirstHandle;
};

// Never destroyed: static destructors of a program (or of a library loaded into it) may
// still close handles after this file's would have run.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

std::shared_ptr<PipeConnection> Find(PipeHandle handle) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.open.find(handle);
    return it == table.open.end() ? nullptr : it->second;
}

// The per-thread spare buffer for the rest of a message longer than the caller's buffer.
char* SpareBuffer() {
    thread_local std::unique_ptr<char[]> spare;
    if (!spare) spare = std::make_unique<char[]>(kPipeMaxMessage);
    return spare.get();
}

// Connects to the pipe's socket and sends `hello`. 0 with the connected socket.
WinError ConnectAndGreet(std::string_view pipeName, char hello, UniqueFd& socket) {
    PipeLocation location;
    if (WinError e = LocatePipe(pipeName, location); e != kErrorSuccess) return e;
    if (!location.rootExists) return kErrorFileNotFound;
    socket.Reset(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
    if (!socket) return ErrnoToWinError(errno);
    if (int err = ConnectToPath(socket.Get(), location.host); err != 0) {
        return ConnectErrorToWinError(err);
    }
    ssize_t sent;
    do {
        sent = send(socket.Get(), &hello, 1, MSG_NOSIGNAL);
    } while (sent < 0 && errno == EINTR);
    // The server went away between the connect and the hello.
    return sent == 1 ? kErrorSuccess : kErrorFileNotFound;
}

// Reads one handshake status; `timeoutMs` < 0 waits without limit. The status byte, 0 when
// the connection ended (the server is gone), or -1 when the time ran out.
int ReadStatus(int fd, int timeoutMs) {
    if (timeoutMs >= 0) {
        pollfd p{fd, POLLIN, 0};
        int n;
        do {
            n = poll(&p, 1, timeoutMs);
        } while (n < 0 && errno == EINTR);
        if (n == 0) return -1;
    }
    char status[8];
    ssize_t n;
    do {
        n = recv(fd, status, sizeof status, 0);
    } while (n < 0 && errno == EINTR);
    return n == 1 ? static_cast<unsigned char>(status[0]) : 0;
}

WinError ReadError(int err) {
    switch (err) {
        case ECONNRESET:
        case EPIPE:
            return kErrorBrokenPipe;
        case EBADF:
        case ENOTSOCK:
            return kErrorInvalidHandle;
        default:
            return ErrnoToWinError(err);
    }
}

}  // namespace

PipeHandle AddPipeHandle(UniqueFd socket, std::shared_ptr<PipeInstanceOwner> owner) {
    auto connection = std::make_shared<PipeConnection>();
    connection->socket = std::move(socket);
    connection->owner = std::move(owner);
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.open.size() >= static_cast<std::size_t>(kLastHandle - kFirstHandle) + 1) {
        return kInvalidPipeHandle;
    }
    // Values go round the range instead of reusing the one just closed, so a handle kept
    // by mistake after its close is unlikely to reach another pipe.
    while (table.open.contains(table.next)) {
        table.next = table.next == kLastHandle ? kFirstHandle : table.next + 1;
    }
    PipeHandle handle = table.next;
    table.next = handle == kLastHandle ? kFirstHandle : handle + 1;
    table.open.emplace(handle, std::move(connection));
    return handle;
}

}  // namespace detail

WinError CreateFilePipe(std::string_view pipeName, PipeHandle& handle) {
    handle = kInvalidPipeHandle;
    UniqueFd socket;
    if (WinError e = detail::ConnectAndGreet(pipeName, detail::kHelloOpen, socket);
        e != kErrorSuccess)
        return e;
    switch (detail::ReadStatus(socket.Get(), -1)) {
        case detail::kStatusAccepted:
            break;
        case detail::kStatusBusy:
            return kErrorPipeBusy;
        default:
            return kErrorFileNotFound;  // the server closed while answering
    }
    PipeHandle added = detail::AddPipeHandle(std::move(socket), nullptr);
    // A billion handles open: not reachable in practice.
    if (added == kInvalidPipeHandle) return kErrorGenFailure;
    handle = added;
    return kErrorSuccess;
}

WinError WaitNamedPipeA(std::string_view pipeName, std::uint32_t timeoutMs) {
    UniqueFd socket;
    if (WinError e = detail::ConnectAndGreet(pipeName, detail::kHelloWait, socket);
        e != kErrorSuccess)
        return e;
    // The server answers "free" now or once an instance frees; nothing here polls.
    using Clock = std::chrono::steady_clock;
    const bool forever = timeoutMs == kPipeWaitForever;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs == 0 ? 50 : timeoutMs);
    for (;;) {
        int wait = -1;
        if (!forever) {
            auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        int status = detail::ReadStatus(socket.Get(), wait);
        if (status == detail::kStatusFree) return kErrorSuccess;
        if (status == detail::kStatusBusy) continue;
        if (status < 0) {
            if (Clock::now() >= deadline) return kErrorSemTimeout;
            continue;  // a wait longer than poll() takes at once
        }
        return kErrorFileNotFound;  // the server has gone
    }
}

WinError ReadFilePipe(PipeHandle handle, void* buffer, std::uint32_t count, std::uint32_t& read) {
    read = 0;
    auto connection = detail::Find(handle);
    if (!connection) return kErrorInvalidHandle;
    if (!buffer && count > 0) return kErrorInvalidParameter;
    std::lock_guard lock(connection->readMutex);
    auto* out = static_cast<char*>(buffer);

    if (connection->restOffset < connection->rest.size()) {
        std::size_t left = connection->rest.size() - connection->restOffset;
        std::size_t take = std::min<std::size_t>(left, count);
        if (take > 0) std::memcpy(out, connection->rest.data() + connection->restOffset, take);
        read = static_cast<std::uint32_t>(take);
        if (take < left) {
            connection->restOffset += take;
            return kErrorMoreData;
        }
        connection->rest.clear();
        connection->restOffset = 0;
        return kErrorSuccess;
    }

    unsigned char mark = 0;
    iovec parts[3];
    int used = 0;
    parts[used++] = {&mark, 1};
    if (count > 0) parts[used++] = {out, count};
    char* spare = nullptr;
    if (count < kPipeMaxMessage) {
        spare = detail::SpareBuffer();
        parts[used++] = {spare, kPipeMaxMessage - count};
    }
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = static_cast<std::size_t>(used);
    ssize_t n;
    do {
        n = recvmsg(connection->socket.Get(), &message, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return detail::ReadError(errno);
    if (n == 0) return kErrorBrokenPipe;  // every message carries its mark: this is the end
    // Not a message of this layer (a foreign writer), or one longer than any writer of it
    // may send, whose tail the host has dropped.
    if (mark != detail::kMessageMark || (message.msg_flags & MSG_TRUNC)) return kErrorInvalidData;

    std::size_t length = static_cast<std::size_t>(n) - 1;
    if (length <= count) {
        read = static_cast<std::uint32_t>(length);
        return kErrorSuccess;
    }
    connection->rest.assign(spare, length - count);
    connection->restOffset = 0;
    read = count;
    return kErrorMoreData;
}

WinError WriteFilePipe(PipeHandle handle, const void* buffer, std::uint32_t count,
                       std::uint32_t& written) {
    written = 0;
    auto connection = detail::Find(handle);
    if (!connection) return kErrorInvalidHandle;
    if (count > kPipeMaxMessage || (!buffer && count > 0)) return kErrorInvalidParameter;
    unsigned char mark = detail::kMessageMark;
    iovec parts[2] = {{&mark, 1}, {const_cast<void*>(buffer), count}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = count > 0 ? 2 : 1;
    ssize_t n;
    do {
        n = sendmsg(connection->socket.Get(), &message, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        // A reader that has closed: Windows says "the pipe is being closed".
        if (errno == EPIPE) return kErrorNoData;
        return detail::ReadError(errno);
    }
    written = count;
    return kErrorSuccess;
}

WinError FlushFileBuffersPipe(PipeHandle handle) {
    auto connection = detail::Find(handle);
    if (!connection) return kErrorInvalidHandle;
    pollfd p{connection->socket.Get(), 0, 0};
    int n;
    do {
        n = poll(&p, 1, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) return detail::ReadError(errno);
    return (p.revents & POLLHUP) ? kErrorBrokenPipe : kErrorSuccess;
}

WinError CloseHandlePipe(PipeHandle handle) {
    std::shared_ptr<detail::PipeConnection> connection;
    {
        detail::HandleTable& table = detail::Table();
        std::lock_guard lock(table.mutex);
        auto it = table.open.find(handle);
        if (it == table.open.end()) return kErrorInvalidHandle;
        connection = std::move(it->second);
        table.open.erase(it);
    }
    // A call still running on the handle in another thread keeps the descriptor open;
    // shutting the socket down ends a read it is blocked in (it sees the end, 109).
    if (connection.use_count() > 1) shutdown(connection->socket.Get(), SHUT_RDWR);
    auto owner = std::move(connection->owner);
    connection.reset();
    if (owner) owner->ReleaseInstance();
    return kErrorSuccess;
}

}  // namespace platform
