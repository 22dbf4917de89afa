// Directory search with DOS wildcards.
//
// A pattern is a directory plus a name pattern ("C:\DIR\*.DAT"). "*" matches any run
// of characters, "?" any one character; matching is case-insensitive; "*.*" also
// matches names without a dot (as "*" does). A pattern ending in "\" searches the
// directory for nothing (Windows gives 2).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinError.h"

namespace platform {

struct FindEntry {
    std::string name;          // code page 932, as the host holds it
    std::uint32_t attributes;  // kAttr* of Files.h
};

enum class FindSelection {
    Raw,         // every entry, "." and ".." included (as FindFirstFile reports them)
    PlainFiles,  // files that are neither hidden nor system; no directories
    AllEntries,  // every file and directory, hidden ones included, but "." and ".."
};

// Fills `entries` with the matches, sorted by name (byte order). Returns 0 when at
// least one entry matched, 2 when none did, 3 when the directory does not exist,
// 21 when the drive is not ready, 123 for an invalid pattern.
[[nodiscard]] WinError FindFiles(std::string_view pattern, FindSelection selection,
                                 std::vector<FindEntry>& entries);

// True when `name` matches the DOS wildcard pattern (case-insensitive, DBCS-aware).
[[nodiscard]] bool MatchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace platform
