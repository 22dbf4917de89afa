// Appends to the extension file.
//
// The header's count is the commit mark: an entry is written after the last counted one
// first, and counted by a second write only when it is whole, so a process killed
// between the two leaves the file as it was before the call. The file is a working file
// of one conversion: it is written again from its head by the next conversion and only
// its union into the PDB has to survive a power cut, which the PDB's atomic save does.
// So the appends are not synced to the disk; syncing each entry (twice, to keep the
// count behind the data on the disk) cost milliseconds an entry, seconds a drawing.
//
// Why a remembered state: an append needs the counted end and, for hole pieces, the
// last entry. Rescanning the file for every entry would make a conversion quadratic
// in its number of entries; instead the scan result is kept with the file's identity
// (device, inode, size, modification time) as left by our own last write, and reused
// only while all of them still match.
#include "ExtStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <string_view>

#include "ByteOrder.h"
#include "platform/AtomicWrite.h"
#include "platform/UniqueFd.h"

namespace pelmar {
namespace {

struct Identity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    std::int64_t mtimeSec = 0;
    std::int64_t mtimeNsec = 0;
    bool operator==(const Identity&) const = default;
};

Identity IdentityOf(const struct stat& st) {
    return Identity{st.st_dev, st.st_ino, st.st_size, static_cast<std::int64_t>(st.st_mtim.tv_sec),
                    static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

struct Remembered {
    Identity identity;
    std::uint32_t count = 0;
    std::size_t committedEnd = 0;
    LastPiece lastPiece;
};

std::mutex& Lock() {
    static std::mutex m;
    return m;
}

std::map<std::string, Remembered>& Memory() {
    static std::map<std::string, Remembered> m;
    return m;
}

std::int32_t FromErrno(int err) {
    return (err == ENOENT || err == ENOTDIR) ? PELMAR_E_NOT_FOUND : PELMAR_E_IO;
}

// Reads the whole file behind `fd` (of `size` bytes by fstat); a file that shrank
// meanwhile gives what is there.
std::int32_t ReadAll(int fd, off_t size, std::vector<std::uint8_t>& bytes) {
    if (size < 0 || static_cast<std::uint64_t>(size) > kMaxExtFileSize) {
        return PELMAR_E_BAD_EXTFILE;
    }
    bytes.assign(static_cast<std::size_t>(size), 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return PELMAR_E_IO;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return PELMAR_OK;
}

std::int32_t WriteAllAt(int fd, std::span<const std::uint8_t> data, off_t at) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::pwrite(fd, data.data() + done, data.size() - done, at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return PELMAR_E_IO;
        done += static_cast<std::size_t>(n);
    }
    return PELMAR_OK;
}

std::int32_t FromWinError(platform::WinError rc) {
    if (rc == platform::kErrorSuccess) return PELMAR_OK;
    if (rc == platform::kErrorPathNotFound || rc == platform::kErrorFileNotFound) {
        return PELMAR_E_NOT_FOUND;
    }
    return PELMAR_E_IO;
}

std::int32_t ReplaceWhole(const std::string& hostPath, std::span<const std::uint8_t> bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return FromWinError(platform::AtomicWriteFile(hostPath, text));
}

}  // namespace

std::int32_t StartExtFile(const std::string& hostPath, std::span<const std::uint8_t> content) {
    std::lock_guard<std::mutex> hold(Lock());
    Memory().erase(hostPath);
    std::vector<std::uint8_t> file = EncodeHeader(1);
    const std::vector<std::uint8_t> entry = EncodeEntry(kTagHead, content);
    file.insert(file.end(), entry.begin(), entry.end());
    return ReplaceWhole(hostPath, file);
}

std::int32_t AppendEntry(const std::string& hostPath, std::uint16_t tag, const ContentMaker& make) {
    std::lock_guard<std::mutex> hold(Lock());
    platform::UniqueFd fd(::open(hostPath.c_str(), O_RDWR | O_CLOEXEC));
    if (!fd) return FromErrno(errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return PELMAR_E_IO;
    if (!S_ISREG(st.st_mode)) return PELMAR_E_BAD_EXTFILE;

    // The state of the file: remembered when nothing changed it since our last
    // append, else scanned afresh (which also validates it).
    auto& memory = Memory();
    Remembered state;
    if (auto it = memory.find(hostPath);
        it != memory.end() && it->second.identity == IdentityOf(st)) {
        state = it->second;
    } else {
        memory.erase(hostPath);
        std::vector<std::uint8_t> bytes;
        if (std::int32_t rc = ReadAll(fd.Get(), st.st_size, bytes); rc != PELMAR_OK) return rc;
        ExtScan scan;
        if (!ScanExtFile(bytes, scan, false)) return PELMAR_E_BAD_EXTFILE;
        state.count = scan.count;
        state.committedEnd = scan.committedEnd;
        state.lastPiece = scan.lastPiece;
    }

    ContentBuilder content;
    if (std::int32_t rc = make(state.lastPiece, content); rc != PELMAR_OK) return rc;
    const std::vector<std::uint8_t> entry = EncodeEntry(tag, content.Bytes());
    const std::uint64_t newEnd = state.committedEnd + entry.size();
    if (newEnd > kMaxExtFileSize || state.count == UINT32_MAX) return PELMAR_E_TOO_LARGE;

    // From here on the file may change on the disk; forget the state until the
    // append has completed.
    memory.erase(hostPath);
    const auto at = static_cast<off_t>(state.committedEnd);
    if (std::int32_t rc = WriteAllAt(fd.Get(), entry, at); rc != PELMAR_OK) {
        (void)::ftruncate(fd.Get(), at);  // drop what the failed write left
        return rc;
    }
    if (st.st_size > static_cast<off_t>(newEnd) &&
        ::ftruncate(fd.Get(), static_cast<off_t>(newEnd)) != 0) {
        return PELMAR_E_IO;
    }
    std::uint8_t count[4];
    (void)StoreU32(count, 0, state.count + 1);
    if (std::int32_t rc = WriteAllAt(fd.Get(), count, static_cast<off_t>(kCountOffset));
        rc != PELMAR_OK) {
        return rc;
    }

    // Remember the new state with the identity our own write left.
    if (::fstat(fd.Get(), &st) == 0) {
        Remembered next;
        next.identity = IdentityOf(st);
        next.count = state.count + 1;
        next.committedEnd = static_cast<std::size_t>(newEnd);
        next.lastPiece = LastPiece{};
        if (tag == kTagHolePiece) {
            std::uint32_t elem = 0;
            std::uint16_t hole = 0;
            std::uint16_t index = 0;
            const auto& c = content.Bytes();
            if (LoadU32(c, 0, elem) && LoadU16(c, 4, hole) && LoadU16(c, 6, index)) {
                next.lastPiece = LastPiece{true, elem, hole, index};
            }
        }
        memory[hostPath] = next;
    }
    return PELMAR_OK;
}

std::int32_t ReadExtFile(const std::string& hostPath, std::vector<std::uint8_t>& bytes,
                         ExtScan& scan) {
    std::lock_guard<std::mutex> hold(Lock());
    platform::UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return FromErrno(errno);
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0) return PELMAR_E_IO;
    if (!S_ISREG(st.st_mode)) return PELMAR_E_BAD_EXTFILE;
    if (std::int32_t rc = ReadAll(fd.Get(), st.st_size, bytes); rc != PELMAR_OK) return rc;
    return ScanExtFile(bytes, scan, true) ? PELMAR_OK : PELMAR_E_BAD_EXTFILE;
}

std::int32_t CompactExtFile(const std::string& hostPath) {
    std::vector<std::uint8_t> bytes;
    ExtScan scan;
    if (std::int32_t rc = ReadExtFile(hostPath, bytes, scan); rc != PELMAR_OK) return rc;
    if (scan.committedEnd == bytes.size()) return PELMAR_OK;
    std::lock_guard<std::mutex> hold(Lock());
    Memory().erase(hostPath);
    return ReplaceWhole(hostPath, std::span<const std::uint8_t>(bytes).first(scan.committedEnd));
}

}  // namespace pelmar
