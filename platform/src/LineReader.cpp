// fgets over a Windows path.
//
// The file is read in blocks of 4096 bytes and handed out piece by piece, so a line of
// any length costs at most one block and one piece of memory.
#include "platform/LineReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileHead.h"

namespace platform {

namespace {
constexpr std::size_t kBlock = 4096;
}

WinError LineReader::Open(std::string_view path) {
    fd_.Reset();
    buffer_.clear();
    at_ = 0;
    ended_ = true;
    UniqueFd fd;
    if (WinError rc = OpenPlainFileForReading(path, fd); rc != kErrorSuccess) return rc;
    fd_ = std::move(fd);
    ended_ = false;
    return kErrorSuccess;
}

// Reads the next block behind what is left unread. False when nothing more came.
bool LineReader::Fill() {
    if (ended_) return false;
    buffer_.erase(0, at_);
    at_ = 0;
    char block[kBlock];
    for (;;) {
        const ssize_t n = read(fd_.Get(), block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // The end of the file, or a read error that ends it as fgets would.
            ended_ = true;
            fd_.Reset();
            return false;
        }
        buffer_.append(block, static_cast<std::size_t>(n));
        return true;
    }
}

bool LineReader::Next(std::size_t maxBytes, std::string& piece) {
    piece.clear();
    if (maxBytes == 0) return false;
    while (piece.size() < maxBytes) {
        if (at_ == buffer_.size() && !Fill()) break;
        const std::size_t want = maxBytes - piece.size();
        const std::size_t available = buffer_.size() - at_;
        const std::size_t span = want < available ? want : available;
        const std::size_t feed = buffer_.find('\n', at_);
        if (feed != std::string::npos && feed < at_ + span) {
            piece.append(buffer_, at_, feed + 1 - at_);
            at_ = feed + 1;
            return true;
        }
        piece.append(buffer_, at_, span);
        at_ += span;
    }
    return !piece.empty();
}

}  // namespace platform
