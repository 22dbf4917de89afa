// Text files of lines as the installer reads and writes them: scripts, list files, the
// uninstall script, the staging list, the control file and the revision list.
//
// Reading (ReadLineFile): the file's bytes are taken as they are and split into lines
// at CR LF, at a lone LF and at a lone CR (platform::SplitLines). A last line without
// an end is a line; an end at the very end of the file adds no empty line; an empty
// file has no lines. Bytes that are not text (a NUL, a lead byte at the end of a line,
// very long lines) stay in their line unchanged: every later step copes with them. A
// file that cannot be read (missing, a folder, a drive not ready) gives false and no
// lines.
//
// Writing: every line ends in CR LF.
#pragma once

#include <string>
#include <vector>

// The lines of the file at `path` (see above); false, with `lines` empty, when the
// file cannot be read.
[[nodiscard]] bool ReadLineFile(const std::string& path, std::vector<std::string>& lines);
// The lines joined, each ending in CR LF.
std::string JoinLines(const std::vector<std::string>& lines);
// Creates or truncates `path` with the lines, each ending in CR LF. False on failure.
[[nodiscard]] bool WriteLineFile(const std::string& path, const std::vector<std::string>& lines);
// Rewrites `target` through the scratch file `scratchPath`, as every rewrite of the
// installer does: the new contents are written to the scratch file, then replace the
// target at once (platform::ReplaceFileBytes, made durable when `sync`), and the
// scratch file is deleted again (also after a failure).
//
// A read-only target is not made writable: it refuses the replacement, which is the
// failure (a file the installer cannot update must never be reported as updated). A
// caller that owns the file, e.g. a staged copy, clears its flag when it makes it.
//
// True when the target holds the new lines. False with `failedPath` naming the file
// that could not be written (the scratch file or the target); the target then keeps
// its former contents (or stays missing).
[[nodiscard]] bool RewriteThroughScratch(const std::string& target,
                                         const std::vector<std::string>& lines,
                                         const std::string& scratchPath, bool sync,
                                         std::string& failedPath);
