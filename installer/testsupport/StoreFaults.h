// Faults of the disk under a test prefix, made with mounts: a store that runs full (a
// small tmpfs over a folder) and folders or files that cannot be written (read-only
// bind mounts). Tests run as root, where permission bits stop nothing; a read-only
// mount stops root too.
//
// The mounts live in a private mount namespace of the test process
// (EnterPrivateMountNamespace), so they vanish with the process even when it crashes,
// and the programs it starts inherit them. Every function returns an empty string on
// success, else what failed (for the test's message).
#pragma once

#include <string>
#include <vector>

// Moves the calling process into a mount namespace of its own, once per process.
// Fails (with the reason) where the process may not: the test then skips.
std::string EnterPrivateMountNamespace();

// A mount made by this test, removed (detached with all mounts below it) by the
// destructor unless Remove() did it before.
class ScopedMount {
  public:
    ScopedMount() = default;
    ~ScopedMount();
    ScopedMount(const ScopedMount&) = delete;
    ScopedMount& operator=(const ScopedMount&) = delete;

    // A tmpfs of `bytes` bytes over the host folder `dir` (which must exist).
    std::string MountTmpfs(const std::string& dir, unsigned long bytes);
    // Grows the tmpfs made by MountTmpfs to `bytes` bytes, keeping its contents: the
    // fault of a full disk lifted without losing what the job wrote.
    std::string GrowTmpfs(unsigned long bytes);
    // The host folder or file `path` made read-only where it is. `writable` lists
    // folders and files inside it that stay writable (each must exist).
    std::string BindReadOnly(const std::string& path,
                             const std::vector<std::string>& writable = {});
    // Takes the mount away (and the writable mounts below it).
    std::string Remove();

  private:
    std::string target_;
    std::vector<std::string> inner_;  // self-binds made to keep parts writable
};
