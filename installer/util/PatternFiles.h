// Operations on the plain files (neither hidden, system nor directories) that match a
// directory plus a DOS wildcard pattern. Directory and name are joined without a
// separator: callers pass directories that end in "\".
#pragma once

#include <cstdint>
#include <string>

// 0 when at least one plain file matches, else the search's Windows error code.
std::uint32_t FileExistsByPattern(const std::string& pathWithPattern);
// Copies every matching file of sourceDir to targetDir + its name (overwriting);
// failures are ignored. Always 0.
int CopyMatchingFiles(const std::string& sourceDir, const std::string& targetDir,
                      const std::string& pattern);
// For every plain file matching listingDir + pattern, copies fromDir + name to
// toDir + name (overwriting); failures are ignored. Always 0.
int CopyMatchingFilesFrom(const std::string& fromDir, const std::string& toDir,
                          const std::string& listingDir, const std::string& pattern);
// Deletes every matching plain file. Always 1.
int DeleteMatchingFiles(const std::string& dir, const std::string& pattern);
