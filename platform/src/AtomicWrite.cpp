// Atomic replacement of a host file: temporary file beside it, fsync, rename, then
// fsync of the folder so the new name is durable too.
#include "platform/AtomicWrite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/UniqueFd.h"

namespace platform {

namespace {

WinError IoError(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR: return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EROFS: return kErrorAccessDenied;
        case ENOSPC:
        case EDQUOT: return kErrorDiskFull;
        default: return kErrorGenFailure;
    }
}

std::string FolderOf(const std::string& path) {
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

WinError WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return IoError(errno);
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return kErrorSuccess;
}

WinError AtomicWriteFileWith(const std::string& hostPath, const std::function<WinError(int fd)>& produce,
                             unsigned mode) {
    // mkstemp gives a name nobody else holds, so two writers of the same file never
    // write into one temporary file; the last rename wins whole.
    std::string temp = hostPath + ".tmpXXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (!fd) return IoError(errno);
    WinError rc = kErrorSuccess;
    mode_t mask = ::umask(0);
    ::umask(mask);
    if (::fchmod(fd.Get(), static_cast<mode_t>(mode) & ~mask) != 0) rc = IoError(errno);
    if (rc == kErrorSuccess) rc = produce(fd.Get());
    if (rc == kErrorSuccess && ::fsync(fd.Get()) != 0) rc = IoError(errno);
    if (rc == kErrorSuccess && ::close(fd.Release()) != 0) rc = IoError(errno);
    if (rc == kErrorSuccess && ::rename(temp.c_str(), hostPath.c_str()) != 0) rc = IoError(errno);
    if (rc != kErrorSuccess) {
        ::unlink(temp.c_str());
        return rc;
    }
    // The rename is durable only once the folder's entry is on the disk.
    UniqueFd dir(::open(FolderOf(hostPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) (void)::fsync(dir.Get());  // best effort: some file systems refuse fsync on a folder
    return kErrorSuccess;
}

WinError AtomicWriteFile(const std::string& hostPath, std::string_view contents, unsigned mode) {
    return AtomicWriteFileWith(hostPath, [contents](int fd) { return WriteAll(fd, contents); }, mode);
}

}  // namespace platform
