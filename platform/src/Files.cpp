// Files and directories by Windows path.
//
// Every operation resolves its path through the prefix (HostPath.h) and then works on
// the host file. Windows semantics that the host lacks are added by hand: read-only is
// the owner write bit and is enforced here even for root, "missing file" (2) is told
// apart from "missing folder" (3), and copies replace an existing target atomically
// (AtomicWrite.h).
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "ErrnoError.h"
#include "HostPath.h"
#include "platform/AtomicWrite.h"
#include "platform/Cp932.h"
#include "platform/UniqueFd.h"

namespace platform {

using detail::ErrnoToWinError;
using detail::IsReadOnlyMode;
using detail::MissingPathError;
using detail::ResolvedPath;
using detail::ResolvePath;

namespace {

// 2 or 3 when the walk already saw that the path does not exist, else 0.
WinError KnownMissing(const ResolvedPath& resolved) {
    switch (resolved.known) {
        case detail::PathKnown::MissingFile:
            return kErrorFileNotFound;
        case detail::PathKnown::MissingPath:
            return kErrorPathNotFound;
        default:
            return kErrorSuccess;
    }
}

// Resolves `path` and stats the result (following links). `rc` is 0 with `st` filled,
// or the Windows error for a missing or unreachable file.
WinError ResolveAndStat(std::string_view path, ResolvedPath& resolved, struct stat& st) {
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (WinError rc = KnownMissing(resolved); rc != kErrorSuccess) return rc;
    if (stat(resolved.host.c_str(), &st) != 0) {
        return (errno == ENOENT || errno == ENOTDIR) ? MissingPathError(resolved.host)
                                                     : ErrnoToWinError(errno);
    }
    return kErrorSuccess;
}

std::uint32_t AttributesOf(const std::string& hostPath, const struct stat& st, bool isDriveRoot) {
    std::uint32_t attrs = 0;
    if (S_ISDIR(st.st_mode)) {
        attrs |= kAttrDirectory;
    } else {
        attrs |= kAttrArchive;
    }
    if (IsReadOnlyMode(st)) attrs |= kAttrReadOnly;
    if (!isDriveRoot && detail::HostBaseName(hostPath).starts_with('.')) attrs |= kAttrHidden;
    return attrs;
}

// Copies the bytes of `in` to `out`: in the kernel where the file systems allow it,
// else through a buffer. 0 or the Windows code of the failure.
WinError CopyBytes(int in, int out) {
    bool anyCopied = false;
    while (true) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n > 0) {
            anyCopied = true;
            continue;
        }
        if (n == 0 && anyCopied) return kErrorSuccess;
        if (n < 0 && errno == EINTR) continue;
        // Nothing copied yet: refused across file systems or by this file system, or a
        // file whose size says nothing (procfs, a pipe). The plain loop decides.
        if (n < 0 && anyCopied) return ErrnoToWinError(errno);
        break;
    }
    char buffer[65536];
    while (true) {
        ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ErrnoToWinError(errno);
        if (n == 0) return kErrorSuccess;
        if (WinError rc = WriteAll(out, std::string_view(buffer, static_cast<std::size_t>(n)));
            rc != kErrorSuccess) {
            return rc;
        }
    }
}

// Fills the new file `out` as a copy of `in`: the bytes, the source's permission bits
// (exactly, whatever the umask) and its modification time.
WinError FillCopy(int in, int out, const struct stat& srcSt) {
    if (WinError rc = CopyBytes(in, out); rc != kErrorSuccess) return rc;
    const struct timespec times[2] = {srcSt.st_atim, srcSt.st_mtim};
    if (fchmod(out, srcSt.st_mode & 0777) != 0 || futimens(out, times) != 0)
        return ErrnoToWinError(errno);
    return kErrorSuccess;
}

// Checks that `resolved` may be written as a file: 5 for a directory or a read-only
// file, 3 when its folder is missing; 0 also when it does not exist yet.
WinError CheckWritableTarget(const ResolvedPath& resolved) {
    if (resolved.known == detail::PathKnown::MissingFile) return kErrorSuccess;
    if (resolved.known == detail::PathKnown::MissingPath) return kErrorPathNotFound;
    struct stat st;
    if (stat(resolved.host.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || IsReadOnlyMode(st)) return kErrorAccessDenied;
        return kErrorSuccess;
    }
    if (MissingPathError(resolved.host) == kErrorPathNotFound) return kErrorPathNotFound;
    return kErrorSuccess;
}

WinError WriteOpen(std::string_view path, std::string_view contents, int flags) {
    ResolvedPath resolved;
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (WinError rc = CheckWritableTarget(resolved); rc != kErrorSuccess) return rc;
    UniqueFd fd(open(resolved.host.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0666));
    if (!fd) return ErrnoToWinError(errno);
    if (WinError rc = WriteAll(fd.Get(), contents); rc != kErrorSuccess) return rc;
    // A write the file system defers can still fail here (a full network disk).
    if (close(fd.Release()) != 0) return ErrnoToWinError(errno);
    return kErrorSuccess;
}

}  // namespace

WinError GetFileAttributesW(std::string_view path, std::uint32_t& attributes) {
    ResolvedPath resolved;
    struct stat st;
    if (WinError rc = ResolveAndStat(path, resolved, st); rc != kErrorSuccess) return rc;
    attributes = AttributesOf(resolved.host, st, resolved.isDriveRoot);
    struct stat own;
    if (!resolved.isDriveRoot && lstat(resolved.host.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) {
        attributes |= kAttrReparsePoint;
    }
    return kErrorSuccess;
}

namespace {

// Whether `path` exists (following links) and is a folder; `known` from the walk
// answers without asking the host.
bool ExistsAs(std::string_view path, bool& isFolder) {
    ResolvedPath resolved;
    if (ResolvePath(path, resolved) != kErrorSuccess) return false;
    switch (resolved.known) {
        case detail::PathKnown::Folder:
            isFolder = true;
            return true;
        case detail::PathKnown::MissingFile:
        case detail::PathKnown::MissingPath:
            return false;
        case detail::PathKnown::Nothing:
            break;
    }
    struct stat st;
    if (stat(resolved.host.c_str(), &st) != 0) return false;
    isFolder = S_ISDIR(st.st_mode);
    return true;
}

}  // namespace

bool PathExists(std::string_view path) {
    bool isFolder = false;
    return ExistsAs(path, isFolder);
}

bool FileExists(std::string_view path) {
    bool isFolder = false;
    return ExistsAs(path, isFolder) && !isFolder;
}

bool DirectoryExists(std::string_view path) {
    bool isFolder = false;
    return ExistsAs(path, isFolder) && isFolder;
}

WinError SetReadOnly(std::string_view path, bool readOnly) {
    ResolvedPath resolved;
    struct stat st;
    if (WinError rc = ResolveAndStat(path, resolved, st); rc != kErrorSuccess) return rc;
    mode_t mode = st.st_mode & 07777;
    // Read-only clears every write bit (so the file is read-only for everyone, as on
    // Windows); clearing it gives the owner write access back.
    mode = readOnly ? (mode & ~static_cast<mode_t>(0222)) : (mode | S_IWUSR);
    if (mode == (st.st_mode & 07777)) return kErrorSuccess;
    if (chmod(resolved.host.c_str(), mode) != 0) return ErrnoToWinError(errno);
    return kErrorSuccess;
}

WinError CopyFileW(std::string_view source, std::string_view target, bool failIfExists) {
    ResolvedPath src, dst;
    if (WinError rc = ResolvePath(source, src); rc != kErrorSuccess) return rc;
    if (WinError rc = KnownMissing(src); rc != kErrorSuccess) return rc;
    UniqueFd in(open(src.host.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) {
        return (errno == ENOENT || errno == ENOTDIR) ? MissingPathError(src.host)
                                                     : ErrnoToWinError(errno);
    }
    struct stat srcSt;
    if (fstat(in.Get(), &srcSt) != 0) return ErrnoToWinError(errno);
    if (S_ISDIR(srcSt.st_mode)) return kErrorAccessDenied;
    if (WinError rc = ResolvePath(target, dst); rc != kErrorSuccess) return rc;

    // A new target is written under its own name: until the copy is complete no file of
    // that name existed, and a failed copy is removed again, so nothing is lost.
    // No fsync: a new file is as durable as any other write of the installer.
    UniqueFd out(open(dst.host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out) {
        WinError result = FillCopy(in.Get(), out.Get(), srcSt);
        if (close(out.Release()) != 0 && result == kErrorSuccess) result = ErrnoToWinError(errno);
        if (result != kErrorSuccess)
            (void)unlink(dst.host.c_str());  // the copy's failure is what counts
        return result;
    }
    if (errno == ENOENT || errno == ENOTDIR) return kErrorPathNotFound;
    if (errno != EEXIST) return ErrnoToWinError(errno);

    if (failIfExists) return kErrorFileExists;
    // (A dangling link fails stat(); the rename below replaces the link.)
    struct stat dstSt;
    if (stat(dst.host.c_str(), &dstSt) == 0) {
        if (S_ISDIR(dstSt.st_mode) || IsReadOnlyMode(dstSt)) return kErrorAccessDenied;
        if (dstSt.st_dev == srcSt.st_dev && dstSt.st_ino == srcSt.st_ino)
            return kErrorSharingViolation;
    }
    // A medium mounted read-only refuses as a write-protected disk does; the
    // replacement below would only say "denied".
    if (access(detail::HostParent(dst.host).c_str(), W_OK) != 0 && errno == EROFS)
        return kErrorWriteProtect;
    // An existing target (an installed file being replaced) is only ever the old file
    // or the complete new one: the copy is written beside it and renamed over it.
    return AtomicWriteFileWith(
        dst.host, [&](int fd) { return FillCopy(in.Get(), fd, srcSt); }, srcSt.st_mode & 0777);
}

WinError DeleteFileW(std::string_view path) {
    ResolvedPath resolved;
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (WinError rc = KnownMissing(resolved); rc != kErrorSuccess) return rc;
    struct stat st;
    if (lstat(resolved.host.c_str(), &st) != 0) return MissingPathError(resolved.host);
    if (S_ISDIR(st.st_mode)) return kErrorAccessDenied;
    if (!S_ISLNK(st.st_mode) && IsReadOnlyMode(st)) return kErrorAccessDenied;
    if (unlink(resolved.host.c_str()) != 0) return ErrnoToWinError(errno);
    return kErrorSuccess;
}

WinError CreateDirectoryW(std::string_view path) {
    ResolvedPath resolved;
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (resolved.isDriveRoot) return kErrorAlreadyExists;
    if (mkdir(resolved.host.c_str(), 0777) != 0) {
        if (errno == EEXIST) return kErrorAlreadyExists;
        if (errno == ENOENT || errno == ENOTDIR) return kErrorPathNotFound;
        return ErrnoToWinError(errno);
    }
    return kErrorSuccess;
}

WinError CreateDirectoryTree(std::string_view path) {
    ResolvedPath resolved;
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    // The resolved host path already holds the existing folders under their host
    // names; create what is missing from the top down.
    if (resolved.known == detail::PathKnown::Folder) return kErrorSuccess;  // the usual case
    const std::string& host = resolved.host;
    struct stat whole;
    if (stat(host.c_str(), &whole) == 0 && S_ISDIR(whole.st_mode))
        return kErrorSuccess;  // the usual case
    for (std::size_t pos = 1; pos <= host.size(); ++pos) {
        if (pos != host.size() && host[pos] != '/') continue;
        std::string prefix = host.substr(0, pos);
        struct stat st;
        if (stat(prefix.c_str(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return pos == host.size() ? kErrorAlreadyExists : kErrorPathNotFound;
            continue;
        }
        if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return ErrnoToWinError(errno);
    }
    return kErrorSuccess;
}

WinError RemoveDirectoryW(std::string_view path) {
    ResolvedPath resolved;
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    struct stat st;
    if (lstat(resolved.host.c_str(), &st) != 0) return MissingPathError(resolved.host);
    if (S_ISLNK(st.st_mode)) {
        // A link to a folder goes as a link; what it leads to stays untouched.
        struct stat target;
        if (stat(resolved.host.c_str(), &target) != 0 || !S_ISDIR(target.st_mode))
            return kErrorDirectory;
        if (unlink(resolved.host.c_str()) != 0) return ErrnoToWinError(errno);
        return kErrorSuccess;
    }
    if (!S_ISDIR(st.st_mode)) return kErrorDirectory;
    if (rmdir(resolved.host.c_str()) != 0) {
        if (errno == ENOTEMPTY || errno == EEXIST) return kErrorDirNotEmpty;
        return ErrnoToWinError(errno);
    }
    return kErrorSuccess;
}

WinError MoveFileW(std::string_view source, std::string_view target) {
    ResolvedPath src, dst;
    struct stat srcSt;
    if (WinError rc = ResolveAndStat(source, src, srcSt); rc != kErrorSuccess) return rc;
    if (WinError rc = ResolvePath(target, dst); rc != kErrorSuccess) return rc;
    std::string dstHost = dst.host;
    if (dstHost == src.host) {
        // A rename that only changes case: the target resolved to the source itself;
        // rename to the name as written.
        std::string last = dst.windows.substr(FindLastCharDbcs(dst.windows, '\\') + 1);
        std::string utf8;
        if (!Cp932ToUtf8(last, utf8)) return kErrorInvalidName;
        dstHost = detail::JoinHost(detail::HostParent(src.host), utf8);
        if (dstHost == src.host) return kErrorSuccess;
    }
    struct stat dstSt;
    if (stat(dstHost.c_str(), &dstSt) == 0) {
        if (S_ISDIR(dstSt.st_mode) || S_ISDIR(srcSt.st_mode)) return kErrorAlreadyExists;
        if (IsReadOnlyMode(dstSt)) return kErrorAccessDenied;
    } else if (MissingPathError(dstHost) == kErrorPathNotFound) {
        return kErrorPathNotFound;
    }
    if (rename(src.host.c_str(), dstHost.c_str()) == 0) return kErrorSuccess;
    if (errno != EXDEV) return ErrnoToWinError(errno);
    // Across file systems (another drive): a file is copied and the source deleted.
    if (S_ISDIR(srcSt.st_mode)) return kErrorNotSameDevice;
    if (WinError rc = CopyFileW(source, target, false); rc != kErrorSuccess) return rc;
    if (unlink(src.host.c_str()) != 0) return ErrnoToWinError(errno);
    return kErrorSuccess;
}

WinError GetModificationDate(std::string_view path, std::string& yyyymmdd) {
    ResolvedPath resolved;
    struct stat st;
    if (WinError rc = ResolveAndStat(path, resolved, st); rc != kErrorSuccess) return rc;
    struct tm local;
    time_t t = st.st_mtim.tv_sec;
    if (!localtime_r(&t, &local)) return kErrorInvalidData;
    char buf[16];
    std::strftime(buf, sizeof buf, "%Y%m%d", &local);
    yyyymmdd = buf;
    return kErrorSuccess;
}

WinError SetModificationTime(std::string_view path, std::int64_t unixSeconds) {
    ResolvedPath resolved;
    struct stat st;
    if (WinError rc = ResolveAndStat(path, resolved, st); rc != kErrorSuccess) return rc;
    const struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(unixSeconds), 0}};
    if (utimensat(AT_FDCWD, resolved.host.c_str(), times, 0) != 0) return ErrnoToWinError(errno);
    return kErrorSuccess;
}

WinError OpenOrCreateProbe(std::string_view path) {
    ResolvedPath resolved;
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    struct stat st;
    bool exists = stat(resolved.host.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return kErrorAccessDenied;
    if (!exists) {
        // Creating the file needs a writable medium. A folder without its owner write
        // bit stands for a write-protected disk; checked by hand since root could
        // create the file anyway.
        struct stat dirSt;
        std::string parent = detail::HostParent(resolved.host);
        if (stat(parent.c_str(), &dirSt) != 0 || !S_ISDIR(dirSt.st_mode)) return kErrorPathNotFound;
        if (IsReadOnlyMode(dirSt)) return kErrorWriteProtect;
    }
    UniqueFd fd(open(resolved.host.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666));
    if (fd) return kErrorSuccess;
    // The probe tells a drive's state, so it has only the four answers of its contract:
    // a refusal is a write-protected medium and a missing name a missing folder.
    if (errno == EACCES || errno == EPERM) return kErrorWriteProtect;
    if (errno == ENOENT) return kErrorPathNotFound;
    switch (WinError rc = ErrnoToWinError(errno)) {
        case kErrorWriteProtect:
        case kErrorPathNotFound:
        case kErrorNotReady:
            return rc;
        default:
            return kErrorGenFailure;
    }
}

WinError ReadFileBytes(std::string_view path, std::string& contents) {
    ResolvedPath resolved;
    struct stat st;
    if (WinError rc = ResolveAndStat(path, resolved, st); rc != kErrorSuccess) return rc;
    if (S_ISDIR(st.st_mode)) return kErrorAccessDenied;
    UniqueFd fd(open(resolved.host.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return ErrnoToWinError(errno);
    contents.clear();
    char buffer[65536];
    while (true) {
        ssize_t n = read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ErrnoToWinError(errno);
        if (n == 0) return kErrorSuccess;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

WinError WriteFileBytes(std::string_view path, std::string_view contents) {
    return WriteOpen(path, contents, O_TRUNC);
}

WinError AppendFileBytes(std::string_view path, std::string_view contents) {
    return WriteOpen(path, contents, O_APPEND);
}

WinError ReplaceFileBytes(std::string_view path, std::string_view contents, bool sync) {
    ResolvedPath resolved;
    if (WinError rc = ResolvePath(path, resolved); rc != kErrorSuccess) return rc;
    if (WinError rc = CheckWritableTarget(resolved); rc != kErrorSuccess) return rc;
    // A replaced file keeps its permission bits; a new one gets what WriteFileBytes
    // gives (0666 less the umask).
    unsigned mode = 0666;
    struct stat st;
    if (stat(resolved.host.c_str(), &st) == 0) mode = st.st_mode & 0777;
    WinError rc = AtomicWriteFile(resolved.host, contents, mode, sync);
    // The replacement only knows "denied"; a medium mounted read-only is a
    // write-protected disk to the caller, as for CopyFileW.
    if (rc == kErrorAccessDenied && access(detail::HostParent(resolved.host).c_str(), W_OK) != 0 &&
        errno == EROFS) {
        return kErrorWriteProtect;
    }
    return rc;
}

WinError FlushFileW(std::string_view path) {
    ResolvedPath resolved;
    struct stat st;
    if (WinError rc = ResolveAndStat(path, resolved, st); rc != kErrorSuccess) return rc;
    UniqueFd fd(open(resolved.host.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return ErrnoToWinError(errno);
    // EINVAL: an object that cannot be synced (a pipe, a special file) holds nothing
    // to flush. Any other failure means written data may not be on the disk.
    if (fsync(fd.Get()) != 0 && errno != EINVAL) return kErrorGenFailure;
    if (resolved.isDriveRoot) return kErrorSuccess;
    // The file's name is durable only once its folder is on the disk too.
    UniqueFd dir(
        open(detail::HostParent(resolved.host).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return ErrnoToWinError(errno);
    if (fsync(dir.Get()) != 0 && errno != EINVAL) return kErrorGenFailure;
    return kErrorSuccess;
}

WinError GetFileSizeW(std::string_view path, std::uint64_t& size) {
    ResolvedPath resolved;
    struct stat st;
    if (WinError rc = ResolveAndStat(path, resolved, st); rc != kErrorSuccess) return rc;
    size = S_ISDIR(st.st_mode) ? 0 : static_cast<std::uint64_t>(st.st_size);
    return kErrorSuccess;
}

}  // namespace platform
