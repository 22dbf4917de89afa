// Comparing two paths by the host file they reach.
//
// stat() follows links, so a link and its target, or two drives mapped onto one folder,
// give the same device and inode; that is exactly the case a name comparison misses.
#include "platform/FileIdentity.h"

#include <sys/stat.h>

#include "HostPath.h"

namespace platform {

namespace {

// 0 and the file's stat, or 0 with `exists` false when it is missing; else the error of
// the resolution.
WinError StatOf(std::string_view path, struct stat& st, bool& exists) {
    exists = false;
    detail::ResolvedPath resolved;
    if (WinError rc = detail::ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (resolved.known == detail::PathKnown::MissingFile ||
        resolved.known == detail::PathKnown::MissingPath) {
        return kErrorSuccess;
    }
    exists = ::stat(resolved.host.c_str(), &st) == 0;
    return kErrorSuccess;
}

}  // namespace

WinError SameFile(std::string_view a, std::string_view b, bool& same) {
    same = false;
    struct stat first {};
    struct stat second {};
    bool firstExists = false;
    bool secondExists = false;
    if (WinError rc = StatOf(a, first, firstExists); rc != kErrorSuccess) return rc;
    if (WinError rc = StatOf(b, second, secondExists); rc != kErrorSuccess) return rc;
    same = firstExists && secondExists && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
    return kErrorSuccess;
}

}  // namespace platform
