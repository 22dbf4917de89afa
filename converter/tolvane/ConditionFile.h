// The condition file: a text file of lines "key value" (key, one blank, value) that
// tells the job how to convert. The only key the job reads is "DownLevel".
//
// ConditionFile_Lookup(path, key)
//   path  Windows path of the file; empty for none.
//   key   the key, compared without regard to case.
//   The file is read from the top in lines of at most kConditionLineBytes bytes, as
//   fgets with a buffer of 256 bytes reads them: a longer line comes in pieces of 255
//   bytes, and each piece counts as a line of its own. A line's line feed (and a CR
//   before it) is stripped; a NUL ends the line's text. The first line that begins with
//   the key followed by one blank gives the value: the rest of that line.
//   Result: the value; empty when the path is empty, the file is missing or cannot be
//   read (a folder, a FIFO), or no line matches.
//
// Edge cases: "downlevel 1" matches "DownLevel"; "DownLevel1" (no blank) and
// " DownLevel 1" do not; a binary file is read like any other (its NULs end lines).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline constexpr std::size_t kConditionLineBytes = 255;
inline constexpr std::string_view kDownLevelKey = "DownLevel";

[[nodiscard]] std::string ConditionFile_Lookup(std::string_view path, std::string_view key);
