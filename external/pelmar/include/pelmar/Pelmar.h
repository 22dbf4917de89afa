// Pelmar, the PDB writer library: the contract the converter links against (Pelmar.DLL).
//
// During a conversion the converter keeps the PDM-only extension data (layer
// definitions, pens, fonts, paint pens, symbol and line-pattern attributes, fill holes)
// in an extension file beside the new PDB, named like the PDB with the extension ".F"
// and two digits. Every Put call below appends one tagged entry to that file; at the
// end PDB_Union_DraftNPdmDataBase merges the entries into the PDB's extension area.
// The byte layout of the file and of its entries is in docs/pdb-form.md, "The
// extension area".
//
// Common rules of every function:
// - Paths are Windows paths of the prefix (code page 932, NUL-terminated), e.g.
//   "C:\PDM\TMP\ZU0001.F01"; they are resolved through the prefix's drives.
// - Texts (layer and face names) are code page 932, NUL-terminated; a text longer
//   than its field is cut on a character boundary, never inside a double-byte
//   character.
// - Doubles are passed by value and stored as IEEE little-endian f64 unchanged.
// - Every result is a signed 32-bit code: 0 success, else one of the PELMAR_E_ codes
//   below. Nothing is thrown, nothing is printed.
// - Soundness: when a Put call returns 0 its entry and every earlier one are in the
//   file; a process killed during a Put loses at most that entry, never an earlier
//   one, and never leaves a file that later calls refuse. A failed Put leaves the
//   file as it was. The appends are not synced to the disk (the file is a working
//   file of one conversion); the union's save of the PDB is.
// - The functions may be called from several threads of a process (appends and
//   unions are serialised inside the library); two processes must not write the same
//   extension file or merge into the same PDB at once.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Result codes (all negative so that they never collide with the converter's own
// statuses and exit codes when it hands a Pelmar result on).
enum {
    PELMAR_OK = 0,
    PELMAR_E_ARGUMENT = -1,     // a null pointer, or a value outside its field's range
    PELMAR_E_PATH = -2,         // the Windows path cannot be resolved (no such drive,
                                // drive not ready, malformed or invalid code page 932)
    PELMAR_E_NOT_FOUND = -3,    // the extension file or the PDB does not exist
    PELMAR_E_BAD_EXTFILE = -4,  // the extension file is damaged or not one (wrong magic or
                                // revision, an entry that does not fit or has the wrong
                                // size for its tag, counts that do not fit the file)
    PELMAR_E_IO = -5,           // reading or writing failed (denied, disk full)
    PELMAR_E_ORDER = -6,        // a call out of its order (a further hole piece without
                                // a preceding piece of the same hole)
    PELMAR_E_BAD_PDB = -7,      // the PDB is not a valid file in PDB form
    PELMAR_E_TOO_LARGE = -8,    // the extension file or the merged PDB would exceed the
                                // size limits (see PELMAR_MAX_EXTFILE_SIZE), or a hole
                                // of more than 65,535 pieces
};

// The extension file never grows beyond this many bytes (a Put that would pass it
// returns PELMAR_E_TOO_LARGE); a larger file is refused on reading.
enum { PELMAR_MAX_EXTFILE_SIZE = 256 * 1024 * 1024 };

// Hole piece types and record sizes. A hole piece record is an i16 piece type
// (little-endian) followed by the piece's f64 values (little-endian, unaligned):
//   type 2, a segment: start x, y, end x, y        -> 2 + 4 * 8 = 34 bytes
//   type 3, an arc: its six values (the drawing's)  -> 2 + 6 * 8 = 50 bytes
//   type 4, a circle: centre x, y, radius           -> 2 + 3 * 8 = 26 bytes
// The library reads the type first and then exactly the size of that type; for any
// other type it reads nothing more and returns PELMAR_E_ARGUMENT.
enum {
    PELMAR_HOLE_SEGMENT = 2,
    PELMAR_HOLE_ARC = 3,
    PELMAR_HOLE_CIRCLE = 4,
    PELMAR_HOLE_SEGMENT_SIZE = 34,
    PELMAR_HOLE_ARC_SIZE = 50,
    PELMAR_HOLE_CIRCLE_SIZE = 26,
};

// Non-zero when the file at `path` already is a converted PDB: a valid file in PDB
// form whose flag "carries merged extension data" is set. 0 for a drawing (a file in
// PDB form without that flag), for a file that does not load (missing, unreadable,
// damaged, not in PDB form) and for a null or unresolvable path. Never changes the file.
int32_t PDB_Query_PdmDataBase(const char* path);

// Starts the extension file `extPath` with its header and the head entry (tag 1)
// holding `sourceKind`. Called first and once per conversion. A file already at
// `extPath` (left by an earlier run) is replaced whole and atomically: afterwards the
// file holds exactly the head entry. The folder must exist.
// Results: 0; PELMAR_E_ARGUMENT (null path), PELMAR_E_PATH, PELMAR_E_NOT_FOUND (the
// folder is missing), PELMAR_E_IO.
int32_t PDB_Put_HeadInfo(const char* extPath, int32_t sourceKind);

// The Put calls below append one entry to an extension file that PDB_Put_HeadInfo has
// started. Common results: 0; PELMAR_E_ARGUMENT; PELMAR_E_PATH; PELMAR_E_NOT_FOUND (no
// extension file: PDB_Put_HeadInfo was not called); PELMAR_E_BAD_EXTFILE (the file
// does not validate; nothing is appended); PELMAR_E_IO; PELMAR_E_TOO_LARGE.

// A pen (tag 3): pen number, colour, line width, colour code and width code, stored
// unchanged. Once per pen after the walk.
int32_t PDB_Put_PenInfo_CL(const char* extPath, int16_t penNo, uint8_t red, uint8_t green,
                           uint8_t blue, double width, int32_t rgbCD, int32_t widthCD);

// A TrueType face for a font id (tag 4). `faceName` (NUL-terminated) is stored in a
// 32-byte field: at most 31 bytes of name, cut on a character boundary, NUL-padded.
// A null `faceName` is PELMAR_E_ARGUMENT; an empty one is stored empty.
int32_t PDB_Put_TrueTypeFontName(const char* extPath, int16_t fontId, const char* faceName);

// A paint pen (tag 5), same values as a pen; the converter passes width 0.13, colour
// code = the paint number and width code 1. Once per filled element.
int32_t PDB_Put_PaintPenInfo_CL(const char* extPath, int16_t paintNo, uint8_t red, uint8_t green,
                                uint8_t blue, double width, int32_t rgbCD, int32_t widthCD);

// A layer definition (tag 2). `layerNo` 1..255 (else PELMAR_E_ARGUMENT). `layerName`
// (NUL-terminated) is stored in a 16-byte field: at most 16 bytes, cut on a character
// boundary, NUL-padded (not terminated when it fills the field). Null name:
// PELMAR_E_ARGUMENT.
int32_t PDB_DEF_LAYER_Plus(const char* extPath, int16_t layerNo, const char* layerName, uint8_t red,
                           uint8_t green, uint8_t blue, double width);

// The symbol attribute of a text element (tag 6): element number `elemNo` (>= 1, else
// PELMAR_E_ARGUMENT), ratio, flag, d7 and d9 stored unchanged. The library writes
// whatever it is given; deciding whether the attribute is needed (ratio != 1.0, flag,
// d7 or d9 non-zero) is the caller's.
int32_t PDB_ATT_SYMB_Plus(const char* extPath, int32_t elemNo, double ratio, int32_t flag,
                          double d7, double d9);

// The dash pattern of a line element kept as an attribute (tag 7): element number
// `elemNo` (>= 1), the segment count `segcnt` as the drawing gives it, and the floats
// of the drawing's line attribute. The library reads exactly m = max(8, segcnt) floats
// from `floats` (type 5 patterns are eight floats, type 6 patterns `segcnt` floats),
// so the caller's array must hold at least that many; they are stored unchanged with
// their count m. Null `floats`: PELMAR_E_ARGUMENT.
int32_t PDB_ATT_LINE_Plus(const char* extPath, int32_t elemNo, uint8_t segcnt, const float* floats);

// Hole pieces of a fill (tag 8). `elemNo` is the fill's element number (>= 1),
// `holeNo` the hole number, 1..65535; `piece` points to one hole piece record (size by
// its type, see above). PDB_Put_hole_prm writes the first piece of a hole (piece index
// 0); PDB_Put_hole_prmNext writes the next piece of the same hole, and requires that
// the last entry of the file is a piece of hole `holeNo` of element `elemNo`
// (otherwise PELMAR_E_ORDER, nothing written); its piece index is that piece's + 1
// (more than 65,535 pieces: PELMAR_E_TOO_LARGE). A piece of an unknown type or a null
// `piece` is PELMAR_E_ARGUMENT.
int32_t PDB_Put_hole_prm(const char* extPath, int32_t elemNo, int32_t holeNo, const void* piece);
int32_t PDB_Put_hole_prmNext(const char* extPath, int32_t elemNo, int32_t holeNo,
                             const void* piece);

// Closes hole `holeNo` of element `elemNo` (tag 9, the hole end): records how many
// pieces the hole has, counting the pieces of that hole that directly precede it (0
// when the last entry is not a piece of that hole: an empty hole). Readers use it to
// tell a complete hole from one whose conversion was cut short.
int32_t PDB_Put_hole_prmEnd(const char* extPath, int32_t elemNo, int32_t holeNo);

// Prepares the extension file for the union: validates it and compacts it, i.e.
// drops the bytes of an interrupted last append (bytes after the entries that the
// header counts) and rewrites the file atomically when there were any; a file without
// such bytes is left untouched. Results: 0; PELMAR_E_ARGUMENT, PELMAR_E_PATH,
// PELMAR_E_NOT_FOUND, PELMAR_E_BAD_EXTFILE (the file is left as it is), PELMAR_E_IO.
int32_t PDB_PdmExData_resize(const char* extPath);

// Merges the extension file into the PDB: validates the extension file (its counted
// entries; bytes of an interrupted last append are ignored), loads and validates the
// PDB, appends every entry in file order to the PDB's extension area, sets the flag
// "carries merged extension data" and rewrites the PDB whole and atomically. On any
// failure, and when the process is killed during the call, the PDB is left exactly as
// it was. The extension file is not changed. Results: 0; PELMAR_E_ARGUMENT,
// PELMAR_E_PATH, PELMAR_E_NOT_FOUND (either file missing), PELMAR_E_BAD_EXTFILE,
// PELMAR_E_BAD_PDB, PELMAR_E_TOO_LARGE (the merged PDB would be too large),
// PELMAR_E_IO (the PDB could not be written).
int32_t PDB_Union_DraftNPdmDataBase(const char* pdbPath, const char* extPath);

#ifdef __cplusplus
}
#endif
