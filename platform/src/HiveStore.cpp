// The hive files and their parsed copies (HiveStore.h).
#include "HiveStore.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <mutex>

#include "HostPath.h"
#include "platform/AtomicWrite.h"
#include "platform/Prefix.h"
#include "platform/UniqueFd.h"

namespace platform::hive {
namespace {

thread_local std::string gLastError;

const char* HiveFileName(RegRoot root) {
    return root == RegRoot::LocalMachine ? "system.reg" : "user.reg";
}

std::string HivePath(RegRoot root) { return PrefixDir() + "/" + HiveFileName(root); }

// The lock on one hive, held while the descriptor of its lock file is open: closing it
// (when the lock goes out of scope) releases the lock.
class HiveLock {
  public:
    // Locks the hive of `root` for a change, creating the prefix folder when missing.
    [[nodiscard]] WinError Acquire(RegRoot root) {
        if (mkdir(PrefixDir().c_str(), 0777) != 0 && errno != EEXIST) {
            return detail::ErrnoToWinError(errno);
        }
        const std::string path = HivePath(root) + ".lock";
        fd_.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
        if (!fd_) return detail::ErrnoToWinError(errno);
        while (flock(fd_.Get(), LOCK_EX) != 0) {
            if (errno != EINTR) return detail::ErrnoToWinError(errno);
        }
        return kErrorSuccess;
    }

    // Adds one to the save counter (0 when the lock file holds none yet). False when
    // the counter cannot be read or written.
    [[nodiscard]] bool CountSave() const {
        unsigned char bytes[8] = {};
        const ssize_t n = pread(fd_.Get(), bytes, sizeof bytes, 0);
        if (n < 0) return false;
        std::uint64_t value = 0;
        if (n == static_cast<ssize_t>(sizeof bytes)) {
            for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
        }
        value += 1;
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        return pwrite(fd_.Get(), bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes);
    }

  private:
    UniqueFd fd_;
};

// Parses the text of the hive of `root` into `tree`.
WinError ParseHive(RegRoot root, const std::string& path, const std::string& raw, Key& tree) {
    tree = Key();
    if (raw.empty()) return kErrorSuccess;
    std::vector<Op> ops;
    if (!ParseRegText(raw, path, false, ops, gLastError)) return kErrorBadRegistryFile;
    for (const auto& op : ops) {
        if (op.root != root) {
            gLastError = path + ": holds keys of " + RegRootName(op.root);
            return kErrorBadRegistryFile;
        }
    }
    ApplyOps(ops, root, tree);
    return kErrorSuccess;
}

// Events that may mean the hive's contents changed: on the hive file itself, and on the
// prefix folder (a new hive renamed into place, the hive removed, the folder moved).
constexpr std::uint32_t kFileMask =
    IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW;
constexpr std::uint32_t kFolderMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                      IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Counts fork() calls in this process: a child must not read its parent's events.
std::atomic<unsigned> gForks{0};
void CountFork() { gForks.fetch_add(1); }

// The parsed copy of one hive and what tells whether it is still the file.
struct HiveCache {
    std::mutex mutex;    // held for the whole operation
    std::string prefix;  // the prefix folder and hive file the copy was read from
    std::string path;
    bool loaded = false;  // `raw` and `tree` are a parse of the file read last
    std::string raw;
    Key tree;
    // The watch: while `watching`, no queued event means the file still holds `raw`.
    UniqueFd inotify;
    bool inotifyTried = false;
    unsigned forks = 0;  // gForks when the descriptor was opened
    bool watching = false;
    int fileWatch = -1;

    void Forget() {
        loaded = false;
        watching = false;
        raw.clear();
        tree = Key();
    }

    // The inotify descriptor, opened on first use and again in a forked child (which
    // must not read its parent's events). Null when the kernel gives none.
    int Descriptor() {
        if (inotifyTried && forks != gForks.load()) {
            inotify.Reset();
            inotifyTried = false;
            fileWatch = -1;
            watching = false;
        }
        if (!inotifyTried) {
            inotifyTried = true;
            static std::once_flag registered;
            std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, CountFork); });
            forks = gForks.load();
            inotify.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        }
        return inotify.Get();
    }

    // Reads every queued event. True when none of them can have changed the hive.
    bool Unchanged(std::string_view fileName) {
        alignas(inotify_event) char buffer[4096];
        bool unchanged = true;
        while (true) {
            const ssize_t n = read(inotify.Get(), buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno == EAGAIN) return unchanged;
            if (n <= 0) return false;  // a failed read tells nothing: read the file
            for (ssize_t at = 0; at < n;) {
                const auto* ev = reinterpret_cast<const inotify_event*>(buffer + at);
                at += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
                if (ev->wd == fileWatch || (ev->mask & (IN_Q_OVERFLOW | IN_IGNORED))) {
                    unchanged = false;
                } else if (ev->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                    unchanged = false;  // the prefix folder itself
                } else if (ev->len > 0 && fileName == std::string_view(ev->name)) {
                    unchanged = false;
                }
            }
        }
    }

    // Watches the prefix folder and the hive before the hive is read, so that a change
    // after the read is queued. False when the file cannot be watched reliably.
    bool Watch(const std::string& folder, const std::string& file) {
        if (fileWatch >= 0) {
            // The old hive's watch, if it is still there; nothing depends on its removal.
            (void)inotify_rm_watch(inotify.Get(), fileWatch);
            fileWatch = -1;
        }
        // Events from before this point are answered by the read that follows.
        (void)Unchanged("");
        struct statfs fs {};
        if (statfs(folder.c_str(), &fs) != 0 || !detail::IsLocalFileSystem(fs.f_type)) return false;
        if (inotify_add_watch(inotify.Get(), folder.c_str(), kFolderMask) < 0) return false;
        struct stat st {};
        if (lstat(file.c_str(), &st) != 0) return errno == ENOENT;  // its creation is seen
        if (!S_ISREG(st.st_mode)) return false;
        fileWatch = inotify_add_watch(inotify.Get(), file.c_str(), kFileMask);
        return fileWatch >= 0;
    }
};

HiveCache& CacheOf(RegRoot root) {
    static HiveCache caches[2];
    return caches[root == RegRoot::LocalMachine ? 0 : 1];
}

// Makes cache.tree the latest saved hive of `root`.
WinError Refresh(HiveCache& cache, RegRoot root) {
    // PrefixDir() is read once, but tests may point it elsewhere between operations.
    const std::string& prefix = PrefixDir();
    if (cache.prefix != prefix) {
        cache.Forget();
        cache.prefix = prefix;
        cache.path = HivePath(root);
    }
    const std::string& path = cache.path;
    const bool canWatch = cache.Descriptor() >= 0;
    if (canWatch && cache.watching && cache.loaded && cache.Unchanged(HiveFileName(root))) {
        return kErrorSuccess;
    }
    cache.watching = canWatch && cache.Watch(prefix, path);
    std::string raw;
    if (WinError rc = ReadHostFile(path, raw, true); rc != kErrorSuccess) {
        cache.Forget();
        return rc;
    }
    if (cache.loaded && raw == cache.raw) return kErrorSuccess;
    cache.loaded = false;
    if (WinError rc = ParseHive(root, path, raw, cache.tree); rc != kErrorSuccess) {
        cache.Forget();
        return rc;
    }
    cache.raw = std::move(raw);
    cache.loaded = true;
    return kErrorSuccess;
}

}  // namespace

WinError ReadHostFile(const std::string& path, std::string& contents, bool missingIsEmpty) {
    contents.clear();
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (missingIsEmpty && errno == ENOENT) return kErrorSuccess;
        return detail::ErrnoToWinError(errno);
    }
    char buffer[65536];
    while (true) {
        ssize_t n = read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        // A hive read only in part would be saved back in part by the next change:
        // a failed read is an error, never a shorter file.
        if (n < 0) {
            contents.clear();
            return detail::ErrnoToWinError(errno);
        }
        if (n == 0) return kErrorSuccess;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

WinError ReadHive(RegRoot root, const std::function<WinError(Key&)>& fn) {
    HiveCache& cache = CacheOf(root);
    std::lock_guard guard(cache.mutex);
    if (WinError rc = Refresh(cache, root); rc != kErrorSuccess) return rc;
    return fn(cache.tree);
}

WinError ChangeHive(RegRoot root, const std::function<WinError(Key&, bool&)>& fn) {
    HiveCache& cache = CacheOf(root);
    std::lock_guard guard(cache.mutex);
    HiveLock lock;
    if (WinError rc = lock.Acquire(root); rc != kErrorSuccess) return rc;
    if (WinError rc = Refresh(cache, root); rc != kErrorSuccess) return rc;
    bool changed = false;
    WinError rc = fn(cache.tree, changed);
    if (rc == kErrorSuccess && changed) {
        std::string text = SerializeTree(cache.tree, RegRootName(root), true);
        rc = AtomicWriteFile(cache.path, text, 0644);
        if (rc == kErrorSuccess) {
            // The counter only serves other programs' copies; the save itself stands.
            (void)lock.CountSave();
            // The events of this save lead to one read of the file, which then holds
            // exactly `text`: the tree is not parsed again.
            cache.raw = std::move(text);
            return kErrorSuccess;
        }
    }
    // A failed operation may have left the tree half changed: parse again next time.
    if (rc != kErrorSuccess) cache.Forget();
    return rc;
}

WinError ApplyToHives(const std::vector<Op>& ops) {
    const RegRoot roots[2] = {RegRoot::LocalMachine, RegRoot::CurrentUser};
    HiveLock locks[2];
    Key trees[2];
    bool touched[2] = {false, false};
    for (const auto& op : ops) touched[op.root == RegRoot::LocalMachine ? 0 : 1] = true;
    for (int i = 0; i < 2; ++i) {
        if (!touched[i]) continue;
        if (WinError rc = locks[i].Acquire(roots[i]); rc != kErrorSuccess) return rc;
        const std::string path = HivePath(roots[i]);
        std::string raw;
        if (WinError rc = ReadHostFile(path, raw, true); rc != kErrorSuccess) return rc;
        if (WinError rc = ParseHive(roots[i], path, raw, trees[i]); rc != kErrorSuccess) return rc;
    }
    for (int i = 0; i < 2; ++i) {
        if (!touched[i]) continue;
        ApplyOps(ops, roots[i], trees[i]);
        const std::string text = SerializeTree(trees[i], RegRootName(roots[i]), true);
        if (WinError rc = AtomicWriteFile(HivePath(roots[i]), text, 0644); rc != kErrorSuccess) {
            return rc;
        }
        // As in ChangeHive: the counter serves other programs; the save stands.
        (void)locks[i].CountSave();
    }
    return kErrorSuccess;
}

std::string& LastErrorText() { return gLastError; }

}  // namespace platform::hive
