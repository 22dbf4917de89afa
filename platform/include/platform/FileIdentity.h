// Whether two paths name the same file: the question a program asks before it copies a
// file onto another or writes its output where its input lies. Two different Windows
// names may reach one host file (a mapped drive and Z:, a link, a second mapping), so
// the host file itself is compared, not the names.
#pragma once

#include <string_view>

#include "platform/WinError.h"

namespace platform {

// Sets `same` to true when the Windows paths `a` and `b` reach one existing host file or
// folder (same device and inode), else false. A path that does not exist is never the
// same as another (there is nothing to overwrite); the names themselves are not
// compared here.
// 0, also when either path is missing (then `same` is false); 3 no such drive, 21 drive
// not ready, 123 invalid name when either path cannot be resolved (`same` false).
[[nodiscard]] WinError SameFile(std::string_view a, std::string_view b, bool& same);

}  // namespace platform
