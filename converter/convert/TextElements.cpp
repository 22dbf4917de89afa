// Texts and circled strings.
//
// The text length word of the fixed part comes from the file and is not trusted: the
// text is read with exactly that many bytes asked of Quillon, and a length that is
// negative or that the element's data cannot supply fails the element before anything
// is written. The text is handed on as the bytes actually read, so a text never carries
// bytes of an earlier element left in the data buffer.
#include "convert/TextElements.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <new>
#include <span>
#include <string_view>

#include "convert/ConvertStatus.h"
#include "pelmar/Pelmar.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/ElementTransform.h"
#include "support/geometry/Transform.h"
#include "support/tables/FontRegister.h"
#include "support/tables/PdbTables.h"

namespace {

constexpr std::size_t kTextFixed = 48;
constexpr std::size_t kCircledFixed = 32;
// Element offsets (the pkd at 0).
constexpr std::size_t kHeaderAt = 2;
constexpr std::size_t kFieldsAt = 8;
constexpr std::size_t kTextFifthAt = 40;
constexpr std::size_t kTextLengthAt = 48;
constexpr std::size_t kCircledLengthAt = 32;

// The face name of a font id; false when the drawing does not know the font.
bool FaceName(DrawingHandle& handle, std::int16_t fontId,
              std::array<char, quillon::kFaceNameSize>& face) {
    face.fill('\0');
    std::int16_t a = 0;
    std::int16_t b = 0;
    const bool found = db_getkelfontinfomation(&handle, fontId, &a, &b, face.data()) != 0;
    face.back() = '\0';
    return found;
}

// A face name beginning with "@" is a vertical-writing face.
bool IsVerticalFont(DrawingHandle& handle, std::int16_t fontId) {
    std::array<char, quillon::kFaceNameSize> face{};
    return FaceName(handle, fontId, face) && face[0] == '@';
}

// The vertical-font rule on the height and ratio (the caller clears the fifth value).
void ApplyVertical(double& height, double& ratio) {
    height *= ratio;
    if (ratio != 0.0) ratio = 1.0 / ratio;
}

struct SymbolDetail {
    std::int16_t pen = 0;
    std::int16_t fontId = 0;
    double height = 0.0;
    double ratio = 0.0;
    double d7 = 0.0;
    double d8 = 0.0;
    double d9 = 0.0;
};

bool ReadSymbolDetail(DrawingHandle& handle, std::int16_t aid, SymbolDetail& out) {
    return get_att_symb_detail(&handle, aid, &out.pen, &out.fontId, &out.height, &out.ratio,
                               &out.d7, &out.d8, &out.d9) == quillon::kQuillonOk;
}

// Reads the text of `length` bytes that follows the fixed part into the data buffer.
int ReadText(DrawingHandle& handle, ElementWalkContext& context, std::int16_t length,
             std::string_view& text) {
    if (length < 0) return kConvertBadElement;
    const auto size = static_cast<std::size_t>(length);
    if (context.data.size() < size) {
        try {
            context.data.resize(std::max(size, kWalkDataInitial));
        } catch (const std::bad_alloc&) {
            return kConvertNoMemory;
        }
    }
    if (size > 0 && db_get(&handle, context.data.data(), static_cast<std::int32_t>(size)) !=
                        quillon::kQuillonOk) {
        return kConvertBadElement;
    }
    text = std::string_view(reinterpret_cast<const char*>(context.data.data()), size);
    return kConvertOk;
}

// The fixed part read and carried through the transform.
int ReadFixed(DrawingHandle& handle, const ElementWalkContext& context,
              std::span<std::uint8_t> element, int kind) {
    if (const int status = Walk_ReadFixed(handle, context, element); status != kConvertOk) {
        return status;
    }
    return Elem_TransformPoints(kind, element, context.transform) == 0 ? kConvertOk
                                                                       : kConvertBadElement;
}

double F64At(std::span<const std::uint8_t> bytes, std::size_t offset) {
    double value = 0.0;
    (void)LoadF64(bytes, offset, value);
    return value;
}

// Text, element number, end, pen: the part kinds 7 and 8 share after their record.
int FinishText(DrawingHandle& handle, std::string_view text, std::int16_t aid, std::int16_t pen,
               bool verticalRule) {
    PdmDb_PutElemText(text);
    const std::int32_t elemNo = PdmDb_LastElemNo();
    PdmDb_EndElement();
    (void)Walk_RegisterPen(handle, pen);
    return Walk_PutTextAttribute(handle, aid, elemNo, verticalRule);
}

// A text the down level keeps in the copy: its pen registered (result not used) and its
// text attribute under the element number of its position, without the vertical-font
// rule. The height the record would carry is not written, so the transform's scale of
// it has nothing to change.
int KeepText(DrawingHandle& handle, const ElementWalkContext& context, std::int16_t aid,
             std::int16_t attributePen) {
    (void)Walk_RegisterPen(handle, Walk_Pen(context, attributePen));
    return Walk_PutTextAttribute(handle, aid, Walk_ElementNumber(context.pid), false);
}

}  // namespace

int Walk_PutTextAttribute(DrawingHandle& handle, std::int16_t aid, std::int32_t elemNo,
                          bool verticalRule) {
    SymbolDetail detail;
    if (!ReadSymbolDetail(handle, aid, detail)) return kConvertLookupFailed;
    if (verticalRule && IsVerticalFont(handle, detail.fontId)) {
        ApplyVertical(detail.height, detail.ratio);
    }
    const int flag = detail.d7 != 0.0 ? 1 : 0;
    if (detail.ratio != 1.0 || flag != 0 || detail.d7 != 0.0 || detail.d9 != 0.0) {
        const int result =
            PDB_ATT_SYMB_Plus(PdbHead_ExtPath(), elemNo, detail.ratio, flag, detail.d7, detail.d9);
        if (result != 0) return result;
    }
    std::array<char, quillon::kFaceNameSize> face{};
    if (!FaceName(handle, detail.fontId, face)) return kConvertLookupFailed;
    return FontNameTable_Register(detail.fontId, face.data());
}

int Convert_Text(DrawingHandle& handle, ElementWalkContext& context) {
    std::array<std::uint8_t, 2 + kTextFixed> element{};
    if (const int status = ReadFixed(handle, context, element, 7); status != kConvertOk) {
        return status;
    }
    std::int16_t length = 0;
    (void)LoadI16(element, kTextLengthAt, length);
    std::string_view text;
    if (const int status = ReadText(handle, context, length, text); status != kConvertOk) {
        return status;
    }
    const ElementHeader header = Walk_ReadHeader(std::span(element).subspan(kHeaderAt, 6));
    SymbolDetail detail;
    if (!ReadSymbolDetail(handle, header.aid, detail)) return kConvertLookupFailed;
    if (Walk_IsDownLevel(context)) return KeepText(handle, context, header.aid, detail.pen);
    double height = Xform_Length(context.transform, detail.height);
    double ratio = detail.ratio;
    std::array<double, 6> d{};
    for (std::size_t i = 0; i < 5; ++i) d[i + 1] = F64At(element, kFieldsAt + 8 * i);
    if (IsVerticalFont(handle, detail.fontId)) {
        d[5] = 0.0;
        ApplyVertical(height, ratio);
    }
    d[0] = height;
    const std::int16_t pen = Walk_Pen(context, detail.pen);
    PdmDb_PutElementRec7(Walk_RecordFlags(context),
                         {header.layer, header.second, pen, detail.fontId}, d);
    return FinishText(handle, text, header.aid, pen, true);
}

int Convert_CircledString(DrawingHandle& handle, ElementWalkContext& context) {
    std::array<std::uint8_t, 2 + kCircledFixed> element{};
    if (const int status = ReadFixed(handle, context, element, 8); status != kConvertOk) {
        return status;
    }
    std::int16_t length = 0;
    (void)LoadI16(element, kCircledLengthAt, length);
    std::string_view text;
    if (const int status = ReadText(handle, context, length, text); status != kConvertOk) {
        return status;
    }
    const ElementHeader header = Walk_ReadHeader(std::span(element).subspan(kHeaderAt, 6));
    std::int16_t attributePen = 0;
    std::int16_t fontId = 0;
    double height = 0.0;
    if (get_att_symb(&handle, header.aid, &attributePen, &fontId, &height) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    if (Walk_IsDownLevel(context)) return KeepText(handle, context, header.aid, attributePen);
    const std::int16_t pen = Walk_Pen(context, attributePen);
    std::array<double, 4> d{height};
    for (std::size_t i = 0; i < 3; ++i) d[i + 1] = F64At(element, kFieldsAt + 8 * i);
    PdmDb_PutElementRec8(Walk_RecordFlags(context), {header.layer, header.second, pen, fontId}, d);
    return FinishText(handle, text, header.aid, pen, false);
}
