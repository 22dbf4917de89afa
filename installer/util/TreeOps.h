// Directory-tree operations of the installer.
#pragma once

#include <string>
#include <vector>

// Deletes the plain files of `dir` (ending in "\"), then removes every subtree and
// file that is neither hidden nor system. Hidden entries of the top level stay.
int ClearDirectory(const std::string& dir);
// Removes the directory with everything in it (hidden files included). False when a
// file could not be deleted; a directory that cannot be removed is not reported.
bool RemoveTree(const std::string& dir);
// Copies a file or a whole tree, overwriting (see the source for the exact rules of
// "*.*" and of a destination that is an existing directory). A missing or empty
// source directory gives true.
bool CopyTree(const std::string& source, const std::string& destination);
// Appends one line per file below `dir` (recursively): dir + "\" + relative path.
// Directories themselves are not listed. False when `dir` cannot be searched.
bool ListTree(const std::string& dir, std::vector<std::string>& lines);
