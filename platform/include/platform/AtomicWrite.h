// Replacing a host file so that a reader, a crash or a power cut sees either the old
// contents or the complete new ones, never a mix or a truncated file.
//
// The new contents are written to a temporary file in the same folder (so the rename
// stays on one file system), flushed to the disk with fsync, renamed over the target,
// and the folder is synced so the rename itself survives a power cut. With `sync`
// false both fsyncs are left out: the replacement is still whole for a reader and for
// a program that is killed (the kernel keeps what was written), but a power cut may
// lose it. The temporary file is removed on every failure path. These functions take
// host paths (UTF-8): they serve the platform's own files (hives, prefix files), the
// stand-ins' data files and ReplaceFileBytes (Files.h), which resolves a Windows path
// first; other Windows paths are resolved by the caller.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/WinError.h"

namespace platform {

// Writes `contents` as the new file `hostPath`. The new file gets `mode` (subject to
// the umask). 0, or the Windows code of the failure (3 folder missing, 5 denied,
// 112 disk full, 31 other I/O failure); on failure the old file is untouched.
[[nodiscard]] WinError AtomicWriteFile(const std::string& hostPath, std::string_view contents,
                                       unsigned mode = 0644, bool sync = true);

// The same for contents produced piece by piece: `produce` is called once with the
// descriptor of the temporary file and returns 0 or a Windows code; a non-zero code
// abandons the write (old file kept) and is returned.
[[nodiscard]] WinError AtomicWriteFileWith(const std::string& hostPath,
                                           const std::function<WinError(int fd)>& produce,
                                           unsigned mode = 0644, bool sync = true);

// Writes all of `data` to `fd`, retrying after short writes and EINTR.
// 0, or 112 (disk full) / 31 (other failure).
[[nodiscard]] WinError WriteAll(int fd, std::string_view data);

}  // namespace platform
