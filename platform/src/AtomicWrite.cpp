// Atomic replacement of a host file: temporary file beside it, fsync, rename, then
// fsync of the folder so the new name is durable too. Without `sync` the order alone
// (complete temporary file first, then the rename) keeps a killed writer from leaving
// a truncated file; only the fsyncs, the costly part, are left out.
//
// The temporary file is created by name with O_EXCL and the wanted mode, so the
// kernel applies the process's umask itself: reading the umask means setting it, and
// setting it for a moment would let another thread create its files without one. Its
// name begins with "." (a hidden file on the Windows side), so a directory search that
// runs while a file is being replaced never reports the half-written copy.
#include "platform/AtomicWrite.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "ErrnoError.h"
#include "HostPath.h"
#include "platform/UniqueFd.h"

namespace platform {

namespace {

// A replacement reports the four outcomes its contract names: the folder is missing,
// the folder or file refuses the write, the disk is full, or another failure.
WinError ReplaceError(int err) {
    switch (detail::ErrnoToWinError(err)) {
        case kErrorFileNotFound:
        case kErrorPathNotFound:
            return kErrorPathNotFound;  // a new name: its folder is missing
        case kErrorAccessDenied:
        case kErrorWriteProtect:
            return kErrorAccessDenied;
        case kErrorDiskFull:
            return kErrorDiskFull;
        default:
            return kErrorGenFailure;
    }
}

// Longest part of the target's name kept in the temporary name, so the temporary name
// stays within the host's 255-byte limit whatever the target is called.
constexpr std::size_t kMaxKeptName = 200;
constexpr int kNameAttempts = 100;

// Six characters that make the temporary name unlikely to be taken; O_EXCL decides.
std::string RandomSuffix() {
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char bytes[6];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        // No entropy yet (early boot): the clock and the process still differ between
        // writers, and a clash only costs another attempt.
        std::timespec ts{};
        std::timespec_get(&ts, TIME_UTC);
        unsigned long long mix = static_cast<unsigned long long>(ts.tv_nsec) ^
                                 (static_cast<unsigned long long>(::getpid()) << 20);
        for (unsigned char& b : bytes) {
            b = static_cast<unsigned char>(mix);
            mix = mix * 6364136223846793005ULL + 1442695040888963407ULL;
        }
    }
    std::string out;
    for (unsigned char b : bytes) out += kAlphabet[b % (sizeof kAlphabet - 1)];
    return out;
}

// Creates the temporary file beside `hostPath` with `mode` (umask applied by the kernel).
// 0 with the descriptor and the name, or the Windows code of the failure.
WinError CreateTemporary(const std::string& hostPath, unsigned mode, UniqueFd& fd,
                         std::string& temp) {
    const std::string folder = detail::HostParent(hostPath);
    std::string base = detail::HostBaseName(hostPath);
    if (base.size() > kMaxKeptName) base.resize(kMaxKeptName);
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temp = detail::JoinHost(folder, "." + base + ".tmp-" + RandomSuffix());
        fd.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                        static_cast<mode_t>(mode & 07777)));
        if (fd) return kErrorSuccess;
        if (errno != EEXIST) return ReplaceError(errno);
    }
    return kErrorGenFailure;
}

}  // namespace

WinError WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return detail::ErrnoToWinError(errno) == kErrorDiskFull ? kErrorDiskFull
                                                                    : kErrorGenFailure;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return kErrorSuccess;
}

WinError AtomicWriteFileWith(const std::string& hostPath,
                             const std::function<WinError(int fd)>& produce, unsigned mode,
                             bool sync) {
    // Each writer has a temporary file of its own, so two writers of the same file
    // never write into one; the last rename wins whole.
    UniqueFd fd;
    std::string temp;
    if (WinError rc = CreateTemporary(hostPath, mode, fd, temp); rc != kErrorSuccess) return rc;
    WinError rc = produce(fd.Get());
    if (rc == kErrorSuccess && sync && ::fsync(fd.Get()) != 0) rc = ReplaceError(errno);
    if (rc == kErrorSuccess && ::close(fd.Release()) != 0) rc = ReplaceError(errno);
    if (rc == kErrorSuccess && ::rename(temp.c_str(), hostPath.c_str()) != 0)
        rc = ReplaceError(errno);
    if (rc != kErrorSuccess) {
        fd.Reset();
        (void)::unlink(temp.c_str());  // the failure being reported is the one that counts
        return rc;
    }
    if (!sync) return kErrorSuccess;
    // The rename is durable only once the folder's entry is on the disk.
    UniqueFd dir(::open(detail::HostParent(hostPath).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) (void)::fsync(dir.Get());  // best effort: some file systems refuse fsync on a folder
    return kErrorSuccess;
}

WinError AtomicWriteFile(const std::string& hostPath, std::string_view contents, unsigned mode,
                         bool sync) {
    return AtomicWriteFileWith(
        hostPath, [contents](int fd) { return WriteAll(fd, contents); }, mode, sync);
}

}  // namespace platform
