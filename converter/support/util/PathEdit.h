// Editing Windows paths (code page 932) held in caller buffers: the extension, a changed
// extension, a trailing backslash. Every search for "\", ":" and "." is DBCS-aware, so
// the second byte of a character such as 表 (0x95 0x5C) is never taken for a separator.
#pragma once

#include <span>
#include <string_view>

inline constexpr int kPathNoRoom = -9206;  // the result does not fit the buffer
inline constexpr int kPathNull = -9223;    // no path (or no buffer) given
inline constexpr int kPathEmpty = -9224;   // an empty path where one is needed

// The extension of the file name of `path`, with its dot: from the last "." after the
// last "\" or ":" ("C:\A.B\FILE" has none; "C:\DIR\X.TAR.GZ" gives ".GZ"); empty when
// the name has no dot. Written to `out` with its NUL.
// 0; -9223 when `path` or `out` is null; -9206 when it does not fit `out` (`out` then
// holds an empty string).
int Path_Ext(std::string_view path, std::span<char> out);

// `out` = the drive, folder and name of `path` followed by `ext` as the new extension.
// A dot is put in front of a non-empty `ext` that lacks one (".F" and "F" both give
// "NAME.F"); an empty `ext` removes the extension. `out` may be the buffer `path` views.
// 0; -9223 when `path` or `out` is null; -9206 when the result does not fit `out` (`out`
// then holds an empty string).
int Path_ChangeExt(std::string_view path, std::string_view ext, std::span<char> out);

// Appends "\" to the NUL-terminated path in `path` unless it ends in a "\" of its own.
// The last byte decides (Str_ByteClass): a single-byte character other than "\" or the
// trail byte of a double-byte character gets the "\" (so 表, whose second byte is 0x5C,
// does); a lead byte cut off at the end gets nothing.
// 0 (also when nothing was appended); -9223 when the buffer is null or has no bytes;
// -9224 when the path is empty; -9206 when the "\" does not fit the buffer or the buffer
// holds no NUL. The path is unchanged on every error.
int Path_AddBackslash(std::span<char> path);
