// Internal helpers shared by the platform sources: resolving a Windows path to the
// host, the case-insensitive directory lookup behind it, and errno translation.
// Not part of the platform's public interface.
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "platform/WinError.h"

namespace platform::detail {

// A Windows path resolved against the prefix.
struct ResolvedPath {
    std::string windows;  // full Windows path ("X:\A\B"), code page 932
    std::string host;     // host path, UTF-8
    char drive = 0;       // upper-case drive letter
    bool isDriveRoot = false;
};

// Full resolution as ToHostPath does it, keeping the pieces callers need.
WinError ResolvePath(std::string_view windowsPath, ResolvedPath& out);

// Looks up `cp932Name` case-insensitively among the entries of the host folder `dir`;
// fills the host name of the entry found. Thread-safe; backed by a listing cache that
// is checked against the folder before any answer is given.
bool FindEntryNoCase(const std::string& dir, std::string_view cp932Name, std::string& hostName);
// Forgets every cached listing.
void ClearDirectoryCache();

// "dir" + "/" + "name", without doubling the separator after "/".
std::string JoinHost(const std::string& dir, const std::string& name);
// The host folder holding `hostPath` ("/" for top-level names).
std::string HostParent(const std::string& hostPath);
// The last component of a host path.
std::string HostBaseName(const std::string& hostPath);

// Windows error for an errno value of a file operation.
WinError ErrnoToWinError(int err);
// 2 when the folder holding `hostPath` exists (only the file is missing), else 3.
WinError MissingPathError(const std::string& hostPath);

// True when the owner write bit is cleared: the file's read-only attribute. Checked by
// hand because the tests (and often the demo) run as root, who may write anyway.
inline bool IsReadOnlyMode(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

}  // namespace platform::detail
