// The one translation of host errno values into Windows error codes, shared by every
// platform source that calls the host. Not part of the platform's public interface.
#pragma once

#include "platform/WinError.h"

namespace platform::detail {

// Windows error for an errno value of a file operation:
//   0 -> 0; ENOENT -> 2; ENOTDIR -> 3; EACCES, EPERM, EISDIR, EBUSY, ETXTBSY -> 5;
//   EROFS -> 19; ENOMEDIUM, ENXIO, ENODEV -> 21; EEXIST -> 183; ENOTEMPTY -> 145;
//   ENAMETOOLONG -> 206; EILSEQ, EINVAL -> 123; ENOSPC, EDQUOT -> 112; anything else -> 31.
// Callers that know more (a name that can only be missing because its folder is, a
// probe that reports a refusal as a write-protected medium) adjust the few values
// their contract names and pass the rest through here.
[[nodiscard]] WinError ErrnoToWinError(int err);

}  // namespace platform::detail
