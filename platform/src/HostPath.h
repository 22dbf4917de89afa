// Internal helpers shared by the platform sources: resolving a Windows path to the
// host (HostPath.cpp), the drives it starts from (Prefix.cpp) and the case-insensitive
// directory lookup behind it (DirectoryCache.cpp). The errno translation that
// goes with them lives in ErrnoError.h, included here for the sources that use both.
// Not part of the platform's public interface.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "ErrnoError.h"
#include "platform/WinError.h"

namespace platform::detail {

// What the walk already knows about the path it resolved, from listings that were
// current at that moment (so a caller may answer without asking the host again).
enum class PathKnown : unsigned char {
    Nothing,      // no current listing covered it: ask the host
    Folder,       // a real folder (not a link)
    MissingFile,  // its folder is a real folder that lacks the last component (Windows 2)
    MissingPath,  // a folder above it is missing (Windows 3)
};

// A Windows path resolved against the prefix.
struct ResolvedPath {
    std::string windows;  // full Windows path ("X:\A\B"), code page 932
    std::string host;     // host path, UTF-8
    char drive = 0;       // upper-case drive letter
    bool isDriveRoot = false;
    PathKnown known = PathKnown::Nothing;
    // With a listing asked for and `known` Folder: the host names in the folder (no
    // "." and ".."), current as of the walk.
    bool listed = false;
    std::vector<std::string> listing;
};

// Full resolution as ToHostPath does it, keeping the pieces callers need. With
// `wantListing` the entries of the folder the path names are filled in when a
// current listing of it can be kept.
[[nodiscard]] WinError ResolvePath(std::string_view windowsPath, ResolvedPath& out,
                                   bool wantListing = false);

// Walks the code page 932 components `parts` down from the existing host folder `root`
// (a drive's canonical folder; `rootStat` is its stat() taken just now) and fills
// `out.host`: each existing component under its host name (the exact name first, else
// a case-insensitive match), and from the first missing one on the names as written, in
// UTF-8; also `out.known` and, with `wantListing`, `out.listed` / `out.listing`.
// 0, or 123 when a component has no UTF-8 form. Thread-safe. The listings behind
// it are kept current by the kernel's change events, so an answer is never stale, also
// when another process changed the folders (DirectoryCache.cpp).
[[nodiscard]] WinError ResolveBelow(const std::string& root, const struct stat& rootStat,
                                    const std::vector<std::string>& parts, bool wantListing,
                                    ResolvedPath& out);
// Looks up `cp932Name` case-insensitively among the entries of the host folder `dir`;
// fills the host name of the entry found. Every answer is checked against the folder.
[[nodiscard]] bool FindEntryNoCase(const std::string& dir, std::string_view cp932Name,
                                   std::string& hostName);
// Forgets the cached listings of `dir` and of every folder below it.
void ForgetFolderTree(const std::string& dir);
// Forgets every cached listing.
void ClearDirectoryCache();
// How many folders are cached under a change watch (tests check the fallback with it).
[[nodiscard]] std::size_t WatchedFolderCountForTesting();

// The canonical host folder of a drive and its stat(): 0, or 3 (no such drive) / 21 (its
// target is missing), as DriveState() gives them. Kept per drive and checked with two
// stat() calls (Prefix.cpp). DriveTarget is the folder alone ("" on failure).
[[nodiscard]] WinError DriveRoot(char letter, std::string& root, struct stat& rootStat);
[[nodiscard]] std::string DriveTarget(char letter);

// Drive letters: A-Z in either case, and the upper-case form.
[[nodiscard]] inline bool IsDriveLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
[[nodiscard]] inline char UpperDriveLetter(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

// The host's working directory ("/" when it cannot be read).
[[nodiscard]] std::string HostWorkingDir();
// Lexically normalised absolute host path (relative paths are taken from the working
// directory; "." and ".." applied, repeated "/" collapsed).
[[nodiscard]] std::string NormalizeHost(std::string_view path);

// "dir" + "/" + "name", without doubling the separator after "/".
[[nodiscard]] std::string JoinHost(const std::string& dir, const std::string& name);
// The host folder holding `hostPath` ("/" for top-level names).
[[nodiscard]] std::string HostParent(const std::string& hostPath);
// The last component of a host path.
[[nodiscard]] std::string HostBaseName(const std::string& hostPath);

// 2 when the folder holding `hostPath` exists (only the file is missing), else 3.
[[nodiscard]] WinError MissingPathError(const std::string& hostPath);

// File systems whose every change passes through this machine's kernel, and so raises
// its inotify events (`type` as statfs() gives it). Network and FUSE file systems are
// not: another machine can change them unseen.
[[nodiscard]] bool IsLocalFileSystem(long type);

// True when the owner write bit is cleared: the file's read-only attribute. Checked by
// hand because the tests (and often the demo) run as root, who may write anyway.
[[nodiscard]] inline bool IsReadOnlyMode(const struct stat& st) {
    return (st.st_mode & S_IWUSR) == 0;
}

}  // namespace platform::detail
