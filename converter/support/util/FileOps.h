// Plain file services by Windows path (code page 932): existence, size, delete, copy.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/WinError.h"

// 1 when `path` exists (a file or a folder), else 0. First switches the process's error
// mode to 0x8001 (no critical-error box, no open-file box; left in force), so that a
// probe of a drive without its medium never waits for a person.
int File_Exists(std::string_view path);

// The size of the file in bytes; 0 when it cannot be had (the file is missing, the drive
// is not ready, the name is invalid), in which case the line
// "PdmDos_FileSize Error [<path>]\n" is printed on standard output (the path as given,
// code page 932 bytes). A folder has size 0 and prints nothing.
std::uint64_t PdmDos_FileSize(std::string_view path);

// Deletes a file. 0, or the Windows code (2 missing, 3 folder missing, 5 a folder or a
// read-only file).
platform::WinError File_Delete(std::string_view path);

// Copies `from` to `to`, replacing an existing `to`. 0, or the Windows code (2 source
// missing, 3 target folder missing, 5 target read-only or a folder).
[[nodiscard]] platform::WinError File_Copy(std::string_view from, std::string_view to);
