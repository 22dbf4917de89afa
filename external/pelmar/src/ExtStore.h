// The extension file: starting it, appending one entry, compacting it and reading it
// whole. Paths here are host paths; results are the PELMAR_ codes of Pelmar.h.
//
// Append protocol (a process killed at any point keeps every entry counted before it):
//   1. write the entry after the last counted entry (over any remains of an earlier
//      interrupted append) and cut the file after it;
//   2. write the new count into the header (a 4-byte write inside the first block).
// Killed before 2 completes, the entry lies after the counted end and is ignored; the
// next append writes over it. The call returns 0 only after step 2.
//
// To keep an append from rereading the whole file, the state after the last append
// (counted end, count, last hole piece) is remembered per file for as long as the
// file's identity, size and modification time are unchanged; any other change makes
// the next call scan the file again. All functions hold one process-wide lock.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "ExtFormat.h"

namespace pelmar {

// Writes a new extension file holding only the head entry with `content`,
// replacing any file at `hostPath` atomically.
[[nodiscard]] std::int32_t StartExtFile(const std::string& hostPath,
                                        std::span<const std::uint8_t> content);

// Builds the content of the entry to append from what the file ends with; returns 0
// or a PELMAR_ code that abandons the append (nothing written).
using ContentMaker = std::function<std::int32_t(const LastPiece& last, ContentBuilder& out)>;

// Appends one entry of `tag` to the valid extension file `hostPath` (protocol above).
[[nodiscard]] std::int32_t AppendEntry(const std::string& hostPath, std::uint16_t tag,
                                       const ContentMaker& make);

// Reads and checks the whole file: its bytes and where each counted entry lies.
[[nodiscard]] std::int32_t ReadExtFile(const std::string& hostPath,
                                       std::vector<std::uint8_t>& bytes, ExtScan& scan);

// Drops the remains of an interrupted append: rewrites the file atomically with
// exactly its counted entries when anything follows them; else leaves it untouched.
[[nodiscard]] std::int32_t CompactExtFile(const std::string& hostPath);

}  // namespace pelmar
