// Directory-tree operations of the installer.
#pragma once

#include <string>
#include <vector>

// Empties the folder `dir` (ending in "\") completely: every file and every subtree,
// hidden and system entries included, at the top level too; read-only files go as
// well (the folders cleared are the installer's own work folders, whose every entry
// would otherwise be taken for part of the next command). The folder itself stays.
// 0 when everything went (also when the folder does not exist), else the Windows code
// of the first failure (21 drive not ready, 145 a folder that could not be emptied,
// ...); the other entries are still removed.
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
