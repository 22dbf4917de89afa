// One owner of a host file descriptor: closes it when it goes out of scope.
//
// Used wherever platform code opens a descriptor, so that no early return leaks one.
// Moving hands the descriptor on; the moved-from owner holds -1.
#pragma once

#include <unistd.h>

#include <utility>

namespace platform {

class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    [[nodiscard]] int Get() const { return fd_; }
    [[nodiscard]] bool Valid() const { return fd_ >= 0; }
    explicit operator bool() const { return Valid(); }

    // Gives up ownership without closing; the caller now owns the descriptor.
    [[nodiscard]] int Release() { return std::exchange(fd_, -1); }

    // Closes the descriptor held (if any) and takes `fd` instead.
    void Reset(int fd = -1) {
        if (fd_ >= 0 && fd_ != fd) ::close(fd_);
        fd_ = fd;
    }

  private:
    int fd_ = -1;
};

}  // namespace platform
