// Quillon, the drawing library: reads one drawing file (a file in PDB form,
// docs/pdb-form.md) through a cursor over its elements and look-ups in its tables.
//
// The contract the converter links against (Quillon.DLL). Every function takes the
// caller's DrawingHandle first. Nothing is thrown; every result is a status or a
// count. All text is code page 932 bytes.
//
// Handle. A DrawingHandle is 288 bytes owned by the caller and zero-filled before
// db_open_ex. Its bytes hold the id of the open drawing (with a check word) and the
// whole cursor state, so a byte copy of an open handle is a second, independent
// cursor on the same drawing: moving one never moves the other. A handle that was
// never opened, was closed, or whose bytes were changed gets kQuillonBadHandle from
// every call (counts and yes/no answers: 0, db_get_holeprm_data: -1), never a crash. db_close of a
// handle closes the drawing for every copy of it: the copies turn stale and get kQuillonBadHandle
// from then on.
//
// Statuses (std::int16_t). 0 is success everywhere. The cursor calls leave their
// status for db_rtn. Output parameters are left as zero / empty when a call fails,
// unless stated otherwise. Every buffer a call fills has its size fixed by a
// constant below; no call writes beyond it, and no call reads beyond the data of
// the file.
//
// Element cursor. An element is read as one byte stream: its kind as stored (2
// bytes, "pkd": +50 for a placement member, negative for a hidden boundary copy),
// then its fixed part (the three header words layer, second word, attribute id, and
// the kind's fields; F bytes), then its variable part (points, boundary items, text,
// member data; R bytes). db_get reads the next n bytes of that stream:
//   - all n bytes there: copied, status 0;
//   - none left: nothing copied, the n bytes zeroed, kQuillonEndOfElement
//     (after the last point, the last item, the text ...);
//   - fewer than n left: those copied, the rest of the n bytes zeroed,
//     kQuillonShortRead (a variable part that is not a whole number of items);
//   - no current element (a drawing without elements, after the last db_skp, after
//     a failed db_seek): the n bytes zeroed, kQuillonNotPositioned.
// The walk: db_head; then repeatedly db_get the 2-byte pkd, db_rtn for pid, read
// the fixed part and the items with db_get, db_seek(pid), db_skp until db_rtn
// gives 1 (kQuillonNoMore). The walk always ends: an element whose record is
// damaged gives kQuillonDamaged where it is reached and the cursor can still step
// past it, and an index block that cannot be read is passed over with
// kQuillonDamaged by db_skp.
//
// An output pointer may be null: that output is then not written.
#pragma once

#include <cstddef>
#include <cstdint>

// The caller-owned record of one open drawing (zero-filled before opening).
struct DrawingHandle {
    std::uint8_t bytes[288];
};
static_assert(sizeof(DrawingHandle) == 288, "DrawingHandle is 288 bytes");

namespace quillon {

// Statuses.
inline constexpr std::int16_t kQuillonOk = 0;
inline constexpr std::int16_t kQuillonNoMore = 1;          // no (more) element, entry or item
inline constexpr std::int16_t kQuillonEndOfElement = 2;    // db_get: the element has no more bytes
inline constexpr std::int16_t kQuillonShortRead = 3;       // db_get: fewer bytes left than asked
inline constexpr std::int16_t kQuillonNotFound = 4;        // no such id, code, layer, record, entry
inline constexpr std::int16_t kQuillonBadHandle = 5;       // not open, closed, stale or forged
inline constexpr std::int16_t kQuillonBadArgument = 6;     // null pointer, bad size or index
inline constexpr std::int16_t kQuillonDamaged = 7;         // a record failed its checks on reading
inline constexpr std::int16_t kQuillonReadError = 8;       // the file could not be read
inline constexpr std::int16_t kQuillonTooLong = 9;         // db_rest_record: over 65,535 bytes
inline constexpr std::int16_t kQuillonNotPositioned = 10;  // no current element
// db_open_ex only (kept apart from the statuses the converter gives its own codes to).
inline constexpr std::int16_t kQuillonOpenBadPath = 40;  // no Windows path of the prefix
inline constexpr std::int16_t kQuillonOpenMissing = 41;  // no such file, or it cannot be opened
inline constexpr std::int16_t kQuillonOpenTooMany = 42;  // kQuillonMaxOpenDrawings are open
inline constexpr std::int16_t kQuillonOpenBadMode = 43;  // a mode other than 2, flag other than 1
inline constexpr std::int16_t kQuillonOpenBadArgument = 44;  // null handle or path
// 100 + n: the file is not a readable drawing; n is the first check that failed:
// 4 size, 5 head version, 6 directory magic, 7 revision, 8 block count, 9 directory
// CRC, 10 section table, 11 section bounds, 12 section CRC or padding, 13 element
// index, 14 element record, 15 table, 16 other section, 17 a reference to a dead
// element, 18 a placement containing itself (or nesting deeper than 64); 102 a read
// error.
inline constexpr std::int16_t kQuillonOpenBadFile = 100;

// At most this many drawings are open at once in one process.
inline constexpr std::size_t kQuillonMaxOpenDrawings = 256;

// Buffer sizes. Names come in two forms, as the converter uses them:
//  - head texts (get_sysnam, get_pname, get_pmsg, get_selnam, get_gname) come
//    length-prefixed: byte 0 is the length L, bytes 1..L the text, the rest of the
//    buffer zero; the caller converts them in place to NUL-terminated text (the
//    buffer has room for the L bytes and the NUL);
//  - layer names, face names and the background image name come NUL-terminated.
inline constexpr std::size_t kSystemNameSize = 17;      // get_sysnam: L <= 16
inline constexpr std::size_t kPaperNameSize = 17;       // get_pname: L <= 16
inline constexpr std::size_t kMessageSize = 256;        // get_pmsg: L <= 255
inline constexpr std::size_t kSelectionNameSize = 256;  // get_selnam: L <= 255
// get_gname: L <= 16. A stored group name of 17 bytes is cut to 16 at a character
// boundary, so it and its NUL fit the 17-byte slot.
inline constexpr std::size_t kGroupNameSize = 17;
inline constexpr std::int16_t kGroupNameCount = 11;       // indexes 0-10
inline constexpr std::size_t kHeadValueCount = 8;         // get_pframe / get_psize: eight i32
inline constexpr std::size_t kLayerNameSize = 17;         // 16 bytes and the NUL
inline constexpr std::size_t kLayerRecordCount = 9;       // nine doubles
inline constexpr std::size_t kLineFloatCount = 255;       // get_att_line_ex floats
inline constexpr std::size_t kFaceNameSize = 32;          // 31 bytes and the NUL
inline constexpr std::size_t kBackgroundNameSize = 260;   // 259 bytes and the NUL
inline constexpr std::size_t kRgbSize = 3;                // red, green, blue
inline constexpr std::size_t kModeBlockSize = 2048;       // get_mode_inf
inline constexpr std::size_t kSheetInfoSize = 2048;       // prtjkn_infrep
inline constexpr std::size_t kSheetDeviceIdOffset = 536;  // i32 device id in an entry

// db_read_ex record: kReadExRecordSize bytes, little-endian, laid out as the
// placements section stores a record: u32 position of the element it belongs to,
// u16 record type (1 placement, 2 definition), u16 payload length L, then L bytes,
// the rest of the buffer zero.
//   placement (L = 56): i16 layer override, i16 override pen, u8 pen flag (0 = the
//     override pen applies), u8 0, u16 0, five f64 (translation x, y, rotation,
//     scale x, scale y), u32 position of the definition, u32 0;
//   definition (L = 4): u32 member count c. The c member positions (u32 each) are
//     then read as the rest: db_rest_record gives 4c, db_get reads them.
inline constexpr std::size_t kReadExRecordSize = 64;
inline constexpr std::size_t kReadExPosition = 0;
inline constexpr std::size_t kReadExType = 4;
inline constexpr std::size_t kReadExLength = 6;
inline constexpr std::size_t kReadExPayload = 8;
inline constexpr std::uint16_t kReadExPlacement = 1;
inline constexpr std::uint16_t kReadExDefinition = 2;
inline constexpr std::size_t kPlacementLayerOverride = kReadExPayload + 0;  // i16
inline constexpr std::size_t kPlacementOverridePen = kReadExPayload + 2;    // i16
inline constexpr std::size_t kPlacementPenFlag = kReadExPayload + 4;        // u8
inline constexpr std::size_t kPlacementValues = kReadExPayload + 8;         // five f64
inline constexpr std::size_t kPlacementDefinition = kReadExPayload + 48;    // u32
inline constexpr std::size_t kDefinitionMemberCount = kReadExPayload + 0;   // u32

// The record of one boundary or hole element (db_get_expaint_areaprm,
// db_get_holeprm3): u32 position, i16 kind as stored, u16 0.
inline constexpr std::size_t kElementRefSize = 8;

// A fill's hole piece (db_get_holeprm): u16 piece code (1 line, 2 arc, 3 circle,
// 4 polygon, 5 curve, 6 elliptic arc), u16 0, u32 point count c (codes 4 and 5,
// else 0), then seven f64 values (four for a line, six for an arc, three for a
// circle, seven for an elliptic arc; unused ones zero).
inline constexpr std::size_t kHolePieceSize = 64;
inline constexpr std::size_t kHolePieceCode = 0;
inline constexpr std::size_t kHolePiecePointCount = 4;
inline constexpr std::size_t kHolePieceValues = 8;
inline constexpr std::size_t kHolePointSize = 16;  // x, y as f64

}  // namespace quillon

// The library is built with hidden symbols; these functions are its exports.
#pragma GCC visibility push(default)
extern "C" {

// ---- Open and close -------------------------------------------------------------

// Opens the drawing at `path` (a Windows path of the prefix, code page 932) for
// reading: mode 2, flag 1 (the only combination served). The whole frame of the file
// and its tables are checked here; the elements are read as the cursor reaches them.
// 0 open (the cursor is before the first element: call db_head); else a
// kQuillonOpen* status and the handle is left zero. A handle that is still open is
// closed first.
std::int16_t db_open_ex(DrawingHandle* h, const char* path, std::int16_t mode, std::int16_t flag);

// Closes the drawing; the handle and every copy of it turn stale. 0, or
// kQuillonBadHandle (nothing was open through this handle).
std::int16_t db_close(DrawingHandle* h);

// ---- Head texts and values ------------------------------------------------------
// A drawing without head texts gives empty names and zero values with status 0.

// System name (length-prefixed, kSystemNameSize) and its number.
std::int16_t get_sysnam(DrawingHandle* h, char* name, std::int16_t* number);
// Paper name (length-prefixed, kPaperNameSize) and its number.
std::int16_t get_pname(DrawingHandle* h, char* name, std::int16_t* number);
// The message (length-prefixed, kMessageSize).
std::int16_t get_pmsg(DrawingHandle* h, char* text);
// The selection name (length-prefixed, kSelectionNameSize).
std::int16_t get_selnam(DrawingHandle* h, char* name);
// Group name `index` 0-10 (length-prefixed, kGroupNameSize); another index:
// kQuillonBadArgument.
std::int16_t get_gname(DrawingHandle* h, std::int16_t index, char* name);
// The four frame / size values, passed through as the eight i32 words that hold them
// (kHeadValueCount).
std::int16_t get_pframe(DrawingHandle* h, std::int32_t* values);
std::int16_t get_psize(DrawingHandle* h, std::int32_t* values);
// Value field `field` 0-255 of the head block: the i16 at byte 512 + 2 * field
// (field 0 is the current layer word at 512, field 1 the word at 514). Another
// field: kQuillonBadArgument.
std::int16_t rep_vfield(DrawingHandle* h, std::int16_t field, std::int16_t* value);
// The mode block: the drawing's 2048-byte head block, of which min(size, 2048)
// bytes are copied (the rest of `size` is not touched). `kind` must be 0 and size
// at least 0, else kQuillonBadArgument.
std::int16_t get_mode_inf(DrawingHandle* h, std::int16_t kind, void* buffer, std::int32_t size);

// ---- Layers ---------------------------------------------------------------------

// The highest layer number defined (0 without layers).
std::int16_t max_layer(DrawingHandle* h, std::int16_t* max);
// Layer `lno`: name (NUL-terminated, kLayerNameSize), the two values a and b, the
// layer record (kLayerRecordCount doubles) and the skip flag. A number without a
// layer entry gives skip 1 (non-zero: no such layer), the rest zero, status 0; a
// number outside 1-255: skip 1 and kQuillonNotFound.
std::int16_t rep_layer(DrawingHandle* h, std::int16_t lno, char* name, std::int16_t* a,
                       std::int16_t* b, double* record, std::int16_t* skip);
// As rep_layer, with the colour code, the width code and the value x.
std::int16_t rep_layer_ex2(DrawingHandle* h, std::int16_t lno, char* name, std::int16_t* colourCode,
                           std::int16_t* widthCode, std::int16_t* a, std::int16_t* b,
                           double* record, double* x, std::int16_t* skip);

// ---- Element cursor -------------------------------------------------------------

// Positions the cursor on the first live element. 0, or kQuillonNoMore when the
// drawing has none.
std::int16_t db_head(DrawingHandle* h);
// Reads the next `n` bytes (n >= 0) of the current stream into `buffer` (see the
// top of this file): the element's stream, or after db_read_ex of a definition its
// member list. Returns the status db_rtn then gives.
std::int16_t db_get(DrawingHandle* h, void* buffer, std::int32_t n);
// The status of the last cursor call (db_head, db_get, db_seek, db_skp, db_read_ex,
// db_rest_record) and in `pid` the position of the current element; after a failed
// db_seek or a damaged element the position that was asked for or reached (so that
// db_seek(pid) and db_skp step past it); 0 before db_head and after the last element.
// A handle just opened gives 0 and pid 0.
std::int16_t db_rtn(DrawingHandle* h, std::int32_t* pid);
// Positions the cursor on the element at position `pid`, at the start of its stream.
// 0; kQuillonNotFound when no live element is there (then the cursor has no current
// element, but db_skp goes on after `pid`); kQuillonDamaged / kQuillonReadError.
std::int16_t db_seek(DrawingHandle* h, std::int32_t pid);
// Moves to the next live element after the current position. 0, or kQuillonNoMore
// when there are no more elements (db_rtn then gives 1 and pid 0).
std::int16_t db_skp(DrawingHandle* h);
// Reads the placement or definition record of the current element into `record`
// (kReadExRecordSize, layout above). An element with a placement record gives the
// placement, except that the definition is given when the last placement read on
// this cursor named this element as its definition; an element with only a
// definition gives the definition. After a definition the cursor's stream is the
// member list (db_rest_record, db_get) until the next db_head, db_seek or db_skp.
// 0; kQuillonNotPositioned; kQuillonNotFound (no such record: `record` zeroed).
std::int16_t db_read_ex(DrawingHandle* h, void* record);
// The number of bytes left in the current stream (from the current read offset to
// its end), read next with db_get. 0; kQuillonNotPositioned; kQuillonTooLong when
// the count exceeds 65,535 (n is then 0).
std::int16_t db_rest_record(DrawingHandle* h, std::uint16_t* n);

// ---- Attributes by id (0 = found; kQuillonNotFound for 0, negative or unknown ids)

std::int16_t get_att_pnt(DrawingHandle* h, std::int16_t aid, std::int16_t* pen);
// Pen, line type, segment count and the attribute's floats, copied into `floats`
// (kLineFloatCount): the m stored floats (8 <= m <= 255), the rest of the 255 zero.
std::int16_t get_att_line_ex(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                             std::int16_t* lineType, std::uint8_t* segcnt, float* floats);
std::int16_t get_att_face(DrawingHandle* h, std::int16_t aid, std::int16_t* paintNo,
                          std::int16_t* ppat);
std::int16_t get_att_mark(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                          std::int16_t* markNo, double* size);
std::int16_t get_att_symb(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                          std::int16_t* fontId, double* height);
std::int16_t get_att_symb_detail(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                                 std::int16_t* fontId, double* height, double* ratio, double* d7,
                                 double* d8, double* d9);
std::int16_t get_att_arrow(DrawingHandle* h, std::int16_t aid, std::int16_t* arrowType,
                           std::int16_t* arrowEnds, double* arrowSize);

// ---- Pens, widths, colours, fonts (looked up by code, first entry first) -------

// 0 found; kQuillonNotFound.
std::int16_t db_get_peninfo(DrawingHandle* h, std::int16_t pen, std::int16_t* widthCode,
                            std::int16_t* colourCode);
std::int16_t db_get_lwidthinfo(DrawingHandle* h, std::int16_t widthCode, float* width);
// Red, green, blue into `rgb` (kRgbSize bytes).
std::int16_t db_get_colorinfo(DrawingHandle* h, std::int16_t colourCode, std::uint8_t* rgb);
std::int16_t db_get_paint_color(DrawingHandle* h, std::int16_t paintNo, std::uint8_t* rgb);
// The font's values a, b and face name (NUL-terminated, kFaceNameSize). 1 found,
// 0 failure (unknown id, bad handle or pointer).
std::int32_t db_getkelfontinfomation(DrawingHandle* h, std::int16_t fontId, std::int16_t* a,
                                     std::int16_t* b, char* faceName);

// ---- Paint areas (kind 29): boundary enumeration --------------------------------
// The enumeration state lives in the handle beside the cursor and is not touched by
// the cursor calls, so the boundary elements can be read with db_seek on the same
// handle or on a copy.

// Starts the enumeration of the paint area at `pid`; `visible` gets its visible flag
// (1 or 0). 0 started; kQuillonNotFound (no paint area there).
std::int16_t db_get_expaint_area_start(DrawingHandle* h, std::int32_t pid, std::int16_t* visible);
// The number of boundary elements of the started area (0 when none is started).
std::int32_t db_get_expaint_areaprm_count(DrawingHandle* h);
// The next boundary element: `record` (kElementRefSize) and its position in `pid`.
// 0 found; kQuillonNoMore after the last; kQuillonNotPositioned without a start.
std::int16_t db_get_expaint_areaprm(DrawingHandle* h, void* record, std::int32_t* pid);
// Ends the enumeration. 0.
std::int16_t db_get_expaint_area_end(DrawingHandle* h);

// ---- Holes of a fill (kind 16) or of a paint area (kind 29) ---------------------
// Holes are numbered 1..db_get_hole_count. A fill's hole is a list of pieces
// (db_get_holeprm, db_get_holeprm_data); a paint area's hole a list of elements
// (db_get_holeprm3).

// Starts the holes of the fill or paint area at `pid`. 0 started (a fill without a
// holes record has 0 holes); kQuillonNotFound when `pid` is neither.
std::int16_t db_get_hole_start(DrawingHandle* h, std::int32_t pid);
// The number of holes (0 when none is started).
std::int32_t db_get_hole_count(DrawingHandle* h);
// Selects hole `index` (1-based). 0; kQuillonNotFound for an index out of range;
// kQuillonNotPositioned without db_get_hole_start.
std::int16_t db_get_holeprm_start(DrawingHandle* h, std::int32_t index);
// As db_get_holeprm_start, with the hole's visible flag (fills: always 1).
std::int16_t db_get_holeprm_start2(DrawingHandle* h, std::int32_t index, std::int16_t* visible);
// The number of pieces (fill) or elements (paint area) of the selected hole; 0 when
// none is selected.
std::int32_t db_get_holeprm_count(DrawingHandle* h);
// The next piece of the selected fill hole into `piece` (kHolePieceSize). 0;
// kQuillonNoMore after the last (or for a paint area's hole).
std::int16_t db_get_holeprm(DrawingHandle* h, void* piece);
// The next element of the selected paint-area hole: `record` (kElementRefSize) and
// its position in `pid`. 0; kQuillonNoMore after the last (or for a fill's hole).
std::int16_t db_get_holeprm3(DrawingHandle* h, void* record, std::int32_t* pid);
// The points of the piece last given by db_get_holeprm (codes 4 and 5), 16 bytes
// each (x, y), as many whole points as fit in `bytes`. A polygon (code 4) of c
// stored points is delivered as c + 1 points: the c points and its first point again,
// which closes it, so c edges can be taken from consecutive points. A curve (code 5)
// is delivered as its c points. Returns the number of bytes written (a multiple of
// 16; 0 for a piece without points), or -1 when no piece is current or an argument is
// bad. Nothing is read beyond the stored points and nothing written beyond `bytes`.
std::int32_t db_get_holeprm_data(DrawingHandle* h, void* buffer, std::int32_t bytes);
// Ends the selected hole / the hole enumeration. 0.
std::int16_t db_get_holeprm_end(DrawingHandle* h);
std::int16_t db_get_hole_end(DrawingHandle* h);

// ---- Background image and sheet information --------------------------------------

// 1 when the drawing has a background image: its name (NUL-terminated,
// kBackgroundNameSize), the two values a, b and the four bytes c, d, e, f. Else 0
// with the outputs zero.
std::int32_t db_backimg_get(DrawingHandle* h, char* name, std::int32_t* a, std::int32_t* b,
                            std::uint8_t* c, std::uint8_t* d, std::uint8_t* e, std::uint8_t* f);
// 1 when the drawing has sheet information (any of entries 1-4), else 0.
std::int32_t prtjkn_chkrep(DrawingHandle* h);
// Sheet information entry `entry` (1-4): min(size, 2048) bytes copied. An entry that
// is absent is delivered as zero bytes (device id 0) with kQuillonNotFound. `kind`
// must be 0; another entry number, kind or a negative size: kQuillonBadArgument.
std::int16_t prtjkn_infrep(DrawingHandle* h, std::int16_t entry, std::int16_t kind, void* buffer,
                           std::int32_t size);

}  // extern "C"
#pragma GCC visibility pop
