// Results of reading and writing a file in PDB form.
//
// Every operation of the library reports one of these codes; nothing is thrown.
// A refused file is never partly loaded: the caller's model is left as it was.
#pragma once

#include <cstdint>

namespace pdbform {

enum class Status : std::uint8_t {
    kOk = 0,
    kOpenFailed,        // the host file could not be opened (missing, denied)
    kReadFailed,        // an I/O error while reading
    kWriteFailed,       // the atomic write failed; the old file is untouched
    kBadFileSize,       // not a multiple of 2048, under 40,960 bytes, or unreasonably large
    kBadVersion,        // head block version outside 250-260
    kBadMagic,          // directory magic wrong (and the directory not all zero)
    kBadRevision,       // directory revision other than 1
    kBadBlockCount,     // directory block count differs from the file size
    kBadDirectoryCrc,   // the directory's own CRC does not check
    kBadSectionTable,   // more than 100 entries, a duplicated id, a non-zero reserved word
    kBadSectionBounds,  // a section outside the file, over blocks 0-1, or overlapping another
    kBadSectionCrc,     // a section's bytes do not match its CRC, or its padding is not zero
    kBadIndex,          // element index malformed (header, states, slot past the next position)
    kBadRecord,         // an element record does not fit its slot or its kind's fixed size
    kBadTable,          // a table's length does not match its count and entry sizes
    kBadSection,        // any other section whose contents do not parse exactly
    kDeadReference,     // a position that is not a live element where one is required
    kPlacementCycle,    // a placement containing itself, or nesting deeper than 64
    kFull,              // no further element position can be given (32-bit positions used up)
};

// A short English description of `status`, for logs and tools.
[[nodiscard]] const char* StatusText(Status status);

}  // namespace pdbform
