// Exclusive creation of a new file by Windows path.
//
// The existence test must not be separate from the creation: between a "does it exist?"
// and a later create, another process may take the same name, and both would then
// believe the file is theirs. O_CREAT|O_EXCL makes the host decide both in one step.
#include "platform/ExclusiveCreate.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "ErrnoError.h"
#include "HostPath.h"
#include "platform/UniqueFd.h"

namespace platform {

WinError CreateNewFile(std::string_view path) {
    detail::ResolvedPath resolved;
    if (WinError rc = detail::ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (resolved.known == detail::PathKnown::MissingPath) return kErrorPathNotFound;
    if (resolved.isDriveRoot || resolved.known == detail::PathKnown::Folder)
        return kErrorFileExists;
    // O_EXCL also refuses a link, dangling or not: the name is taken either way.
    UniqueFd fd(open(resolved.host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.Valid()) return kErrorSuccess;
    switch (errno) {
        case EEXIST:
            return kErrorFileExists;
        case ENOENT:
        case ENOTDIR:
            return kErrorPathNotFound;
        default:
            return detail::ErrnoToWinError(errno);
    }
}

}  // namespace platform
