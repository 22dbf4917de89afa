// The pieces of an element conversion that every kind shares.
//
// The data buffer grows instead of being a fixed 64 KiB block: a polyline or contour
// of more points than the block holds is converted whole, and no item is ever copied
// past the buffer's end. The limit keeps a hostile element from taking all memory.
#include "convert/WalkContext.h"

#include <array>
#include <cstdint>
#include <new>

#include "convert/ConvertStatus.h"
#include "pelmar/Pelmar.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/tables/PdbTables.h"

namespace {

// The layer overrides of the two levels and the one in force.
std::int16_t g_normalOverride = 0;
std::int16_t g_downLevelOverride = 0;
std::int16_t* g_layerOverride = &g_normalOverride;

// Paint colours are registered with a fixed width and the paint number as colour code.
constexpr double kPaintPenWidth = 0.13;
constexpr std::int32_t kPaintWidthCode = 1;

}  // namespace

std::int16_t Walk_LayerOverride() { return *g_layerOverride; }

void Walk_SetLayerOverride(std::int16_t layer) { *g_layerOverride = layer; }

void Walk_UseDownLevelOverride(bool on) {
    g_layerOverride = on ? &g_downLevelOverride : &g_normalOverride;
}

std::int32_t Walk_ElementNumber(std::int32_t position) {
    return position > 0 ? position - position / 128 : 0;
}

std::int32_t Walk_MarkRecords() { return PdmDb_LastElemNo(); }

void Walk_RemoveReplaced(const ElementWalkContext& context, std::int32_t mark) {
    // A member belongs to its definition, which every placement of it shares: without it
    // the definition would name an element the PDB no longer has, and the PDB could not
    // be written at all.
    if (!Walk_IsDownLevel(context) || context.placementDepth > 0) return;
    // The server numbers new records in order without reuse, so a changed last number
    // means that at least one record of the replacement was put.
    if (PdmDb_LastElemNo() != mark) PdmDb_DeleteElement(context.pid);
}

std::int16_t Walk_RecordFlags(const ElementWalkContext& context) {
    return context.pkd < 0 ? static_cast<std::int16_t>(0x8000) : std::int16_t{0};
}

ElementHeader Walk_ReadHeader(std::span<const std::uint8_t> fixed) {
    ElementHeader header;
    (void)LoadI16(fixed, 0, header.layer);
    (void)LoadI16(fixed, 2, header.second);
    (void)LoadI16(fixed, 4, header.aid);
    if (*g_layerOverride > 0) header.layer = *g_layerOverride;
    return header;
}

std::int16_t Walk_Pen(const ElementWalkContext& context, std::int16_t attributePen) {
    return context.penOverride != 0 ? context.overridePen : attributePen;
}

int Walk_ReadLineAttribute(DrawingHandle& handle, const ElementWalkContext& context,
                           std::int16_t aid, LineAttribute& out) {
    out = LineAttribute{};
    std::int16_t pen = 0;
    out.status = get_att_line_ex(&handle, aid, &pen, &out.lineType, &out.segcnt, out.floats.data());
    if (out.status != quillon::kQuillonOk) return kConvertLookupFailed;
    out.pen = Walk_Pen(context, pen);
    return kConvertOk;
}

int Walk_ReadFaceAttribute(DrawingHandle& handle, std::int16_t faceAid, FaceAttribute& out) {
    out = FaceAttribute{};
    if (get_att_face(&handle, faceAid, &out.paintNo, &out.ppat) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    return kConvertOk;
}

int Walk_RegisterPen(DrawingHandle& handle, std::int16_t pen) {
    std::int16_t widthCode = 0;
    std::int16_t colourCode = 0;
    if (db_get_peninfo(&handle, pen, &widthCode, &colourCode) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    float width = 0.0f;
    if (db_get_lwidthinfo(&handle, widthCode, &width) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    std::array<std::uint8_t, quillon::kRgbSize> rgb{};
    if (db_get_colorinfo(&handle, colourCode, rgb.data()) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    PenTable_Add(pen, rgb[0], rgb[1], rgb[2], width, colourCode, widthCode);
    return kConvertOk;
}

int Walk_RegisterPaint(DrawingHandle& handle, std::int16_t paintNo) {
    std::array<std::uint8_t, quillon::kRgbSize> rgb{};
    if (db_get_paint_color(&handle, paintNo, rgb.data()) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    return PDB_Put_PaintPenInfo_CL(PdbHead_ExtPath(), paintNo, rgb[0], rgb[1], rgb[2],
                                   kPaintPenWidth, paintNo, kPaintWidthCode);
}

namespace {

// Makes the buffer hold at least `needed` bytes, doubling from its present size. False
// when that would pass the limit or memory runs out (the buffer is then unchanged).
bool GrowData(std::vector<std::uint8_t>& data, std::size_t needed) {
    if (needed <= data.size()) return true;
    if (needed > kWalkDataLimit) return false;
    std::size_t size = data.empty() ? kWalkDataInitial : data.size();
    while (size < needed) size = size > kWalkDataLimit / 2 ? kWalkDataLimit : size * 2;
    try {
        data.resize(size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

}  // namespace

int Walk_ReadItems(DrawingHandle& handle, ElementWalkContext& context, std::size_t itemSize,
                   std::size_t& count) {
    count = 0;
    if (itemSize == 0) return kConvertOk;
    for (;;) {
        const std::size_t offset = count * itemSize;
        if (!GrowData(context.data, offset + itemSize)) return kConvertNoMemory;
        const std::int16_t status =
            db_get(&handle, context.data.data() + offset, static_cast<std::int32_t>(itemSize));
        // A damaged element must not be converted from whatever bytes it still gave.
        if (status == quillon::kQuillonDamaged) return kConvertBadElement;
        // End of the element, or a last item cut short: only whole items count.
        if (status != quillon::kQuillonOk) return kConvertOk;
        ++count;
    }
}

int Walk_ReadFixed(DrawingHandle& handle, const ElementWalkContext& context,
                   std::span<std::uint8_t> element) {
    if (!StoreI16(element, 0, context.pkd)) return kConvertBadElement;
    const std::size_t size = element.size() - 2;
    if (size == 0) return kConvertOk;
    // A fixed part cut short would leave the kind's fields zero-filled by Quillon, and an
    // element converted from them would be wrong without anyone noticing.
    const std::int16_t status =
        db_get(&handle, element.data() + 2, static_cast<std::int32_t>(size));
    return status == quillon::kQuillonOk ? kConvertOk : kConvertBadElement;
}

int Walk_ReadLinedElement(DrawingHandle& handle, ElementWalkContext& context,
                          std::span<std::uint8_t> element, ElementHeader& header,
                          LineAttribute& line) {
    if (const int status = Walk_ReadFixed(handle, context, element); status != kConvertOk) {
        return status;
    }
    header = Walk_ReadHeader(element.subspan(2));
    return Walk_ReadLineAttribute(handle, context, header.aid, line);
}
