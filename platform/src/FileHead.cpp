// Reading the head of a file.
//
// Callers that only look at a file's first block (a format version, a head record)
// must not read a file of many megabytes whole; this reads up to the count asked for
// and stops, as one fread of that size does.
#include "platform/FileHead.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "ErrnoError.h"
#include "HostPath.h"
#include "platform/UniqueFd.h"

namespace platform {

WinError OpenPlainFileForReading(std::string_view path, UniqueFd& fd) {
    fd.Reset();
    detail::ResolvedPath resolved;
    if (WinError rc = detail::ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (resolved.known == detail::PathKnown::MissingFile) return kErrorFileNotFound;
    if (resolved.known == detail::PathKnown::MissingPath) return kErrorPathNotFound;
    UniqueFd opened(open(resolved.host.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!opened.Valid()) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) return detail::MissingPathError(resolved.host);
        return detail::ErrnoToWinError(err);
    }
    // A folder opens on the host but not on Windows, where opening it as a file fails.
    // Nor is anything else but a plain file read: a FIFO or a device could block the
    // reader (hence the non-blocking open) or never end.
    struct stat st;
    if (fstat(opened.Get(), &st) != 0) return detail::ErrnoToWinError(errno);
    if (!S_ISREG(st.st_mode)) return kErrorAccessDenied;
    fd = std::move(opened);
    return kErrorSuccess;
}

WinError ReadFileHead(std::string_view path, std::size_t maxBytes, std::string& head) {
    head.clear();
    UniqueFd fd;
    if (WinError rc = OpenPlainFileForReading(path, fd); rc != kErrorSuccess) return rc;

    // Read in pieces, so that a large `maxBytes` costs memory only for what the file has.
    char buffer[8192];
    while (head.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buffer, maxBytes - head.size());
        const ssize_t n = read(fd.Get(), buffer, want);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;  // end of file, or a read error: a short read either way
        head.append(buffer, static_cast<std::size_t>(n));
    }
    return kErrorSuccess;
}

}  // namespace platform
