// Reading the first bytes of a file without reading all of it, as fopen and one
// fread of a fixed size do: a file's head block, a version word.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"
#include "platform/WinError.h"

namespace platform {

// Opens `path` (a Windows path) for reading when it names a plain file: `fd` gets the
// descriptor (non-blocking, close-on-exec). Errors: 2 / 3 missing, 5 a folder or
// anything else that is not a plain file (a FIFO or a device could block the reader or
// never end), or access denied, 21 drive not ready, 123 invalid name; `fd` is then empty.
[[nodiscard]] WinError OpenPlainFileForReading(std::string_view path, UniqueFd& fd);

// Opens `path` for reading and reads at most `maxBytes` from its start into `head`.
// 0 when the file could be opened: `head` then holds min(maxBytes, file size) bytes, or
// fewer when reading failed part-way (a short read, as fread reports one). Errors of the
// open: 2 / 3 missing, 5 a folder, anything else that is not a plain file (a FIFO, a
// device), or access denied, 21 drive not ready, 123 invalid name; `head` is then empty.
[[nodiscard]] WinError ReadFileHead(std::string_view path, std::size_t maxBytes, std::string& head);

}  // namespace platform
