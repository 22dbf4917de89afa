// Small string routines shared by the installer's parsers. Code page 932 aware:
// a "\" or ":" inside a double-byte character is never taken for a delimiter.
#pragma once

#include <string>

// Deletes every blank (0x20).
void RemoveBlanks(std::string& s);
// Reduces every run of two or more blanks to one blank.
void CollapseBlanks(std::string& s);
// Appends blanks until `s` has `width` bytes; a longer `s` stays as it is.
void PadRight(int width, std::string& s);
// path := dir + path when path begins with "\", else dir + "\" + path.
void JoinPath(const std::string& dir, std::string& path);
// path := root + "\" + a + "\" + b + "\" + the file-name part of path (root: the
// store, VersionDownRoot).
void VersionDownPath(const std::string& root, const std::string& a, const std::string& b,
                     std::string& path);
// dir := up to and including the last "\" or ":" ("" when none); name := the rest.
void SplitPath(const std::string& path, std::string& dir, std::string& name);
// True when the last character of `path` is "\" (never the trail byte of a
// double-byte character such as 表).
bool EndsWithBackslash(const std::string& path);
// True when `path` names its place without depending on the current drive or
// directory: a drive letter, ":" and "\" ("C:\..."), or "\\" (a network path).
// "C:FILE", "\FILE", "SUB\FILE" and "" are not.
bool IsFullPath(const std::string& path);
// Appends "\" unless `path` already ends in one.
void EnsureTrailingBackslash(std::string& path);
// Removes one trailing "\" (the trail byte of a double-byte character stays).
void RemoveTrailingBackslash(std::string& path);
// The two fields of a command line "X field rest": the text between the first and
// the second blank, and everything after the second blank. False when either is
// empty (a command without both would act on whatever the current directory is).
bool SplitCommandFields(const std::string& line, std::string& field, std::string& rest);
// Strips every character but digits and "." from `s` (in place) and converts the
// rest; false when that is empty or not a number (e.g. two points).
bool ParseVersionNumber(std::string& s, double& value);
