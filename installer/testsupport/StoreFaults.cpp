// Mount calls of the Linux host: the faults exist only on the host side, below the
// platform layer, so they are made with the host's own calls.
#include "installer/testsupport/StoreFaults.h"

#include <sched.h>
#include <sys/mount.h>

#include <cerrno>
#include <cstring>

namespace {

std::string Failure(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// A bind of `path` onto itself: makes it a mount of its own, which a later recursive
// bind of a folder above it carries along with its own flags.
std::string BindSelf(const std::string& path) {
    if (mount(path.c_str(), path.c_str(), nullptr, MS_BIND, nullptr) != 0) {
        return Failure("bind", path);
    }
    return "";
}

}  // namespace

std::string EnterPrivateMountNamespace() {
    static const std::string result = [] {
        if (unshare(CLONE_NEWNS) != 0) return Failure("unshare(CLONE_NEWNS)", "");
        // Without this, mounts made here would propagate back to the host's namespace.
        if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return Failure("making / private", "");
        }
        return std::string();
    }();
    return result;
}

ScopedMount::~ScopedMount() {
    // The namespace ends with the test process anyway; a mount that will not go only
    // stays until then.
    (void)Remove();
}

std::string ScopedMount::MountTmpfs(const std::string& dir, unsigned long bytes) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (mount("morvan-test-store", dir.c_str(), "tmpfs", 0, options.c_str()) != 0) {
        return Failure("tmpfs over", dir);
    }
    target_ = dir;
    return "";
}

std::string ScopedMount::GrowTmpfs(unsigned long bytes) {
    const std::string options = "size=" + std::to_string(bytes);
    if (mount(nullptr, target_.c_str(), nullptr, MS_REMOUNT, options.c_str()) != 0) {
        return Failure("growing tmpfs", target_);
    }
    return "";
}

std::string ScopedMount::BindReadOnly(const std::string& path,
                                      const std::vector<std::string>& writable) {
    for (const std::string& inside : writable) {
        if (std::string failed = BindSelf(inside); !failed.empty()) return failed;
        inner_.push_back(inside);
    }
    if (mount(path.c_str(), path.c_str(), nullptr, MS_BIND | MS_REC, nullptr) != 0) {
        return Failure("bind", path);
    }
    target_ = path;
    // Only the top mount becomes read-only; the self-binds carried below it keep
    // their own (writable) flags.
    if (mount(nullptr, path.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0) {
        return Failure("read-only remount of", path);
    }
    return "";
}

std::string ScopedMount::Remove() {
    std::string result;
    if (!target_.empty() && umount2(target_.c_str(), MNT_DETACH) != 0) {
        result = Failure("unmount", target_);
    }
    target_.clear();
    for (auto it = inner_.rbegin(); it != inner_.rend(); ++it) {
        if (umount2(it->c_str(), MNT_DETACH) != 0 && result.empty()) {
            result = Failure("unmount", *it);
        }
    }
    inner_.clear();
    return result;
}
