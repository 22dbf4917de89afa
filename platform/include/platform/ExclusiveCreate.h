// Creating a file that must not exist yet, as CreateFile with CREATE_NEW does.
//
// The test for existence and the creation are one step of the host (O_CREAT|O_EXCL), so
// of several processes or threads creating the same name at once exactly one succeeds.
// That is what makes a name taken by it safe to use as the caller's own file.
#pragma once

#include <string_view>

#include "platform/WinError.h"

namespace platform {

// Creates `path` as a new empty file (mode 0666 less the umask) and closes it; the file
// now belongs to the caller. 0 on success; 80 (kErrorFileExists) when anything is there
// already: a file, a folder, a link, or an entry whose name differs only in case (path
// components are matched case-insensitively). Otherwise the file system's code: 3 the
// folder is missing, 5 access denied, 19 read-only medium, 21 drive not ready, 123
// invalid name.
//
// Case: two creators racing with names that differ only in case may both succeed (the
// host's names are case-sensitive); creators that agree on the spelling never do.
[[nodiscard]] WinError CreateNewFile(std::string_view path);

}  // namespace platform
