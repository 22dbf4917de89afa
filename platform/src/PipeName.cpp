// Pipe names and where their sockets live.
//
// "\\.\PIPE\DBGPRT\PDMMON" is the socket $MORVAN_PREFIX/pipes/DBGPRT/PDMMON. Each
// component is looked up without regard to case among the folder's entries, through the
// same cached, change-watched lookup that file paths use, so "\\.\pipe\dbman" reaches
// the socket a server made as "DBMAN". Components are checked before they reach the
// host: "." and ".." would lead out of the pipes folder, and an empty component has no
// file name.
//
// The host limits a socket path to sizeof(sun_path) = 108 bytes, which a prefix in a
// deep folder easily exceeds. A path that is too long is reached through
// "/proc/self/fd/<n>" of an O_PATH descriptor of the socket file: that short path names
// the same inode, works from any thread (unlike chdir), and has no length limit on the
// real path behind it.
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "ErrnoError.h"
#include "HostPath.h"
#include "PipeSocket.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace platform {

namespace detail {

namespace {

// "\PIPE\<name>" with the leading "\\<server>" already taken off: the name part.
WinError PipePart(std::string_view rest, std::string_view& name) {
    if (rest.empty() || rest[0] != '\\') return kErrorFileNotFound;
    std::size_t end = FindCharDbcs(rest, '\\', 1);
    if (end == std::string_view::npos || !EqualsNoCase(rest.substr(1, end - 1), "PIPE")) {
        return kErrorFileNotFound;
    }
    name = rest.substr(end + 1);
    return kErrorSuccess;
}

}  // namespace

WinError SplitPipeName(std::string_view pipeName, std::vector<std::string>& parts) {
    parts.clear();
    if (pipeName.size() > kMaxPipeNameBytes || !IsValidCp932(pipeName)) return kErrorInvalidName;
    std::string_view rest = pipeName;
    if (rest.size() >= 2 && rest[0] == '\\' && rest[1] == '\\') {
        std::size_t end = FindCharDbcs(rest, '\\', 2);
        if (end == std::string_view::npos) return kErrorFileNotFound;
        // Only the local machine has pipes.
        if (rest.substr(2, end - 2) != ".") return kErrorFileNotFound;
        rest = rest.substr(end);
    }
    std::string_view name;
    if (WinError e = PipePart(rest, name); e != kErrorSuccess) return e;
    if (name.empty()) return kErrorInvalidName;

    std::string utf8;
    for (std::size_t pos = 0;;) {
        std::size_t end = FindCharDbcs(name, '\\', pos);
        std::string_view part = name.substr(pos, end == std::string_view::npos ? end : end - pos);
        if (part.empty() || part == "." || part == "..") return kErrorInvalidName;
        // "/" and NUL are plain bytes in code page 932 (never a trail byte) but cut or
        // end a host name.
        if (part.find('/') != std::string_view::npos || part.find('\0') != std::string_view::npos) {
            return kErrorInvalidName;
        }
        if (!Cp932ToUtf8(part, utf8) || utf8.size() > NAME_MAX) return kErrorInvalidName;
        parts.emplace_back(part);
        if (end == std::string_view::npos) break;
        pos = end + 1;
    }
    return kErrorSuccess;
}

WinError LocatePipe(std::string_view pipeName, PipeLocation& location) {
    std::vector<std::string> parts;
    if (WinError e = SplitPipeName(pipeName, parts); e != kErrorSuccess) return e;
    location.root = JoinHost(PrefixDir(), "pipes");
    struct stat rootStat;
    location.rootExists = stat(location.root.c_str(), &rootStat) == 0 && S_ISDIR(rootStat.st_mode);
    if (location.rootExists) {
        ResolvedPath resolved;
        if (WinError e = ResolveBelow(location.root, rootStat, parts, false, resolved);
            e != kErrorSuccess) {
            return e;
        }
        location.host = std::move(resolved.host);
        return kErrorSuccess;
    }
    // No pipe exists yet: the names as written.
    location.host = location.root;
    std::string utf8;
    for (const auto& part : parts) {
        if (!Cp932ToUtf8(part, utf8)) return kErrorInvalidName;
        location.host = JoinHost(location.host, utf8);
    }
    return kErrorSuccess;
}

bool FillSocketAddress(const std::string& path, sockaddr_un& addr, socklen_t& length) {
    addr = {};
    addr.sun_family = AF_UNIX;
    // Room for the terminating NUL, so the path reads back as a plain string too.
    if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
    std::memcpy(addr.sun_path, path.data(), path.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() + 1);
    return true;
}

int ConnectToPath(int fd, const std::string& hostPath) {
    sockaddr_un addr;
    socklen_t length = 0;
    UniqueFd target;
    if (!FillSocketAddress(hostPath, addr, length)) {
        target.Reset(open(hostPath.c_str(), O_PATH | O_CLOEXEC));
        if (!target) return errno;
        char shortPath[32];
        std::snprintf(shortPath, sizeof shortPath, "/proc/self/fd/%d", target.Get());
        if (!FillSocketAddress(shortPath, addr, length)) return ENAMETOOLONG;
    }
    while (connect(fd, reinterpret_cast<const sockaddr*>(&addr), length) != 0) {
        // An interrupted connect goes on in the kernel; asking again reports how it ended.
        if (errno == EINTR) continue;
        if (errno == EISCONN) return 0;
        return errno;
    }
    return 0;
}

WinError ConnectErrorToWinError(int err) {
    switch (err) {
        case ENOENT:
        case ENOTDIR:
        case ECONNREFUSED:  // a socket file nobody listens on: its server is gone
        case ENOTSOCK:
        case EPROTOTYPE:
            return kErrorFileNotFound;
        case EAGAIN:
            return kErrorPipeBusy;
        case ENAMETOOLONG:
            return kErrorInvalidName;
        default:
            return ErrnoToWinError(err);
    }
}

}  // namespace detail

WinError PipeHostPath(std::string_view pipeName, std::string& hostPath) {
    detail::PipeLocation location;
    if (WinError e = detail::LocatePipe(pipeName, location); e != kErrorSuccess) return e;
    hostPath = std::move(location.host);
    return kErrorSuccess;
}

}  // namespace platform
