// The prefix: its folder, the drives of its dosdevices folder and the process's current
// directory. The translation between Windows paths and host paths is in HostPath.cpp.
#include "platform/Prefix.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>

#include "ErrnoError.h"
#include "HostPath.h"
#include "platform/Cp932.h"

namespace platform {

namespace {

std::mutex gStateMutex;
std::string gPrefix;      // empty until first asked
std::string gCurrentDir;  // Windows path; empty until first asked or set

std::string HomeDir() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

// The canonical host folder of each drive, and the folder's identity when it was
// resolved. Resolving it through the dosdevices entry takes a realpath() (a readlink
// per component); checking it takes two stat() calls: the entry still leads to the same
// folder, and the cached path still names that folder. Either change (the entry
// re-pointed, the folder or one above it renamed or replaced) resolves it afresh.
struct DriveRootEntry {
    std::string root;
    dev_t dev = 0;
    ino_t ino = 0;
    bool known = false;
};
std::mutex gDriveMutex;
DriveRootEntry gDriveRoots[26];

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

WinError detail::DriveRoot(char letter, std::string& root, struct stat& rootStat) {
    if (!detail::IsDriveLetter(letter)) return kErrorPathNotFound;
    const std::string entry = DriveEntryPath(letter);
    if (stat(entry.c_str(), &rootStat) != 0 || !S_ISDIR(rootStat.st_mode)) {
        struct stat st;
        return lstat(entry.c_str(), &st) != 0 ? kErrorPathNotFound : kErrorNotReady;
    }
    DriveRootEntry& cached = gDriveRoots[detail::UpperDriveLetter(letter) - 'A'];
    std::lock_guard lock(gDriveMutex);
    struct stat st;
    if (cached.known && cached.dev == rootStat.st_dev && cached.ino == rootStat.st_ino &&
        stat(cached.root.c_str(), &st) == 0 && SameFile(st, rootStat)) {
        root = cached.root;
        return kErrorSuccess;
    }
    char buf[PATH_MAX];
    if (!realpath(entry.c_str(), buf) || stat(buf, &rootStat) != 0 || !S_ISDIR(rootStat.st_mode)) {
        cached.known = false;
        return kErrorNotReady;
    }
    // Listings cached under the old or the new folder were reached through paths that
    // have changed.
    if (cached.known) detail::ForgetFolderTree(cached.root);
    detail::ForgetFolderTree(buf);
    cached = {buf, rootStat.st_dev, rootStat.st_ino, true};
    root = cached.root;
    return kErrorSuccess;
}

std::string detail::DriveTarget(char letter) {
    std::string root;
    struct stat st;
    return DriveRoot(letter, root, st) == kErrorSuccess ? root : std::string();
}

const std::string& PrefixDir() {
    std::lock_guard lock(gStateMutex);
    if (gPrefix.empty()) {
        const char* env = std::getenv("MORVAN_PREFIX");
        gPrefix = (env && *env) ? std::string(env) : HomeDir() + "/.morvan";
        if (gPrefix.size() > 1 && gPrefix.back() == '/') gPrefix.pop_back();
    }
    return gPrefix;
}

void ResetPrefixForTesting() {
    {
        std::lock_guard lock(gStateMutex);
        gPrefix.clear();
        gCurrentDir.clear();
    }
    {
        std::lock_guard lock(gDriveMutex);
        for (auto& drive : gDriveRoots) drive = {};
    }
    detail::ClearDirectoryCache();
}

std::string DriveEntryPath(char letter) {
    char lower = static_cast<char>(detail::UpperDriveLetter(letter) + 0x20);
    return PrefixDir() + "/dosdevices/" + lower + ":";
}

WinError DriveState(char letter) {
    if (!detail::IsDriveLetter(letter)) return kErrorPathNotFound;
    std::string entry = DriveEntryPath(letter);
    struct stat st;
    if (lstat(entry.c_str(), &st) != 0) return kErrorPathNotFound;
    if (stat(entry.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrorNotReady;
    return kErrorSuccess;
}

std::vector<char> ListDrives() {
    std::vector<char> drives;
    std::string dir = PrefixDir() + "/dosdevices";
    DIR* d = opendir(dir.c_str());
    if (!d) return drives;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name.size() == 2 && name[1] == ':' && detail::IsDriveLetter(name[0]))
            drives.push_back(detail::UpperDriveLetter(name[0]));
    }
    closedir(d);
    std::sort(drives.begin(), drives.end());
    return drives;
}

WinError MapDrive(char letter, const std::string& hostDir) {
    if (!detail::IsDriveLetter(letter) || hostDir.empty()) return kErrorInvalidParameter;
    std::string devices = PrefixDir() + "/dosdevices";
    if (mkdir(PrefixDir().c_str(), 0777) != 0 && errno != EEXIST)
        return detail::ErrnoToWinError(errno);
    if (mkdir(devices.c_str(), 0777) != 0 && errno != EEXIST) return detail::ErrnoToWinError(errno);
    std::string entry = DriveEntryPath(letter);
    struct stat st;
    if (lstat(entry.c_str(), &st) == 0) {
        int rc = S_ISDIR(st.st_mode) ? rmdir(entry.c_str()) : unlink(entry.c_str());
        if (rc != 0)
            return errno == ENOTEMPTY ? kErrorAccessDenied : detail::ErrnoToWinError(errno);
    }
    std::string target = hostDir[0] == '/' ? hostDir : detail::NormalizeHost(hostDir);
    if (symlink(target.c_str(), entry.c_str()) != 0) return detail::ErrnoToWinError(errno);
    return kErrorSuccess;
}

WinError UnmapDrive(char letter) {
    if (!detail::IsDriveLetter(letter)) return kErrorInvalidParameter;
    std::string entry = DriveEntryPath(letter);
    struct stat st;
    if (lstat(entry.c_str(), &st) != 0) return kErrorPathNotFound;
    // A drive kept as a real folder is only unmapped when empty: its files live there.
    int rc = S_ISDIR(st.st_mode) ? rmdir(entry.c_str()) : unlink(entry.c_str());
    if (rc != 0) return errno == ENOTEMPTY ? kErrorDirNotEmpty : detail::ErrnoToWinError(errno);
    return kErrorSuccess;
}

std::string GetCurrentDirectoryW() {
    {
        std::lock_guard lock(gStateMutex);
        if (!gCurrentDir.empty()) return gCurrentDir;
    }
    // First use: the host's working directory under its Windows name.
    std::string derived = ToWindowsPath(detail::HostWorkingDir());
    std::lock_guard lock(gStateMutex);
    if (gCurrentDir.empty()) gCurrentDir = derived;
    return gCurrentDir;
}

WinError SetCurrentDirectoryW(std::string_view windowsPath) {
    detail::ResolvedPath resolved;
    WinError rc = detail::ResolvePath(windowsPath, resolved);
    if (rc != kErrorSuccess) return rc;
    struct stat st;
    if (stat(resolved.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return kErrorPathNotFound;
    std::lock_guard lock(gStateMutex);
    if (chdir(resolved.host.c_str()) != 0) return detail::ErrnoToWinError(errno);
    gCurrentDir = resolved.windows;
    return kErrorSuccess;
}

std::string GetWindowsDirectoryW() { return "C:\\WINDOWS"; }

std::string GetModuleFileNameW() {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return ToWindowsPath(std::string_view(buf, static_cast<std::size_t>(n)));
}

}  // namespace platform
