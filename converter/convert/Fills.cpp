// A fill: its boundary items, its record and its holes.
//
// The blocks are read whole into the walk's data buffer first (it grows to any count up
// to the data limit) and then filtered in place: a kept block only ever moves towards
// the front, so the filtering needs no second buffer and never writes past what was read.
#include "convert/Fills.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>

#include "convert/ConvertStatus.h"
#include "convert/FillHoles.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/ElementTransform.h"
#include "support/pipe/DebugPrint.h"

namespace {

constexpr int kFillKind = 16;

bool IsBoundaryCode(std::int16_t code) { return code == 2 || code == 3 || code == 4 || code == 6; }

// Keeps the first block and the accepted blocks after it at the front of `data`
// (`count` blocks read); returns the number of bytes kept.
std::size_t KeepBoundaryBlocks(std::span<std::uint8_t> data, std::size_t count) {
    std::size_t kept = 1;
    for (std::size_t i = 1; i < count; ++i) {
        std::int16_t code = 0;
        (void)LoadI16(data, i * kFillItemSize, code);
        if (!IsBoundaryCode(code)) {
            DbgPrint("未定義の塗り潰し形状[%d]\n", code);
            continue;
        }
        if (kept != i) {
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(i * kFillItemSize),
                        kFillItemSize,
                        data.begin() + static_cast<std::ptrdiff_t>(kept * kFillItemSize));
        }
        ++kept;
        if (code == 4) break;  // a circle is a whole boundary
    }
    return kept * kFillItemSize;
}

// The same fold of the holes' and the paint's results as the normal level's (below).
int HolesAndPaint(int holes, int paint) { return paint == kConvertOk && holes > 0 ? holes : paint; }

// A fill the down level keeps in the copy: its holes under the element number of its
// position (unless it is hatched), then its paint colour.
int KeepFill(DrawingHandle& handle, const ElementWalkContext& context,
             std::span<const std::uint8_t> element) {
    std::int16_t faceAid = 0;
    (void)LoadI16(element, 8, faceAid);
    FaceAttribute face;
    if (const int status = Walk_ReadFaceAttribute(handle, faceAid, face); status != kConvertOk) {
        return status;
    }
    const int holes = face.ppat < 0 ? kConvertOk
                                    : Put_FillHoles(handle, context.transform, context.pid,
                                                    Walk_ElementNumber(context.pid));
    return HolesAndPaint(holes, Walk_RegisterPaint(handle, face.paintNo));
}

}  // namespace

int Convert_Fill(DrawingHandle& handle, ElementWalkContext& context) {
    std::array<std::uint8_t, 2 + kFillFixedSize> element{};
    if (const int rc = Walk_ReadFixed(handle, context, element); rc != kConvertOk) return rc;
    if (Walk_IsDownLevel(context)) return KeepFill(handle, context, element);
    std::size_t count = 0;
    if (const int rc = Walk_ReadItems(handle, context, kFillItemSize, count); rc != kConvertOk)
        return rc;
    if (count == 0) return kConvertOk;
    const std::span<std::uint8_t> data(context.data.data(), count * kFillItemSize);
    const std::size_t length = KeepBoundaryBlocks(data, count);
    if (length == kFillItemSize) return kConvertOk;
    (void)Elem_TransformVarData(kFillKind, data.first(length), context.transform);

    const ElementHeader header = Walk_ReadHeader(std::span(element).subspan(2));
    std::int16_t faceAid = 0;
    (void)LoadI16(element, 8, faceAid);
    LineAttribute line;
    if (const int rc = Walk_ReadLineAttribute(handle, context, header.aid, line); rc != kConvertOk)
        return rc;
    FaceAttribute face;
    if (const int status = Walk_ReadFaceAttribute(handle, faceAid, face); status != kConvertOk) {
        return status;
    }

    int holes = kConvertOk;
    if (face.ppat < 0) {
        DbgPrint("ハッチング  pid[%d] ppat[%d]\n", context.pid, face.ppat);
    } else {
        const std::array<double, 3> values = line.Values();
        PdmDb_PutElementRec16(Walk_RecordFlags(context),
                              {header.layer, header.second, line.pen, line.lineType},
                              {values[0], values[1], values[2]}, {face.paintNo, face.ppat});
        PdmDb_PutElemData(data.first(length));
        const std::int32_t elemNo = PdmDb_LastElemNo();
        PdmDb_EndElement();
        holes = Put_FillHoles(handle, context.transform, context.pid, elemNo);
    }
    // Pelmar's results for the holes are negative and are not the fill's; the holes' own
    // failures (positive) are, unless the paint registration failed already.
    return HolesAndPaint(holes, Walk_RegisterPaint(handle, face.paintNo));
}
