// Reading and writing a whole file in PDB form.
//
// Load reads and validates everything before it hands out a model: magic,
// revision, block count, CRCs, section bounds and overlaps, entry sizes, counts
// that do not fit, element records against their slots and kinds, positions that
// are not live elements, placement cycles. It never reads beyond the data and
// never allocates more than the file's size justifies. A directory of all zero
// bytes is an empty drawing of the file's head block.
//
// Save lays out the sections from block 2 on, computes the CRCs, pads to at least
// 20 blocks and replaces the file atomically (temporary file, fsync, rename), so a
// reader sees the old file or the new one. Removed elements' records are dropped
// (their positions stay removed). The written generation is the model's + 1.
#pragma once

#include <string>

#include "pdbform/PdbFile.h"
#include "pdbform/Status.h"

namespace pdbform {

// Files larger than this are refused (kBadFileSize) rather than read into memory.
inline constexpr std::uint64_t kMaxFileSize = 1ull << 30;

// Reads `hostPath` (UTF-8 host path) into `out`. kOk; or the status of the first
// check that failed, with `reason` (optional) naming the section or position. On
// failure `out` is unchanged.
[[nodiscard]] Status Load(const std::string& hostPath, PdbFile& out, std::string* reason = nullptr);

// The same check and read over bytes already in memory.
[[nodiscard]] Status Parse(const std::vector<std::uint8_t>& bytes, PdbFile& out,
                           std::string* reason = nullptr);

// The bytes Save would write (generation = file.generation + 1). kOk, or why the
// model cannot be written as a file that loads again: the CheckReferences status,
// kBadRecord (a fixed part of the wrong length for its kind), kBadTable (a line
// attribute of more than 255 values, a layer number outside 1-255 or twice, a
// definition of more than 16,382 members, a paint area or fill too large or a
// hole piece whose values do not match its code), kBadSectionTable (over 100
// sections) or kBadFileSize (over kMaxFileSize). Nothing is written then.
[[nodiscard]] Status Serialize(const PdbFile& file, std::vector<std::uint8_t>& out,
                               std::string* reason = nullptr);

// Writes `file` to `hostPath` atomically. kOk (and file.generation is the new
// generation), a Serialize status (nothing written) or kWriteFailed (the old file
// is untouched).
[[nodiscard]] Status Save(PdbFile& file, const std::string& hostPath,
                          std::string* reason = nullptr);

}  // namespace pdbform
