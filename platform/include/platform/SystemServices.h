// Small Win32 services: sleeping, the beep, short names, the error mode and the
// temporary folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/WinError.h"

namespace platform {

// Suspends the calling thread for `milliseconds` (resumed early by nothing).
void Sleep(std::uint32_t milliseconds);

// Sounds a tone of `frequencyHz` (37 … 32767) for `durationMs` and returns when it has
// ended. Where the machine has a sound device the tone is played (a square wave through
// the default ALSA device); where it has none, the call only waits `durationMs`.
// 0; 87 for a frequency out of range.
WinError Beep(std::uint32_t frequencyHz, std::uint32_t durationMs);

// The short (8.3) name of an existing path. The prefix has no short names, so the long
// name is the short name: `shortPath` = the path as given. 0; 2 / 3 when it does not exist.
[[nodiscard]] WinError GetShortPathNameA(std::string_view longPath, std::string& shortPath);

// Sets the process's error mode and returns the previous one. The mode has no effect
// here (no critical-error dialogs exist); it is kept so a caller reads back what it set.
std::uint32_t SetErrorMode(std::uint32_t mode);

// The temporary folder as GetTempPathA gives it: a Windows path ending in "\".
// It is C:\WINDOWS\TEMP\ (created when missing). 0; the file system's code when the
// folder cannot be made.
[[nodiscard]] WinError GetTempPathA(std::string& path);

}  // namespace platform
