// Case-insensitive lookup of path components in host folders.
//
// Windows scripts upper-case every path while the files on the host keep the case they
// were written with, so most lookups miss the exact name, and a copy to a new name
// misses by definition. Listing a folder for each such lookup makes N files in one
// folder cost N listings. Instead each folder's listing is kept, with every entry under
// its upper-cased code page 932 form, and kept current by the kernel:
//
//   - One inotify descriptor per process and one watch per cached folder. The kernel
//     queues an event before the call that changed the folder returns, whichever
//     process made it, so once the queue is drained (before every walk, under the
//     mutex) the listing is exactly the folder. Both hits and misses are answered from
//     it, without a system call.
//   - Events update the listing in place (a created name is added, a removed name
//     taken out), so copying N new files into one folder stays linear. Each event sets
//     a name's state outright, so applying one the listing already reflects (the folder
//     is watched before it is read) changes nothing.
//   - A listing stands for the folder its path names only while its parent's listing
//     is kept too: renaming or removing a folder is an event in its parent, which drops
//     the cached subtree below it. So dropping any listing drops its subtree, and the
//     folder a walk starts from (a drive's folder) is checked by inode on every walk.
//   - Whatever cannot be watched falls back to the checked lookup below (a hit is
//     confirmed with lstat(), a miss re-reads the folder): folders on file systems
//     whose changes may come from another machine (network, FUSE), anything below a
//     symbolic link, an inotify descriptor or watch the kernel refuses, and a queue
//     overflow, which forgets every listing.
//   - A process made by fork() shares the parent's descriptor; the child starts afresh
//     with its own so neither reads the other's events.
#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <list>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "HostPath.h"
#include "platform/Cp932.h"
#include "platform/UniqueFd.h"

namespace platform::detail {
namespace {

// Watches are a per-user kernel resource; the least recently used folder (and what is
// cached below it) is forgotten beyond this.
constexpr std::size_t kMaxWatchedFolders = 256;
// Folders the checked lookup keeps a listing of (only ever saves work there).
constexpr std::size_t kMaxCheckedFolders = 512;

constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;

std::string UpperKey(const std::string& hostName, bool& ok) {
    std::string cp932;
    ok = Utf8ToCp932(hostName, cp932);
    return ok ? UpperCase(cp932) : std::string();
}

// A folder's entries: every host name, and the names with a code page 932 form under
// their upper-cased form.
struct Entries {
    std::unordered_map<std::string, bool> names;  // host name -> a real folder (not a link)
    std::unordered_map<std::string, std::vector<std::string>> byKey;

    void Add(const std::string& name, bool isFolder) {
        auto [it, inserted] = names.insert_or_assign(name, isFolder);
        (void)it;
        if (!inserted) return;
        bool ok = false;
        std::string key = UpperKey(name, ok);
        if (ok) byKey[key].push_back(name);
    }

    void Remove(const std::string& name) {
        if (names.erase(name) == 0) return;
        bool ok = false;
        std::string key = UpperKey(name, ok);
        if (!ok) return;
        auto it = byKey.find(key);
        if (it == byKey.end()) return;
        std::erase(it->second, name);
        if (it->second.empty()) byKey.erase(it);
    }

    // The exact name wins; else names differing only in case give the smallest, so the
    // answer does not depend on the order of the folder.
    const std::string* Find(const std::string& utf8, std::string_view cp932, bool& isFolder) const {
        if (auto exact = names.find(utf8); exact != names.end()) {
            isFolder = exact->second;
            return &exact->first;
        }
        auto it = byKey.find(UpperCase(cp932));
        if (it == byKey.end()) return nullptr;
        const std::string* best = nullptr;
        for (const auto& n : it->second) {
            if (!best || n < *best) best = &n;
        }
        isFolder = names.at(*best);
        return best;
    }
};

struct WatchedFolder {
    Entries entries;
    dev_t dev = 0;
    ino_t ino = 0;
    int wd = -1;
    std::list<std::string>::iterator recent;
};

struct Cache {
    std::mutex mutex;
    UniqueFd fd;          // the inotify descriptor
    bool opened = false;  // inotify_init1 was tried (it is not retried after a failure)
    std::unordered_map<std::string, WatchedFolder> folders;
    std::unordered_map<int, std::string> folderOfWatch;
    std::list<std::string> recent;  // most recently used first
    // The checked lookup's listings: upper-cased code page 932 -> host name.
    std::unordered_map<std::string, std::unordered_map<std::string, std::string>> checked;
};

Cache gCache;
std::atomic<bool> gForked{false};

bool IsInTree(const std::string& path, const std::string& top) {
    if (path == top) return true;
    if (top == "/") return path.size() > 1 && path[0] == '/';
    return path.size() > top.size() && path.compare(0, top.size(), top) == 0 &&
           path[top.size()] == '/';
}

void ForgetFolder(std::unordered_map<std::string, WatchedFolder>::iterator it) {
    // Fails harmlessly when the kernel dropped the watch already.
    (void)inotify_rm_watch(gCache.fd.Get(), it->second.wd);
    gCache.folderOfWatch.erase(it->second.wd);
    gCache.recent.erase(it->second.recent);
    gCache.folders.erase(it);
}

// Forgets `top` and every folder cached below it (`withTop` false: only those below).
void ForgetTree(const std::string& top, bool withTop = true) {
    for (auto it = gCache.folders.begin(); it != gCache.folders.end();) {
        auto next = std::next(it);
        if (IsInTree(it->first, top) && (withTop || it->first != top)) ForgetFolder(it);
        it = next;
    }
}

void ForgetAll() {
    for (auto& [path, folder] : gCache.folders) (void)inotify_rm_watch(gCache.fd.Get(), folder.wd);
    gCache.folders.clear();
    gCache.folderOfWatch.clear();
    gCache.recent.clear();
}

void HandleEvent(const inotify_event& ev) {
    if (ev.mask & IN_Q_OVERFLOW) {
        ForgetAll();
        return;
    }
    auto owner = gCache.folderOfWatch.find(ev.wd);
    if (owner == gCache.folderOfWatch.end()) return;  // a folder forgotten already
    const std::string dir = owner->second;
    if (ev.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) {
        ForgetTree(dir);
        return;
    }
    if (ev.len == 0) return;
    auto it = gCache.folders.find(dir);
    if (it == gCache.folders.end()) return;
    Entries& entries = it->second.entries;
    const std::string name = ev.name;
    // Whatever was cached below a name that changes no longer lies there.
    auto old = entries.names.find(name);
    if ((ev.mask & IN_ISDIR) || (old != entries.names.end() && old->second))
        ForgetTree(JoinHost(dir, name));
    if (ev.mask & (IN_CREATE | IN_MOVED_TO)) {
        entries.Add(name, (ev.mask & IN_ISDIR) != 0);
    } else if (ev.mask & (IN_DELETE | IN_MOVED_FROM)) {
        entries.Remove(name);
    }
}

// Applies every queued event. A read error other than an empty queue loses events,
// so it forgets everything as an overflow does. The kernel hands out as many whole
// events as fit in the buffer; a read that left room for the largest event emptied
// the queue as it stood, so no second read is needed to learn that it is empty
// (changes finishing after that read are concurrent with the lookup).
void DrainEvents() {
    constexpr std::size_t kBufferSize = 16384;
    constexpr std::size_t kLargestEvent = sizeof(inotify_event) + NAME_MAX + 1;
    alignas(inotify_event) char buffer[kBufferSize];
    while (true) {
        ssize_t n = read(gCache.fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (errno != EAGAIN) ForgetAll();
            return;
        }
        if (n == 0) return;
        for (ssize_t off = 0; off < n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(buffer + off);
            HandleEvent(*ev);
            off += static_cast<ssize_t>(sizeof(inotify_event) + ev->len);
        }
        if (static_cast<std::size_t>(n) + kLargestEvent <= kBufferSize) return;
    }
}

void MarkForked() { gForked.store(true); }

// Opens the process's inotify descriptor on first use (and again in a forked child).
// False when the kernel gives none: every lookup is then checked.
bool WatchingAvailable() {
    if (gForked.exchange(false)) {
        // The descriptor is the parent's open file: leave its events to the parent.
        gCache.fd.Reset();
        gCache.opened = false;
        gCache.folders.clear();
        gCache.folderOfWatch.clear();
        gCache.recent.clear();
    }
    if (!gCache.opened) {
        gCache.opened = true;
        static std::once_flag registered;
        std::call_once(registered, [] { pthread_atfork(nullptr, nullptr, MarkForked); });
        gCache.fd.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    }
    return gCache.fd.Valid();
}

// Watches and reads `dir`. False (nothing kept) when it cannot be trusted to stay
// current: not a folder, a link, not local, or the kernel refuses the watch.
bool WatchAndRead(const std::string& dir, WatchedFolder& folder) {
    // Watched before it is read: a change in between is both in the listing and queued.
    int wd = inotify_add_watch(gCache.fd.Get(), dir.c_str(), kWatchMask);
    if (wd < 0) return false;
    // The same folder reached under another path (a bind mount) would share the watch.
    if (gCache.folderOfWatch.count(wd)) return false;
    DIR* d = opendir(dir.c_str());
    struct statfs fs;
    struct stat st;
    if (!d || fstatfs(dirfd(d), &fs) != 0 || !IsLocalFileSystem(fs.f_type) ||
        fstat(dirfd(d), &st) != 0) {
        if (d) closedir(d);
        (void)inotify_rm_watch(gCache.fd.Get(), wd);  // a watch just added: nothing to report
        return false;
    }
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool isFolder = e->d_type == DT_DIR;
        if (e->d_type == DT_UNKNOWN) {
            struct stat est;
            isFolder = fstatat(dirfd(d), e->d_name, &est, AT_SYMLINK_NOFOLLOW) == 0 &&
                       S_ISDIR(est.st_mode);
        }
        folder.entries.Add(name, isFolder);
    }
    closedir(d);
    folder.dev = st.st_dev;
    folder.ino = st.st_ino;
    folder.wd = wd;
    return true;
}

// The current listing of `dir`, read and watched when not cached yet; null when it
// cannot be kept. `identity`, when given, is the folder `dir` names right now: a
// listing of another folder (replaced while no parent was watched) is read again.
const Entries* CurrentListing(const std::string& dir, const struct stat* identity) {
    if (auto it = gCache.folders.find(dir); it != gCache.folders.end()) {
        if (!identity ||
            (it->second.dev == identity->st_dev && it->second.ino == identity->st_ino)) {
            gCache.recent.splice(gCache.recent.begin(), gCache.recent, it->second.recent);
            return &it->second.entries;
        }
        ForgetTree(dir);
    }
    // Listings below `dir` kept without it were checked only through another path.
    ForgetTree(dir, false);
    while (gCache.folders.size() >= kMaxWatchedFolders) {
        // The least recently used folder that is not above `dir` (those are in use).
        auto victim = gCache.recent.rbegin();
        while (victim != gCache.recent.rend() && IsInTree(dir, *victim)) ++victim;
        if (victim == gCache.recent.rend()) return nullptr;
        const std::string victimPath = *victim;  // its node goes with it
        ForgetTree(victimPath);
    }
    WatchedFolder folder;
    if (!WatchAndRead(dir, folder)) return nullptr;
    gCache.recent.push_front(dir);
    folder.recent = gCache.recent.begin();
    gCache.folderOfWatch[folder.wd] = dir;
    return &gCache.folders.insert_or_assign(dir, std::move(folder)).first->second.entries;
}

// The checked lookup: a cached hit is confirmed with lstat() before it is returned (the
// entry could have been deleted or renamed since), and a miss always re-reads the
// folder (the entry could have been created since).
bool CheckedLookup(const std::string& dir, std::string_view cp932Name, std::string& hostName) {
    using Listing = std::unordered_map<std::string, std::string>;
    const std::string key = UpperCase(cp932Name);
    if (auto it = gCache.checked.find(dir); it != gCache.checked.end()) {
        if (auto hit = it->second.find(key); hit != it->second.end()) {
            struct stat st;
            if (lstat(JoinHost(dir, hit->second).c_str(), &st) == 0) {
                hostName = hit->second;
                return true;
            }
        }
    }
    DIR* d = opendir(dir.c_str());
    if (!d) {
        gCache.checked.erase(dir);
        return false;
    }
    Listing fresh;
    std::string cp932;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        // A host name with no code page 932 form cannot be named by a Windows path.
        if (!Utf8ToCp932(name, cp932)) continue;
        auto [it, inserted] = fresh.emplace(UpperCase(cp932), name);
        if (!inserted && name < it->second) it->second = name;
    }
    closedir(d);
    bool found = false;
    if (auto hit = fresh.find(key); hit != fresh.end()) {
        hostName = hit->second;
        found = true;
    }
    if (gCache.checked.size() >= kMaxCheckedFolders && !gCache.checked.count(dir))
        gCache.checked.clear();
    gCache.checked[dir] = std::move(fresh);
    return found;
}

}  // namespace

bool IsLocalFileSystem(long type) {
    switch (static_cast<unsigned long>(type)) {
        case EXT4_SUPER_MAGIC:  // also ext2 and ext3
        case TMPFS_MAGIC:
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
        case OVERLAYFS_SUPER_MAGIC:
        case RAMFS_MAGIC:
        case ISOFS_SUPER_MAGIC:
        case UDF_SUPER_MAGIC:
        case MSDOS_SUPER_MAGIC:
        case EXFAT_SUPER_MAGIC:
            return true;
        default:
            return false;
    }
}

WinError ResolveBelow(const std::string& root, const struct stat& rootStat,
                      const std::vector<std::string>& parts, bool wantListing, ResolvedPath& out) {
    std::lock_guard lock(gCache.mutex);
    bool watched = WatchingAvailable();
    if (watched) DrainEvents();
    std::string& host = out.host;
    host = root;
    out.known = PathKnown::Nothing;
    out.listed = false;
    out.listing.clear();
    bool missing = false;
    std::string utf8;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!Cp932ToUtf8(parts[i], utf8)) return kErrorInvalidName;
        if (missing) {
            // Everything below a missing folder is missing too, and kept as written.
            host = JoinHost(host, utf8);
            continue;
        }
        if (watched) {
            if (const Entries* entries = CurrentListing(host, i == 0 ? &rootStat : nullptr)) {
                bool isFolder = false;
                if (const std::string* name = entries->Find(utf8, parts[i], isFolder)) {
                    host = JoinHost(host, *name);
                    // Below a link (or a file) the listings are not tied to a watched parent.
                    watched = isFolder;
                } else {
                    // A current listing of a real folder lacks the name: known missing.
                    missing = true;
                    out.known =
                        i + 1 == parts.size() ? PathKnown::MissingFile : PathKnown::MissingPath;
                    host = JoinHost(host, utf8);
                }
                continue;
            }
            watched = false;
        }
        std::string candidate = JoinHost(host, utf8);
        struct stat st;
        std::string found;
        if (lstat(candidate.c_str(), &st) == 0) {
            host = std::move(candidate);
        } else if (CheckedLookup(host, parts[i], found)) {
            host = JoinHost(host, found);
        } else {
            missing = true;
            host = std::move(candidate);
        }
    }
    if (missing || !watched) return kErrorSuccess;
    // Every component was found in a current listing as a real folder (or there was
    // none: the drive's folder, checked by DriveRoot).
    out.known = PathKnown::Folder;
    if (wantListing) {
        if (const Entries* entries = CurrentListing(host, parts.empty() ? &rootStat : nullptr)) {
            out.listing.reserve(entries->names.size());
            for (const auto& entry : entries->names) out.listing.push_back(entry.first);
            out.listed = true;
        }
    }
    return kErrorSuccess;
}

bool FindEntryNoCase(const std::string& dir, std::string_view cp932Name, std::string& hostName) {
    std::lock_guard lock(gCache.mutex);
    return CheckedLookup(dir, cp932Name, hostName);
}

void ForgetFolderTree(const std::string& dir) {
    std::lock_guard lock(gCache.mutex);
    ForgetTree(dir);
    for (auto it = gCache.checked.begin(); it != gCache.checked.end();) {
        it = IsInTree(it->first, dir) ? gCache.checked.erase(it) : std::next(it);
    }
}

void ClearDirectoryCache() {
    std::lock_guard lock(gCache.mutex);
    if (gCache.fd) ForgetAll();
    gCache.checked.clear();
}

std::size_t WatchedFolderCountForTesting() {
    std::lock_guard lock(gCache.mutex);
    return gCache.folders.size();
}

}  // namespace platform::detail
