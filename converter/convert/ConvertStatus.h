// The status codes of a conversion (signed 32-bit, 0 success), as the conversion step
// returns them and the job passes them on as its exit code. A status of a library
// underneath (a non-zero db_open_ex status, a Pelmar result) is passed on unchanged
// and is none of these.
#pragma once

inline constexpr int kConvertOk = 0;
// No memory for a buffer of the conversion.
inline constexpr int kConvertNoMemory = 5;
// An attribute, pen, colour, width or font lookup in the drawing failed.
inline constexpr int kConvertLookupFailed = 11;
// A curve could not be sampled.
inline constexpr int kConvertSamplingFailed = 12;
// An element whose data does not fit its kind: a text length that is negative or beyond
// the data the element holds, an element Quillon reports as damaged.
inline constexpr int kConvertBadElement = 14;
// A placement nested deeper than kWalkMaxPlacementDepth, or one that contains itself.
inline constexpr int kConvertPlacementTooDeep = 15;
// A placement whose members, nested placements expanded, pass kWalkMaxPlacedMembers.
inline constexpr int kConvertPlacementTooLarge = 16;
// The new PDB could not be opened (created) through the database manager.
inline constexpr int kConvertPdbOpenFailed = 21;
// Closing the PDB through the database manager reported an error, or requests of the
// session were lost on the pipe.
inline constexpr int kConvertPdbCloseFailed = 22;
