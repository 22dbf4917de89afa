// The state of one element walk and the pieces of a conversion that every element kind
// shares: the header words, the line attribute, the pen and paint registrations.
//
// One ElementWalkContext exists per walk; Make_PDB_GetPut_Main receives it for every
// element, placed members included. The layer override is process-wide: it is set to 0
// before each top-level element and set by a placement for its members.
//
// The same per-kind conversions serve both levels of the conversion step. At the normal
// level every element becomes records of a new PDB. At the down level the PDB starts as
// a byte copy of the drawing, so an element is written only where it must be replaced
// (dashed line types, ellipses, Bézier curves, paint areas), and the replaced element is
// then removed from the copy (Walk_RemoveReplaced); every other element is only
// registered (pens, paint colours, text attributes, holes), its record already being in
// the copy. Each kind consults the context's level for this.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "quillon/Quillon.h"
#include "support/geometry/GeometryTypes.h"

// The data buffer starts at 64 KiB and grows (doubling) while an element's variable part
// is read into it, up to kWalkDataLimit; an element whose variable part needs more, or
// for which memory runs out, fails with status 5 (kConvertNoMemory). Nothing is ever
// written past the buffer's end.
inline constexpr std::size_t kWalkDataInitial = 64 * 1024;
inline constexpr std::size_t kWalkDataLimit = 256u * 1024 * 1024;

// Placements nest at most this deep (the top-level placement is depth 1). A deeper
// placement, or one that contains itself, fails with kConvertPlacementTooDeep.
inline constexpr int kWalkMaxPlacementDepth = 64;

enum class WalkLevel : std::uint8_t {
    kNormal,     // every element written as new records
    kDownLevel,  // only replaced elements written, the originals removed
};

struct ElementWalkContext {
    WalkLevel level = WalkLevel::kNormal;
    std::vector<std::uint8_t> data;  // the data buffer (see above)
    std::int32_t pid = 0;            // position of the current element
    std::int16_t pkd = 0;            // kind code as read (sign kept; members already -50)
    std::int32_t penOverride = 0;    // non-zero: every element uses overridePen
    std::int16_t overridePen = 0;
    Matrix4 transform{};             // identity at the start of the walk
    std::int16_t imageCount = 0;     // images converted, placed members included
    int placementDepth = 0;          // placements entered and not yet left
    std::int64_t placedMembers = 0;  // members converted under the current top-level placement
};

// The process-wide layer override (0 = none). Each level has its own value: the
// down-level walk selects its own (Walk_UseDownLevelOverride(true)) for its run and the
// normal one again at its end, so that neither walk sees what the other left behind.
[[nodiscard]] std::int16_t Walk_LayerOverride();
void Walk_SetLayerOverride(std::int16_t layer);
void Walk_UseDownLevelOverride(bool on);

[[nodiscard]] inline bool Walk_IsDownLevel(const ElementWalkContext& context) {
    return context.level == WalkLevel::kDownLevel;
}

// The element number of element position n: n - trunc(n / 128) (slot 0 of every index
// block of 128 slots is the block's own header). The number under which the extension
// file keys an element that the down-level conversion keeps from the copy. A position
// that is not positive gives 0.
[[nodiscard]] std::int32_t Walk_ElementNumber(std::int32_t position);

// The last element number of the PDB session (PdmDb_LastElemNo), taken before an element
// is written, for Walk_RemoveReplaced.
[[nodiscard]] std::int32_t Walk_MarkRecords();
// At the down level: when records were put since `mark` (the element was written as
// its replacement), removes the element at context.pid from the PDB
// (PdmDb_DeleteElement). An element whose conversion wrote nothing (a lookup or sampling
// failure) stays in the copy, so a failure never loses it. A member of a placement
// (context.placementDepth > 0) is never removed: its definition, shared by every
// placement of it, must keep all its members for the PDB to stay whole; its pieces are
// written all the same. Nothing at the normal level.
void Walk_RemoveReplaced(const ElementWalkContext& context, std::int32_t mark);

// The record builders' flags word for the context's pkd: 0x8000 set when pkd < 0.
[[nodiscard]] std::int16_t Walk_RecordFlags(const ElementWalkContext& context);

// The three header words of an element's fixed part, the layer already replaced by the
// layer override when that is greater than 0.
struct ElementHeader {
    std::int16_t layer = 0;
    std::int16_t second = 0;
    std::int16_t aid = 0;
};
// Reads the three header words from the start of `fixed` (at least 6 bytes).
[[nodiscard]] ElementHeader Walk_ReadHeader(std::span<const std::uint8_t> fixed);

// A line attribute as get_att_line_ex gives it, the pen already replaced by the
// override pen when the context's override is on.
struct LineAttribute {
    std::int16_t status = 0;  // 0 found
    std::int16_t pen = 0;
    std::int16_t lineType = 0;
    std::uint8_t segcnt = 0;
    std::array<float, quillon::kLineFloatCount> floats{};
    // The three line attribute values of the records: the first three floats widened.
    [[nodiscard]] std::array<double, 3> Values() const { return {floats[0], floats[1], floats[2]}; }
};
// 0 and the attribute, or kConvertLookupFailed (11) when it is not found.
[[nodiscard]] int Walk_ReadLineAttribute(DrawingHandle& handle, const ElementWalkContext& context,
                                         std::int16_t aid, LineAttribute& out);

// A face attribute as get_att_face gives it: the paint colour number and the paint
// pattern (negative for a hatched face).
struct FaceAttribute {
    std::int16_t paintNo = 0;
    std::int16_t ppat = 0;
};
// 0 and the attribute, or kConvertLookupFailed (11) when it is not found.
[[nodiscard]] int Walk_ReadFaceAttribute(DrawingHandle& handle, std::int16_t faceAid,
                                         FaceAttribute& out);

// Reads an element's fixed part (Walk_ReadFixed), its three header words and its line
// attribute. 0, Walk_ReadFixed's status, or kConvertLookupFailed for the attribute.
[[nodiscard]] int Walk_ReadLinedElement(DrawingHandle& handle, ElementWalkContext& context,
                                        std::span<std::uint8_t> element, ElementHeader& header,
                                        LineAttribute& line);

// The pen an element is written with: the override pen when the override is on.
[[nodiscard]] std::int16_t Walk_Pen(const ElementWalkContext& context, std::int16_t attributePen);

// Pen registration after an element: db_get_peninfo, db_get_lwidthinfo, db_get_colorinfo,
// then PenTable_Add. 0, or 11 when any of the three lookups fails.
[[nodiscard]] int Walk_RegisterPen(DrawingHandle& handle, std::int16_t pen);
// Paint colour registration: db_get_paint_color, then PDB_Put_PaintPenInfo_CL with width
// 0.13, colour code = the paint number, width code 1. 0, 11 when the colour is not
// found, or Pelmar's non-zero result.
[[nodiscard]] int Walk_RegisterPaint(DrawingHandle& handle, std::int16_t paintNo);

// Reads the current element's stream from the cursor's read offset to its end into the
// context's data buffer in items of `itemSize` bytes (db_get until db_rtn is non-zero),
// growing the buffer as needed. `count` gets the number of whole items read (bytes of a
// last item cut short are not counted). 0, or kConvertNoMemory when the items do not fit
// in kWalkDataLimit bytes or memory runs out, or kConvertBadElement when Quillon reports
// the element damaged.
[[nodiscard]] int Walk_ReadItems(DrawingHandle& handle, ElementWalkContext& context,
                                 std::size_t itemSize, std::size_t& count);

// Reads an element's fixed part, the bytes right after its pkd, into `element` from byte
// 2 on; bytes 0-1 get the context's pkd, so that `element` has the layout the element
// transforms take (the kind word at offset 0). The fixed part is element.size() - 2
// bytes (element.size() >= 2). 0, or kConvertBadElement when the element holds fewer
// bytes (db_get status 2 or 3) or Quillon reports it damaged.
[[nodiscard]] int Walk_ReadFixed(DrawingHandle& handle, const ElementWalkContext& context,
                                 std::span<std::uint8_t> element);

// A dashed element (line type 5 or 6): `write` puts its pieces (DashedLines.h) and
// gives their status; at the down level the original is then removed
// (Walk_RemoveReplaced); the pen is registered. The status of the pieces when it is not
// 0, else that of the registration.
template <class Write>
[[nodiscard]] int Walk_PutDashed(DrawingHandle& handle, const ElementWalkContext& context,
                                 std::int16_t pen, Write&& write) {
    const std::int32_t mark = Walk_MarkRecords();
    const int written = write();
    Walk_RemoveReplaced(context, mark);
    const int registered = Walk_RegisterPen(handle, pen);
    return written != 0 ? written : registered;
}

// ---- Conversions of their own files, called by Make_PDB_GetPut_Main ---------------------

// Kind 25: the placed element at context.pid (the cursor is positioned on it, its pkd
// read). Converts the members, restores the context; the status of the last member.
[[nodiscard]] int Convert_PlacedElement(DrawingHandle& handle, ElementWalkContext& context);

// Kind 26 (ellipse, elliptic arc) and kind 27 (Bézier curve): the fixed part follows the
// pkd at the cursor. Sampled and written as polyline records.
[[nodiscard]] int Convert_Ellipse(DrawingHandle& handle, ElementWalkContext& context);
[[nodiscard]] int Convert_Bezier(DrawingHandle& handle, ElementWalkContext& context);

// Writes the sampled points of a curve (already transformed) for a line type other than
// 5 and 6: polyline records of kind 6 (layer, second header word, pen, line type, the
// three attribute values, closing values pen and 0) in runs of at most 1000 points,
// each run ended as an element. Every run after the first begins with the last point of
// the run before it and adds up to 999 new points, so that the records of a long curve
// join without a gap: 2500 points give runs of 1000, 1000 and 502 points. No points: no
// record. 0.
[[nodiscard]] int Put_SampledPolyline(const ElementWalkContext& context,
                                      const ElementHeader& header, const LineAttribute& line,
                                      std::span<const double> xy);
