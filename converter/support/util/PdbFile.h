// Files in PDB form read directly, without the database manager: the head block and the
// test whether a file is a PDB at all.
//
// A PDB file is a sequence of 2048-byte blocks, at least 20 of them (40 960 bytes); its
// first block is the head block, whose first 16-bit word (little-endian) is the format
// version, 250 to 260.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

inline constexpr std::size_t kPdbBlockSize = 2048;
inline constexpr std::size_t kPdbHeadSize = kPdbBlockSize;
inline constexpr std::uint64_t kPdbMinimumSize = 40960;
inline constexpr int kPdbFirstVersion = 250;
inline constexpr int kPdbLastVersion = 260;

// 1 when `path` is a file in PDB form: its size (PdmDos_FileSize) is at least 40 960
// bytes and a multiple of 2048, and its first 16-bit word lies between 250 and 260; with
// `checkReadOnly`, a file with the read-only attribute is refused as well. Else 0, also
// when the file cannot be opened or read. A missing file prints the size's line on
// standard output (see PdmDos_FileSize).
int Pdb_IsValidFile(std::string_view path, bool checkReadOnly);

// Reads the head block of `path` into `buffer`.
//  - `path` does not exist: prints "PdmDb_Head_DirectRead _access Error\n", returns 0;
//  - it cannot be opened for reading (a folder, access denied): prints
//    "PdmDb_Head_DirectRead fopen Error\n", returns 0;
//  - fewer than 2048 bytes could be read: prints "PdmDb_Head_DirectRead fread Error\n"
//    and still returns 1; the bytes read are at the start of `buffer`, the rest of it is
//    zero-filled;
//  - otherwise returns 1 with the block in `buffer`.
// The lines go to standard output, not to the debug pipe. `buffer` is untouched when 0
// is returned.
int PdmDb_Head_DirectRead(std::string_view path, std::span<std::uint8_t, kPdbHeadSize> buffer);
