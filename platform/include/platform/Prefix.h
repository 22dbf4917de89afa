// The prefix: the one host folder that holds all Windows-side state, and the
// translation between Windows paths (code page 932) and host paths (UTF-8).
//
//   $MORVAN_PREFIX/dosdevices/<letter>:   one entry per drive (symlink or folder)
//   $MORVAN_PREFIX/drive_c/WINDOWS/SYSTEM32
//   $MORVAN_PREFIX/system.reg, user.reg   the registry hives
//
// A drive whose dosdevices entry is missing does not exist (error 3); an entry whose
// target is missing is a drive without a medium (error 21). Every path component is
// matched case-insensitively (ASCII, full-width Latin, Greek and Cyrillic), an exact match
// wins, and names that do not exist yet are kept as written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/WinError.h"

namespace platform {

// The prefix folder: $MORVAN_PREFIX, else ~/.morvan. Read once; tests that change the
// variable call ResetPrefixForTesting() afterwards.
[[nodiscard]] const std::string& PrefixDir();
void ResetPrefixForTesting();

// Host path of the dosdevices entry of a drive letter ("A".."Z", either case).
[[nodiscard]] std::string DriveEntryPath(char letter);

// 0 when the drive exists and its medium is present; 3 when there is no such drive
// (or the letter is outside A-Z); 21 when the drive's target is missing.
[[nodiscard]] WinError DriveState(char letter);

// The drive letters that exist in the prefix, upper-case, in order.
[[nodiscard]] std::vector<char> ListDrives();

// Maps / unmaps a drive letter to a host folder (the tools use these).
[[nodiscard]] WinError MapDrive(char letter, const std::string& hostDir);
[[nodiscard]] WinError UnmapDrive(char letter);

// Translates a Windows path ("C:\DIR\FILE", "\DIR" on the current drive, or a
// relative path against the current directory) to a host path. Existing components
// are found case-insensitively; missing ones are appended as written (converted to
// UTF-8). "." and ".." are resolved as Windows does (".." never climbs above the
// drive's root). Errors: 3 no such drive, 21 drive not ready, 123 invalid code page
// 932 or a name the host cannot hold (e.g. containing "/" or NUL), 161 malformed path.
[[nodiscard]] WinError ToHostPath(std::string_view windowsPath, std::string& hostPath);

// Translates a host path (absolute or relative to the host's working directory) to
// its Windows name: the mapped drive whose target holds it (longest match), else "Z:"
// plus the path with "\" separators. Host names that are not valid UTF-8 are carried
// byte for byte.
[[nodiscard]] std::string ToWindowsPath(std::string_view hostPath);

// Makes `path` absolute and canonical as a Windows path ("X:\A\B"), without touching
// the file system: joins relative paths to the current directory, resolves "." and
// "..", collapses repeated separators. Drive letter is upper-cased.
[[nodiscard]] std::string FullWindowsPath(std::string_view path);

// The process's current directory as a Windows path (no trailing "\" except "X:\").
[[nodiscard]] std::string GetCurrentDirectoryW();
// Sets the current directory (Windows path) and the host's working directory.
// 0, or 3 when the directory does not exist, 21 when the drive is not ready.
[[nodiscard]] WinError SetCurrentDirectoryW(std::string_view windowsPath);

// "C:\WINDOWS".
[[nodiscard]] std::string GetWindowsDirectoryW();

// The running program's own file as a Windows path.
[[nodiscard]] std::string GetModuleFileNameW();

}  // namespace platform
