// The geometric element kinds.
//
// Each conversion reads everything it needs before it writes anything, so an element
// that fails on a short fixed part or a missing attribute leaves no half-written record
// in the PDB. Only the pen registration comes after the element is ended, as the pen
// table is filled for the whole drawing and used after the walk.
//
// Dashed line types go to DashedLines.h once everything is read; at the down level they
// are the only records these kinds write (Walk_PutDashed removes the original), and the
// other elements are only registered, as their records are in the copy already.
#include "convert/ElementKinds.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "convert/ConvertStatus.h"
#include "convert/DashedLines.h"
#include "convert/ElementWalk.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/ElementTransform.h"
#include "support/pipe/DebugPrint.h"

namespace {

// Bytes of each kind's fixed part after its pkd.
constexpr std::size_t kPointFixed = 22;
constexpr std::size_t kLineFixed = 38;
constexpr std::size_t kArcFixed = 54;
constexpr std::size_t kCircleFixed = 30;
constexpr std::size_t kPaintedCircleFixed = 32;
constexpr std::size_t kPolylineFixed = 8;
constexpr std::size_t kMarkFixed = 22;
constexpr std::size_t kLeaderFixed = 8;
constexpr std::size_t kDimensionFixed = 40;
constexpr std::size_t kArcDimensionFixed = 56;
constexpr std::size_t kContourFixed = 6;
constexpr std::size_t kClothoidFixed = 110;
constexpr std::size_t kSymbolFixed = 32;
constexpr std::size_t kImageFixed = 325;

// Element offsets (the pkd at 0, the three header words at 2, 4, 6).
constexpr std::size_t kHeaderAt = 2;
constexpr std::size_t kFourthWordAt = 8;
constexpr std::size_t kFieldsAt = 8;         // first field after the three header words
constexpr std::size_t kAfterFourthAt = 10;   // first field after a fourth header word
constexpr std::size_t kImageDataSize = 319;  // the image's fixed part after its header
constexpr std::size_t kClothoidValues = 13;
constexpr std::size_t kPointSize = 16;
constexpr std::size_t kContourItemSize = 32;

// One element's kind word and fixed part, in a buffer as large as the largest fixed part.
class FixedPart {
  public:
    explicit FixedPart(std::size_t size) : size_(2 + size) {}
    [[nodiscard]] std::span<std::uint8_t> Bytes() { return std::span(bytes_).first(size_); }
    [[nodiscard]] std::span<const std::uint8_t> Header() const {
        return std::span(bytes_).subspan(kHeaderAt, 6);
    }
    [[nodiscard]] double F64(std::size_t offset) const {
        double value = 0.0;
        (void)LoadF64(std::span(bytes_).first(size_), offset, value);
        return value;
    }
    [[nodiscard]] std::int16_t I16(std::size_t offset) const {
        std::int16_t value = 0;
        (void)LoadI16(std::span(bytes_).first(size_), offset, value);
        return value;
    }
    template <std::size_t N>
    [[nodiscard]] std::array<double, N> Doubles(std::size_t offset) const {
        std::array<double, N> out{};
        for (std::size_t i = 0; i < N; ++i) out[i] = F64(offset + 8 * i);
        return out;
    }
    [[nodiscard]] Point PointAt(std::size_t offset) const { return {F64(offset), F64(offset + 8)}; }

  private:
    std::array<std::uint8_t, 2 + kImageFixed> bytes_{};
    std::size_t size_;
};

// Reads the fixed part and carries its coordinates through the context's transform.
int ReadAndTransform(DrawingHandle& handle, const ElementWalkContext& context, FixedPart& fixed,
                     int kind) {
    if (const int status = Walk_ReadFixed(handle, context, fixed.Bytes()); status != kConvertOk) {
        return status;
    }
    return Elem_TransformPoints(kind, fixed.Bytes(), context.transform) == 0 ? kConvertOk
                                                                             : kConvertBadElement;
}

bool IsDashed(const LineAttribute& line) { return Dashed_IsDashedType(line.lineType); }

// Three values followed by N more, as the record builders take them.
template <std::size_t N>
std::array<double, 3 + N> Join(const std::array<double, 3>& a, const std::array<double, N>& b) {
    std::array<double, 3 + N> out{};
    std::copy(a.begin(), a.end(), out.begin());
    std::copy(b.begin(), b.end(), out.begin() + 3);
    return out;
}

Shorts<4> LineShorts(const ElementHeader& header, const LineAttribute& line) {
    return {header.layer, header.second, line.pen, line.lineType};
}

// Reads the fixed part and the line attribute of a kind with a line attribute.
int ReadLined(DrawingHandle& handle, ElementWalkContext& context, FixedPart& fixed, int kind,
              ElementHeader& header, LineAttribute& line) {
    if (const int status = ReadAndTransform(handle, context, fixed, kind); status != kConvertOk) {
        return status;
    }
    header = Walk_ReadHeader(fixed.Header());
    if (const int status = Walk_ReadLineAttribute(handle, context, header.aid, line);
        status != kConvertOk) {
        return status;
    }
    return kConvertOk;
}

// Reads the items of the variable part and carries them through the transform.
int ReadItemsTransformed(DrawingHandle& handle, ElementWalkContext& context, int kind,
                         std::size_t itemSize, std::size_t& count) {
    if (const int status = Walk_ReadItems(handle, context, itemSize, count); status != kConvertOk) {
        return status;
    }
    (void)Elem_TransformVarData(kind, std::span(context.data).first(count * itemSize),
                                context.transform);
    return kConvertOk;
}

// Reads the fixed part, the transformed items of the variable part and the line attribute
// of a kind whose points follow its fixed part (polyline, leader, contour).
int ReadItemsLined(DrawingHandle& handle, ElementWalkContext& context, FixedPart& fixed, int kind,
                   std::size_t itemSize, std::size_t& count, ElementHeader& header,
                   LineAttribute& line) {
    if (const int status = Walk_ReadFixed(handle, context, fixed.Bytes()); status != kConvertOk) {
        return status;
    }
    if (const int status = ReadItemsTransformed(handle, context, kind, itemSize, count);
        status != kConvertOk) {
        return status;
    }
    header = Walk_ReadHeader(fixed.Header());
    return Walk_ReadLineAttribute(handle, context, header.aid, line);
}

// What every kind with a line attribute does once all is read: a dashed line type goes to
// `dashed` (its pieces, Walk_PutDashed); at the down level the element's record is in the
// copy already, so only its pen is registered; else `solid` puts the record with the
// context's record flags, the element is ended and the pen registered.
template <class Dashed, class Solid>
int PutLined(DrawingHandle& handle, ElementWalkContext& context, const LineAttribute& line,
             Dashed&& dashed, Solid&& solid) {
    if (IsDashed(line)) return Walk_PutDashed(handle, context, line.pen, dashed);
    if (Walk_IsDownLevel(context)) return Walk_RegisterPen(handle, line.pen);
    solid(Walk_RecordFlags(context));
    PdmDb_EndElement();
    return Walk_RegisterPen(handle, line.pen);
}

// A kind whose fixed part and line attribute are all it reads (line, arc, circle,
// clothoid): `dashed(fixed, header, line)` gives the dashed pieces' status,
// `solid(flags, fixed, header, line)` puts the record (PutLined).
template <class Dashed, class Solid>
int ConvertLinedKind(DrawingHandle& handle, ElementWalkContext& context, int kind,
                     std::size_t fixedSize, Dashed&& dashed, Solid&& solid) {
    FixedPart fixed(fixedSize);
    ElementHeader header;
    LineAttribute line;
    if (const int status = ReadLined(handle, context, fixed, kind, header, line);
        status != kConvertOk) {
        return status;
    }
    return PutLined(
        handle, context, line, [&] { return dashed(fixed, header, line); },
        [&](std::int16_t flags) { solid(flags, fixed, header, line); });
}

// The tail of a kind with a pen but no line attribute (mark, symbol): at the down level
// only the pen is registered; else `solid` puts the record with the context's record
// flags, the element is ended and the pen registered.
template <class Solid>
int PutPenned(DrawingHandle& handle, ElementWalkContext& context, std::int16_t pen, Solid&& solid) {
    if (Walk_IsDownLevel(context)) return Walk_RegisterPen(handle, pen);
    solid(Walk_RecordFlags(context));
    PdmDb_EndElement();
    return Walk_RegisterPen(handle, pen);
}

// The points of a polyline or leader as x, y pairs for the dashed writers.
int DecodeItemPoints(const ElementWalkContext& context, std::size_t count,
                     std::vector<double>& xy) {
    return Dashed_DecodePoints(std::span(context.data).first(count * kPointSize), xy);
}

int ReadArrow(DrawingHandle& handle, std::int16_t arrowAid, ArrowValues& arrow) {
    if (get_att_arrow(&handle, arrowAid, &arrow.type, &arrow.ends, &arrow.size) !=
        quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    if (arrow.type == 0) arrow.size = kDefaultArrowSize;
    return kConvertOk;
}

// Kinds 11 and 12 keep their arrow attribute id after the points; the conversion and the
// element transforms take it as the fourth header word in front of them.
void MoveArrowIdFront(FixedPart& fixed) {
    const std::span<std::uint8_t> bytes = fixed.Bytes();
    std::rotate(bytes.begin() + kFourthWordAt, bytes.end() - 2, bytes.end());
}

int ConvertDimensionKind(DrawingHandle& handle, ElementWalkContext& context, int kind,
                         std::size_t fixedSize) {
    FixedPart fixed(fixedSize);
    if (const int status = Walk_ReadFixed(handle, context, fixed.Bytes()); status != kConvertOk) {
        return status;
    }
    MoveArrowIdFront(fixed);
    if (Elem_TransformPoints(kind, fixed.Bytes(), context.transform) != 0) {
        return kConvertBadElement;
    }
    const ElementHeader header = Walk_ReadHeader(fixed.Header());
    LineAttribute line;
    if (const int status = Walk_ReadLineAttribute(handle, context, header.aid, line);
        status != kConvertOk) {
        return status;
    }
    ArrowValues arrow;
    if (const int status = ReadArrow(handle, fixed.I16(kFourthWordAt), arrow);
        status != kConvertOk) {
        return status;
    }
    const auto dashed = [&] {
        // A dimension line's two points; an arc dimension line's start, a point on
        // its arc and its end.
        const Point p1 = fixed.PointAt(kAfterFourthAt);
        const Point p2 = fixed.PointAt(kAfterFourthAt + 16);
        if (kind == 12) {
            return Dashed_ArcDimensionLine(handle, context, header, line.pen, arrow, p1, p2,
                                           fixed.PointAt(kAfterFourthAt + 32));
        }
        // The down level hands a dimension line's body on as a polyline of its two
        // points, as it does a leader's.
        if (Walk_IsDownLevel(context)) {
            const std::array<double, 4> xy{p1.x, p1.y, p2.x, p2.y};
            return Dashed_Leader(handle, context, header, line.pen, arrow, xy);
        }
        return Dashed_DimensionLine(handle, context, header, line.pen, arrow, p1, p2);
    };
    return PutLined(handle, context, line, dashed, [&](std::int16_t flags) {
        const Shorts<2> arrowShorts{arrow.type, arrow.ends};
        if (kind == 11) {
            std::array<double, 5> d{arrow.size};
            const auto points = fixed.Doubles<4>(kAfterFourthAt);
            std::copy(points.begin(), points.end(), d.begin() + 1);
            PdmDb_PutElementRec11(flags, LineShorts(header, line), line.Values(), arrowShorts, d);
        } else {
            std::array<double, 7> d{arrow.size};
            const auto points = fixed.Doubles<6>(kAfterFourthAt);
            std::copy(points.begin(), points.end(), d.begin() + 1);
            PdmDb_PutElementRec12(flags, LineShorts(header, line), line.Values(), arrowShorts, d);
        }
    });
}

}  // namespace

int Convert_Point(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kPointFixed);
    if (const int status = ReadAndTransform(handle, context, fixed, 1); status != kConvertOk) {
        return status;
    }
    const ElementHeader header = Walk_ReadHeader(fixed.Header());
    std::int16_t attributePen = 0;
    if (get_att_pnt(&handle, header.aid, &attributePen) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    const std::int16_t pen = Walk_Pen(context, attributePen);
    if (Walk_IsDownLevel(context)) return Walk_RegisterPen(handle, pen);
    PdmDb_PutElementRec1(Walk_RecordFlags(context), {header.layer, header.second, pen},
                         fixed.Doubles<2>(kFieldsAt));
    // The element is ended whatever the registration gives: a record left open would
    // take the next element's data as its own.
    const int status = Walk_RegisterPen(handle, pen);
    PdmDb_EndElement();
    return status;
}

int Convert_Line(DrawingHandle& handle, ElementWalkContext& context) {
    return ConvertLinedKind(
        handle, context, 2, kLineFixed,
        [&](const FixedPart& fixed, const ElementHeader& header, const LineAttribute& line) {
            return Dashed_Line(handle, context, header, line.pen, fixed.PointAt(kFieldsAt),
                               fixed.PointAt(kFieldsAt + 16));
        },
        [](std::int16_t flags, const FixedPart& fixed, const ElementHeader& header,
           const LineAttribute& line) {
            PdmDb_PutElementRec2(flags, LineShorts(header, line),
                                 Join(line.Values(), fixed.Doubles<4>(kFieldsAt)));
        });
}

int Convert_Arc(DrawingHandle& handle, ElementWalkContext& context) {
    return ConvertLinedKind(
        handle, context, 3, kArcFixed,
        [&](const FixedPart& fixed, const ElementHeader& header, const LineAttribute& line) {
            return Dashed_Arc(handle, context, header, line.pen, fixed.PointAt(kFieldsAt),
                              fixed.PointAt(kFieldsAt + 16), fixed.PointAt(kFieldsAt + 32));
        },
        [](std::int16_t flags, const FixedPart& fixed, const ElementHeader& header,
           const LineAttribute& line) {
            PdmDb_PutElementRec3(flags, LineShorts(header, line),
                                 Join(line.Values(), fixed.Doubles<6>(kFieldsAt)));
        });
}

int Convert_Circle(DrawingHandle& handle, ElementWalkContext& context) {
    return ConvertLinedKind(
        handle, context, 4, kCircleFixed,
        [&](const FixedPart& fixed, const ElementHeader& header, const LineAttribute& line) {
            return Dashed_Circle(handle, context, header, line.pen, fixed.PointAt(kFieldsAt),
                                 fixed.F64(kFieldsAt + 16));
        },
        [](std::int16_t flags, const FixedPart& fixed, const ElementHeader& header,
           const LineAttribute& line) {
            PdmDb_PutElementRec4(flags, LineShorts(header, line),
                                 Join(line.Values(), fixed.Doubles<3>(kFieldsAt)));
        });
}

int Convert_PaintedCircle(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kPaintedCircleFixed);
    if (const int status = ReadAndTransform(handle, context, fixed, 5); status != kConvertOk) {
        return status;
    }
    const ElementHeader header = Walk_ReadHeader(fixed.Header());
    LineAttribute line;
    if (const int status = Walk_ReadLineAttribute(handle, context, header.aid, line);
        status != kConvertOk) {
        return status;
    }
    FaceAttribute face;
    if (const int status = Walk_ReadFaceAttribute(handle, fixed.I16(kFourthWordAt), face);
        status != kConvertOk) {
        return status;
    }
    if (IsDashed(line)) {
        const std::int32_t mark = Walk_MarkRecords();
        const int written =
            Dashed_PaintedCircle(handle, context, header, line.pen, face.paintNo, face.ppat,
                                 fixed.PointAt(kAfterFourthAt), fixed.F64(kAfterFourthAt + 16));
        Walk_RemoveReplaced(context, mark);
        (void)Walk_RegisterPaint(handle, face.paintNo);
        const int registered = Walk_RegisterPen(handle, line.pen);
        return written != kConvertOk ? written : registered;
    }
    if (Walk_IsDownLevel(context)) {
        (void)Walk_RegisterPaint(handle, face.paintNo);
        return Walk_RegisterPen(handle, line.pen);
    }
    PdmDb_PutElementRec5(Walk_RecordFlags(context), LineShorts(header, line), line.Values(),
                         {face.paintNo, face.ppat}, fixed.Doubles<3>(kAfterFourthAt));
    PdmDb_EndElement();
    (void)Walk_RegisterPaint(handle, face.paintNo);
    return Walk_RegisterPen(handle, line.pen);
}

int Convert_Polyline(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kPolylineFixed);
    std::size_t count = 0;
    ElementHeader header;
    LineAttribute line;
    if (const int status =
            ReadItemsLined(handle, context, fixed, 6, kPointSize, count, header, line);
        status != kConvertOk) {
        return status;
    }
    FaceAttribute face;
    if (const int status = Walk_ReadFaceAttribute(handle, fixed.I16(kFourthWordAt), face);
        status != kConvertOk) {
        return status;
    }
    std::vector<double> xy;
    if (IsDashed(line)) {
        if (const int status = DecodeItemPoints(context, count, xy); status != kConvertOk) {
            return status;
        }
    }
    return PutLined(
        handle, context, line,
        [&] { return Dashed_Polyline(handle, context, header, line.pen, xy); },
        [&](std::int16_t flags) {
            PdmDb_PutElementRec6(flags, LineShorts(header, line), line.Values(),
                                 {face.paintNo, face.ppat});
            PdmDb_PutElemData(std::span(context.data).first(count * kPointSize));
        });
}

int Convert_Mark(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kMarkFixed);
    if (const int status = ReadAndTransform(handle, context, fixed, 9); status != kConvertOk) {
        return status;
    }
    const ElementHeader header = Walk_ReadHeader(fixed.Header());
    std::int16_t attributePen = 0;
    std::int16_t markNo = 0;
    double size = 0.0;
    if (get_att_mark(&handle, header.aid, &attributePen, &markNo, &size) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    const std::int16_t pen = Walk_Pen(context, attributePen);
    return PutPenned(handle, context, pen, [&](std::int16_t flags) {
        const auto xy = fixed.Doubles<2>(kFieldsAt);
        PdmDb_PutElementRec9(flags, {header.layer, header.second, pen, markNo},
                             {size, xy[0], xy[1]});
    });
}

int Convert_Leader(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kLeaderFixed);
    std::size_t count = 0;
    ElementHeader header;
    LineAttribute line;
    if (const int status =
            ReadItemsLined(handle, context, fixed, 10, kPointSize, count, header, line);
        status != kConvertOk) {
        return status;
    }
    ArrowValues arrow;
    if (const int status = ReadArrow(handle, fixed.I16(kFourthWordAt), arrow);
        status != kConvertOk) {
        return status;
    }
    std::vector<double> xy;
    if (IsDashed(line)) {
        if (const int status = DecodeItemPoints(context, count, xy); status != kConvertOk) {
            return status;
        }
    }
    return PutLined(
        handle, context, line,
        [&] { return Dashed_Leader(handle, context, header, line.pen, arrow, xy); },
        [&](std::int16_t flags) {
            PdmDb_PutElementRec10(flags, LineShorts(header, line), line.Values(),
                                  {arrow.type, arrow.ends}, {arrow.size});
            PdmDb_PutElemData(std::span(context.data).first(count * kPointSize));
        });
}

int Convert_Dimension(DrawingHandle& handle, ElementWalkContext& context) {
    if (Walk_TraceSwitch().dimension) DbgPrint("  寸法線\n");
    return ConvertDimensionKind(handle, context, 11, kDimensionFixed);
}

int Convert_ArcDimension(DrawingHandle& handle, ElementWalkContext& context) {
    return ConvertDimensionKind(handle, context, 12, kArcDimensionFixed);
}

int Convert_Contour(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kContourFixed);
    std::size_t count = 0;
    ElementHeader header;
    LineAttribute line;
    if (const int status =
            ReadItemsLined(handle, context, fixed, 17, kContourItemSize, count, header, line);
        status != kConvertOk) {
        return status;
    }
    const std::span<const std::uint8_t> items =
        std::span(context.data).first(count * kContourItemSize);
    return PutLined(
        handle, context, line,
        [&] { return Dashed_Contour(handle, context, header, line.pen, items); },
        [&](std::int16_t flags) {
            PdmDb_PutElementRec17(flags, LineShorts(header, line), line.Values());
            PdmDb_PutElemData(items);
        });
}

int Convert_Clothoid(DrawingHandle& handle, ElementWalkContext& context) {
    return ConvertLinedKind(
        handle, context, 18, kClothoidFixed,
        [&](FixedPart& fixed, const ElementHeader& header, const LineAttribute& line) {
            return Dashed_Clothoid(handle, context, header, line.pen, fixed.Bytes());
        },
        [](std::int16_t flags, const FixedPart& fixed, const ElementHeader& header,
           const LineAttribute& line) {
            PdmDb_PutElementRec18(flags, LineShorts(header, line),
                                  Join(line.Values(), fixed.Doubles<kClothoidValues>(kFieldsAt)));
        });
}

int Convert_Symbol(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kSymbolFixed);
    if (const int status = ReadAndTransform(handle, context, fixed, 19); status != kConvertOk) {
        return status;
    }
    const ElementHeader header = Walk_ReadHeader(fixed.Header());
    std::int16_t attributePen = 0;
    std::int16_t fontId = 0;
    double height = 0.0;
    if (get_att_symb(&handle, header.aid, &attributePen, &fontId, &height) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    const std::int16_t pen = Walk_Pen(context, attributePen);
    return PutPenned(handle, context, pen, [&](std::int16_t flags) {
        PdmDb_PutElementRec19(flags, {header.layer, header.second, pen}, height,
                              fixed.I16(kFourthWordAt), fixed.Doubles<3>(kAfterFourthAt));
    });
}

int Convert_Image(DrawingHandle& handle, ElementWalkContext& context) {
    FixedPart fixed(kImageFixed);
    if (const int status = ReadAndTransform(handle, context, fixed, 20); status != kConvertOk) {
        return status;
    }
    if (!Walk_IsDownLevel(context)) {
        const ElementHeader header = Walk_ReadHeader(fixed.Header());
        PdmDb_PutElementRec20(Walk_RecordFlags(context), {header.layer, header.second, header.aid});
        PdmDb_PutElemData(fixed.Bytes().subspan(kFieldsAt, kImageDataSize));
        PdmDb_EndElement();
    }
    // The count travels as a 16-bit value; it stops at its largest value rather than
    // turning negative.
    if (context.imageCount < std::numeric_limits<std::int16_t>::max()) ++context.imageCount;
    return kConvertOk;
}

int Convert_StopMark(ElementWalkContext& context) {
    // The down level keeps the copy's marker.
    if (Walk_IsDownLevel(context)) return kConvertOk;
    const std::int16_t flags = Walk_RecordFlags(context);
    if (context.pkd == 21 || context.pkd == -21) {
        PdmDb_PutGroupBegin(flags);
    } else {
        PdmDb_PutGroupEnd(flags);
    }
    PdmDb_EndElement();
    return kConvertOk;
}
