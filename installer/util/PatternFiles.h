// Operations on the plain files (neither hidden, system nor directories) that match a
// directory plus a DOS wildcard pattern. Directory and name are joined without a
// separator: callers pass directories that end in "\".
#pragma once

#include <cstdint>
#include <string>

// True when `name` holds a DOS wildcard, "*" or "?" (both lie below the trail-byte
// range of code page 932, so no double-byte character is taken for one).
bool HasWildcard(const std::string& name);
// 0 when at least one plain file matches, else the search's Windows error code.
std::uint32_t FileExistsByPattern(const std::string& pathWithPattern);
// Copies every matching file of sourceDir to targetDir + its name (overwriting).
// 0 when every matching file was copied (also when none matches or sourceDir does not
// exist), else the Windows code of the first failure: the copying stops there (e.g. 3
// target folder missing, 5 a folder or a read-only file in the target's place, 21 the
// source drive not ready).
int CopyMatchingFiles(const std::string& sourceDir, const std::string& targetDir,
                      const std::string& pattern);
// For every plain file matching listingDir + pattern, copies fromDir + name to
// toDir + name (overwriting). 0 when every one was copied, else the Windows code of
// the first failure, where the copying stops (2 / 3 when fromDir lacks the file or
// does not exist).
int CopyMatchingFilesFrom(const std::string& fromDir, const std::string& toDir,
                          const std::string& listingDir, const std::string& pattern);
// Deletes every matching plain file. 1 when every one was deleted (also when none
// matches or dir does not exist), else the negated Windows code of the first failure
// (-5 for a read-only file); the other files are still deleted.
int DeleteMatchingFiles(const std::string& dir, const std::string& pattern);
