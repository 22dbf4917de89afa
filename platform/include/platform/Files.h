// Files and directories by Windows path, as the system's programs use Win32.
//
// Attributes are derived from the host: directory; read-only = no owner write bit;
// hidden = name begins with "."; system never; archive on every plain file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinError.h"

namespace platform {

inline constexpr std::uint32_t kAttrReadOnly = 0x01;
inline constexpr std::uint32_t kAttrHidden = 0x02;
inline constexpr std::uint32_t kAttrSystem = 0x04;
inline constexpr std::uint32_t kAttrDirectory = 0x10;
inline constexpr std::uint32_t kAttrArchive = 0x20;
// The entry is a link (a host symbolic link); the other attributes are those of what it
// leads to. Removing such a folder removes the link, never what lies behind it.
inline constexpr std::uint32_t kAttrReparsePoint = 0x400;

// 0 and the attributes, or 2 / 3 / 21 / 123.
[[nodiscard]] WinError GetFileAttributesW(std::string_view path, std::uint32_t& attributes);

[[nodiscard]] bool PathExists(std::string_view path);       // file or directory
[[nodiscard]] bool FileExists(std::string_view path);       // exists and is not a directory
[[nodiscard]] bool DirectoryExists(std::string_view path);  // exists and is a directory

// Read-only attribute of a file.
[[nodiscard]] WinError SetReadOnly(std::string_view path, bool readOnly);
[[nodiscard]] inline WinError ClearReadOnly(std::string_view path) {
    return SetReadOnly(path, false);
}

// Copies a file. With failIfExists false an existing target is replaced (a read-only
// target gives 5, as on Windows). The copy keeps the source's modification time.
// Errors: 2 source missing, 3 target folder missing, 5 access denied, 21, 123.
[[nodiscard]] WinError CopyFileW(std::string_view source, std::string_view target,
                                 bool failIfExists);

// Deletes a file (2 when missing, 5 when it is a directory or read-only).
[[nodiscard]] WinError DeleteFileW(std::string_view path);

// Creates one directory (183 when it exists, 3 when the parent is missing).
[[nodiscard]] WinError CreateDirectoryW(std::string_view path);
// Creates a directory and all its missing parents; an existing directory is 0.
[[nodiscard]] WinError CreateDirectoryTree(std::string_view path);
// Removes an empty directory (145 when not empty, 2/3 when missing, 267 when it is a
// file); a link to a folder is removed as a link.
[[nodiscard]] WinError RemoveDirectoryW(std::string_view path);

// Moves or renames a file or directory (replacing a file target).
[[nodiscard]] WinError MoveFileW(std::string_view source, std::string_view target);

// The local date of the last modification as "yyyymmdd".
[[nodiscard]] WinError GetModificationDate(std::string_view path, std::string& yyyymmdd);
// Sets the modification time (seconds since the Unix epoch).
[[nodiscard]] WinError SetModificationTime(std::string_view path, std::int64_t unixSeconds);

// Opens the file for reading, creating it when absent, and closes it again: the
// probe of a drive. Errors as Windows gives them: 19 write-protected (read-only
// medium), 21 not ready (drive without medium), 31 general failure (other I/O
// failure of the medium), 3 no such drive or folder.
[[nodiscard]] WinError OpenOrCreateProbe(std::string_view path);

// Whole-file access, byte for byte (no newline translation).
[[nodiscard]] WinError ReadFileBytes(std::string_view path, std::string& contents);
// Creates the file or truncates it.
[[nodiscard]] WinError WriteFileBytes(std::string_view path, std::string_view contents);
// Creates the file when missing.
[[nodiscard]] WinError AppendFileBytes(std::string_view path, std::string_view contents);

// Replaces the whole file at once (creating it when missing): a reader, or a program
// killed at any moment, sees the old contents or the complete new ones, never a
// truncated file. With `sync` the new data and its name are also forced to the disk
// before the call returns, so a power cut cannot undo or cut the replacement. An
// existing file keeps its permissions (its read-only flag refuses the write, 5, as
// WriteFileBytes does). 0, or 3 folder missing, 5 denied (also: a folder of that
// name), 19 write-protected medium, 112 disk full, 21, 123, 31 other failure; on
// failure the old file is untouched and no temporary file is left.
[[nodiscard]] WinError ReplaceFileBytes(std::string_view path, std::string_view contents,
                                        bool sync);

// Forces an existing file's data and its entry in its folder to the disk (fsync of the
// file and of the folder), so what was written before survives a power cut. A folder
// may be named too. 0, or 2 / 3 missing, 21, 123, 31 the disk reported a failure.
[[nodiscard]] WinError FlushFileW(std::string_view path);

// Size in bytes.
[[nodiscard]] WinError GetFileSizeW(std::string_view path, std::uint64_t& size);

}  // namespace platform
