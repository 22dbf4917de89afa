// The server side of the named pipes.
//
// Windows keeps a count of a pipe's instances and answers a client at once when every
// one is connected. A listening socket has no such count, so each server runs one
// acceptor thread that takes every new connection off the socket and answers its hello
// (see PipeSocket.h):
//
//   - "open" with an instance free: the instance is taken, "accepted" is sent, and the
//     connection waits in a queue for Accept(). Nothing is ever dropped from the queue
//     while the server is open, so Accept() sees every client that was told "accepted",
//     also one that has written its message and closed already.
//   - "open" with every instance taken: "busy", and the connection is closed.
//   - "wait": "free" at once when an instance is free, else the connection is kept
//     until CloseHandlePipe() on a server connection frees one (it wakes the thread
//     through an eventfd); then every waiter gets "free". Waiters take no instance, so a
//     wait never shows the server a connection.
//
// The thread sleeps in poll() on the listening socket, the eventfd and the connections
// in their handshake, so an idle server costs nothing and a waiting client is woken by
// the server, never by polling the disk.
//
// The socket file is made under a temporary name through a descriptor of its folder
// and renamed into place, under a lock on the folder: the rename replaces a socket left
// by a killed server in one step, two servers starting at once cannot both take the
// name, and the bind works whatever the length of the folder's path. Close() removes
// the file only while it is still this server's (same inode), never a successor's.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "ErrnoError.h"
#include "HostPath.h"
#include "PipeSocket.h"
#include "platform/NamedPipe.h"

namespace platform {

using detail::ErrnoToWinError;

namespace {

// Connections in their handshake (hello not read yet, or waiting for a free instance).
// Beyond this a new client is told "busy" at once, so a flood of idle connections
// cannot grow the thread's poll set without limit.
constexpr std::size_t kMaxHandshakes = 512;
constexpr unsigned kUnlimitedInstances = 255;

// Holds an exclusive lock on a folder descriptor for the scope.
class FolderLock {
  public:
    explicit FolderLock(int fd) : fd_(fd) {
        while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock() { flock(fd_, LOCK_UN); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_;
};

bool SendStatus(int fd, char status) {
    ssize_t n;
    do {
        n = send(fd, &status, 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n == 1;
}

// Creates the folders between `root` and the socket path `host` that are missing.
WinError MakeFolders(const std::string& root, const std::string& host) {
    for (std::size_t slash = host.find('/', root.size() + 1); slash != std::string::npos;
         slash = host.find('/', slash + 1)) {
        std::string folder = host.substr(0, slash);
        if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return ErrnoToWinError(errno);
    }
    return kErrorSuccess;
}

// True when a server listens on the socket file `host` right now.
bool SomeoneListens(const std::string& host) {
    UniqueFd probe(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!probe) return false;
    int err = detail::ConnectToPath(probe.Get(), host);
    // A full backlog (EAGAIN) is a live server too. The probe ends without a hello, which
    // the server's acceptor drops.
    return err == 0 || err == EAGAIN || err == EINPROGRESS;
}

}  // namespace

struct PipeServer::State : detail::PipeInstanceOwner {
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<UniqueFd> queue;  // told "accepted", not yet taken by Accept()
    unsigned maxInstances = 1;
    unsigned inUse = 0;  // queued plus accepted and not closed
    std::size_t waiters = 0;
    bool closed = false;

    UniqueFd listener;
    UniqueFd wake;    // eventfd: an instance freed, or Close()
    UniqueFd folder;  // the socket's folder, for the lock, the rename and the removal
    std::string baseName;
    dev_t dev = 0;
    ino_t ino = 0;
    std::thread acceptor;

    bool FreeLocked() const { return maxInstances == kUnlimitedInstances || inUse < maxInstances; }

    void Wake() {
        std::uint64_t one = 1;
        ssize_t n;
        do {
            n = write(wake.Get(), &one, sizeof one);
        } while (n < 0 && errno == EINTR);
    }

    void ReleaseInstance() override {
        bool notify;
        {
            std::lock_guard lock(mutex);
            if (inUse > 0) --inUse;
            notify = waiters > 0 && !closed;
        }
        if (notify) Wake();
    }

    struct Peer {
        UniqueFd fd;
        bool waiting = false;  // said "wait" and is told "free" when an instance frees
    };

    // Reads and answers the hello of `peer`. True while the connection stays in the
    // handshake (hello not here yet, or waiting); false when it was answered and handed
    // on or closed.
    bool Greet(Peer& peer) {
        char hello[8];
        ssize_t n;
        do {
            n = recv(peer.fd.Get(), hello, sizeof hello, MSG_DONTWAIT);
        } while (n < 0 && errno == EINTR);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        if (n != 1) return false;  // gone, or not a client of this layer
        if (hello[0] == detail::kHelloWait) {
            std::lock_guard lock(mutex);
            if (FreeLocked()) {
                SendStatus(peer.fd.Get(), detail::kStatusFree);
                return false;
            }
            ++waiters;
            peer.waiting = true;
            return true;
        }
        if (hello[0] != detail::kHelloOpen) return false;
        {
            std::lock_guard lock(mutex);
            if (closed) return false;
            if (!FreeLocked()) {
                SendStatus(peer.fd.Get(), detail::kStatusBusy);
                return false;
            }
            ++inUse;
        }
        // "accepted" goes out before the connection can reach Accept(), so the client
        // reads it ahead of anything the server writes.
        bool told = SendStatus(peer.fd.Get(), detail::kStatusAccepted);
        {
            std::lock_guard lock(mutex);
            if (told && !closed) {
                queue.push_back(std::move(peer.fd));
                ready.notify_one();
                return false;
            }
            --inUse;  // the client left before its answer: it wrote nothing yet
        }
        return false;
    }

    void TellWaiters(std::vector<Peer>& peers) {
        std::size_t told = 0;
        for (auto it = peers.begin(); it != peers.end();) {
            if (!it->waiting) {
                ++it;
                continue;
            }
            SendStatus(it->fd.Get(), detail::kStatusFree);
            it = peers.erase(it);
            ++told;
        }
        std::lock_guard lock(mutex);
        waiters -= told;
    }

    void Drop(std::vector<Peer>& peers, std::size_t index) {
        if (peers[index].waiting) {
            std::lock_guard lock(mutex);
            --waiters;
        }
        peers.erase(peers.begin() + static_cast<std::ptrdiff_t>(index));
    }

    void Run() {
        std::vector<Peer> peers;
        std::vector<pollfd> fds;
        for (;;) {
            fds.clear();
            fds.push_back({wake.Get(), POLLIN, 0});
            fds.push_back({listener.Get(), POLLIN, 0});
            for (const auto& peer : peers) fds.push_back({peer.fd.Get(), POLLIN, 0});
            if (poll(fds.data(), fds.size(), -1) < 0) {
                if (errno != EINTR) std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            const bool woken = (fds[0].revents & POLLIN) != 0;
            if (woken) {
                std::uint64_t count;
                ssize_t ignored = read(wake.Get(), &count, sizeof count);
                (void)ignored;
                std::lock_guard lock(mutex);
                if (closed) return;
            }
            // Peers polled this round, from the back so erasing keeps earlier indexes
            // (nothing else changes the list before this). A waiter that becomes readable
            // has closed: a waiter sends nothing more.
            const std::size_t polled = std::min(peers.size(), fds.size() - 2);
            for (std::size_t i = polled; i-- > 0;) {
                if (fds[i + 2].revents == 0) continue;
                if (peers[i].waiting || !Greet(peers[i])) Drop(peers, i);
            }
            if (woken) {
                bool free;
                {
                    std::lock_guard lock(mutex);
                    free = FreeLocked();
                }
                if (free) TellWaiters(peers);
            }
            if (fds[1].revents & POLLIN) AcceptAll(peers);
        }
    }

    void AcceptAll(std::vector<Peer>& peers) {
        for (;;) {
            int fd = accept4(listener.Get(), nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EINTR || errno == ECONNABORTED) continue;
                // Out of descriptors: the connection stays in the backlog; a pause keeps
                // the loop from spinning until one is closed.
                if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                }
                return;
            }
            Peer peer{UniqueFd(fd), false};
            if (peers.size() >= kMaxHandshakes) {
                SendStatus(fd, detail::kStatusBusy);
                continue;
            }
            // The hello is usually here already: answer it without another poll round.
            if (Greet(peer)) peers.push_back(std::move(peer));
        }
    }
};

PipeServer::PipeServer() = default;

PipeServer::~PipeServer() { Close(); }

WinError PipeServer::Create(std::string_view pipeName, unsigned maxInstances) {
    if (maxInstances < 1 || maxInstances > kUnlimitedInstances) return kErrorInvalidParameter;
    if (state_) {
        std::lock_guard lock(state_->mutex);
        if (!state_->closed) return kErrorInvalidParameter;  // this object serves a pipe already
    }
    detail::PipeLocation location;
    if (WinError e = detail::LocatePipe(pipeName, location); e != kErrorSuccess) return e;
    if (mkdir(location.root.c_str(), 0777) != 0 && errno != EEXIST) {
        return errno == ENOENT ? kErrorPathNotFound : ErrnoToWinError(errno);
    }
    if (!location.rootExists) {
        // The folder did not exist when the name was looked up: look again from it.
        if (WinError e = detail::LocatePipe(pipeName, location); e != kErrorSuccess) return e;
    }
    if (WinError e = MakeFolders(location.root, location.host); e != kErrorSuccess) return e;

    auto state = std::make_shared<State>();
    state->maxInstances = maxInstances;
    state->baseName = detail::HostBaseName(location.host);
    const std::string folderPath = detail::HostParent(location.host);
    state->folder.Reset(open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!state->folder) {
        return errno == ENOENT || errno == ENOTDIR ? kErrorPathNotFound : ErrnoToWinError(errno);
    }
    const int folder = state->folder.Get();

    {
        FolderLock lock(folder);
        struct stat st;
        if (fstatat(folder, state->baseName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            // Something that is not a socket is never replaced; a live server keeps its name.
            if (!S_ISSOCK(st.st_mode) || SomeoneListens(location.host)) return kErrorAccessDenied;
        }

        state->listener.Reset(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!state->listener) return ErrnoToWinError(errno);
        static std::atomic<unsigned> serial{0};
        char temp[64];
        std::snprintf(temp, sizeof temp, ".pipe-%d-%u", static_cast<int>(getpid()),
                      serial.fetch_add(1));
        unlinkat(folder, temp, 0);  // left by a crashed process whose id was reused
        std::string bindPath = detail::JoinHost(folderPath, temp);
        sockaddr_un addr;
        socklen_t length = 0;
        if (!detail::FillSocketAddress(bindPath, addr, length)) {
            char shortPath[128];
            std::snprintf(shortPath, sizeof shortPath, "/proc/self/fd/%d/%s", folder, temp);
            if (!detail::FillSocketAddress(shortPath, addr, length)) return kErrorInvalidName;
        }
        if (bind(state->listener.Get(), reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
            return ErrnoToWinError(errno);
        }
        if (listen(state->listener.Get(), SOMAXCONN) != 0 ||
            renameat(folder, temp, folder, state->baseName.c_str()) != 0) {
            WinError e = ErrnoToWinError(errno);
            unlinkat(folder, temp, 0);
            return e;
        }
        if (fstatat(folder, state->baseName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            state->dev = st.st_dev;
            state->ino = st.st_ino;
        }
    }

    auto removeFile = [&] {
        FolderLock lock(folder);
        unlinkat(folder, state->baseName.c_str(), 0);
    };
    state->wake.Reset(eventfd(0, EFD_CLOEXEC));
    if (!state->wake) {
        WinError e = ErrnoToWinError(errno);
        removeFile();
        return e;
    }
    try {
        state->acceptor = std::thread([raw = state.get()] { raw->Run(); });
    } catch (const std::system_error&) {
        removeFile();
        return kErrorGenFailure;
    }
    state_ = std::move(state);
    return kErrorSuccess;
}

WinError PipeServer::Accept(PipeHandle& connection) {
    connection = kInvalidPipeHandle;
    std::shared_ptr<State> state = state_;
    if (!state) return kErrorInvalidHandle;
    UniqueFd socket;
    {
        std::unique_lock lock(state->mutex);
        state->ready.wait(lock, [&] { return state->closed || !state->queue.empty(); });
        if (state->closed) return kErrorOperationAborted;
        socket = std::move(state->queue.front());
        state->queue.pop_front();
    }
    PipeHandle handle = detail::AddPipeHandle(std::move(socket), state);
    if (handle == kInvalidPipeHandle) {
        state->ReleaseInstance();
        return kErrorGenFailure;
    }
    connection = handle;
    return kErrorSuccess;
}

void PipeServer::Close() {
    std::shared_ptr<State> state = state_;
    if (!state) return;
    std::deque<UniqueFd> unaccepted;
    {
        std::lock_guard lock(state->mutex);
        if (state->closed) return;
        state->closed = true;
        unaccepted.swap(state->queue);
    }
    state->ready.notify_all();
    {
        // New clients find no pipe from here on; a successor's socket is left alone.
        FolderLock lock(state->folder.Get());
        struct stat st;
        if (fstatat(state->folder.Get(), state->baseName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            st.st_dev == state->dev && st.st_ino == state->ino) {
            unlinkat(state->folder.Get(), state->baseName.c_str(), 0);
        }
    }
    state->Wake();
    if (state->acceptor.joinable() && state->acceptor.get_id() != std::this_thread::get_id()) {
        state->acceptor.join();
    }
    // Clients still in the backlog, in the handshake or waiting see the end: "no such pipe".
    state->listener.Reset();
}

}  // namespace platform
