// Ellipses and Bézier curves: sampled into points, written as polyline records.
//
// The PDB has no record kind for either curve, so the converted drawing carries them as
// polylines fine enough to draw (the converter's one sampling rule, CurveSampling.h).
// The transform is applied to the curve before sampling, so that the chords are
// measured in the converted drawing's units whatever scale a placement gives.
#include "convert/SampledCurves.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <new>
#include <span>
#include <vector>

#include "convert/ConvertStatus.h"
#include "convert/DashedLines.h"
#include "convert/WalkContext.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/Bezier.h"
#include "support/geometry/ElementTransform.h"
#include "support/geometry/Transform.h"

namespace {

// Field offsets in an ellipse element read by Walk_ReadFixed (the kind word at 0, the
// fixed part from 2 on).
constexpr std::size_t kEllipseCentre = 8;
constexpr std::size_t kEllipseRx = 24;
constexpr std::size_t kEllipseRy = 32;
constexpr std::size_t kEllipseStart = 40;
constexpr std::size_t kEllipseEnd = 48;
constexpr std::size_t kEllipseRotation = 56;
constexpr std::size_t kEllipseDirection = 64;

// Relative size of a·b below which the image's semi-diameters count as perpendicular:
// they are then its axes as they are, so a rotation or uniform scale keeps the
// parameters exactly.
constexpr double kPerpendicular = 1e-12;

// Writes the sampled points (a dashed polyline for line types 5 and 6) and registers the
// pen. A curve is always replaced: at the down level the original is then removed.
int FinishCurve(DrawingHandle& handle, const ElementWalkContext& context,
                const ElementHeader& header, const LineAttribute& line, const PointArray& points) {
    return Walk_PutDashed(handle, context, line.pen, [&] {
        return Dashed_IsDashedType(line.lineType)
                   ? Dashed_Polyline(handle, context, header, line.pen, points.xy)
                   : Put_SampledPolyline(context, header, line, points.xy);
    });
}

}  // namespace

EllipseShape Ellipse_Transform(const EllipseShape& shape, const Matrix4& m) {
    EllipseShape out = shape;
    out.centre = Xform_Point(m, shape.centre);
    // The linear part at the centre: M's upper 2x2 block over the centre's w, which is
    // 1 for every matrix a placement makes.
    const double w = shape.centre.x * m[3] + shape.centre.y * m[7] + m[15];
    double l0 = 0.0, l1 = 0.0, l4 = 0.0, l5 = 0.0;
    if (std::fabs(w) > kGeomZero) {
        l0 = m[0] / w;
        l1 = m[1] / w;
        l4 = m[4] / w;
        l5 = m[5] / w;
    }
    // The semi-axis vectors u = rx (cos r, sin r), v = ry (−sin r, cos r) and their
    // images a = L u, b = L v: the image point at φ is centre' + a cos φ + b sin φ.
    const double c = std::cos(shape.rotation);
    const double s = std::sin(shape.rotation);
    const Point u{shape.rx * c, shape.rx * s};
    const Point v{-shape.ry * s, shape.ry * c};
    const Point a{u.x * l0 + u.y * l4, u.x * l1 + u.y * l5};
    const Point b{v.x * l0 + v.y * l4, v.x * l1 + v.y * l5};

    // The turn φ0 of the parameter at which |a cos φ + b sin φ| is largest gives the
    // image's major semi-axis p and its minor one q (perpendicular to p); with ψ = φ − φ0
    // the point is centre' + p cos ψ + q sin ψ.
    const double aa = a.x * a.x + a.y * a.y;
    const double bb = b.x * b.x + b.y * b.y;
    const double ab = a.x * b.x + a.y * b.y;
    double phi0 = 0.0;
    if (std::fabs(ab) > kPerpendicular * std::sqrt(aa * bb)) {
        phi0 = 0.5 * std::atan2(2.0 * ab, aa - bb);
    }
    const double c0 = std::cos(phi0);
    const double s0 = std::sin(phi0);
    const Point p{a.x * c0 + b.x * s0, a.y * c0 + b.y * s0};
    const Point q{-a.x * s0 + b.x * c0, -a.y * s0 + b.y * c0};
    out.rx = std::hypot(p.x, p.y);
    out.ry = std::hypot(q.x, q.y);
    out.rotation = std::atan2(p.y, p.x);
    // q is p turned by +90° unless the map mirrors (a × b < 0); then q is p turned by
    // −90°, and centre' + R(rotation') (rx' cos(−ψ), ry' sin(−ψ)) runs the other way.
    const bool mirrored = a.x * b.y - a.y * b.x < 0.0;
    if (mirrored) {
        out.start = phi0 - shape.start;
        out.end = phi0 - shape.end;
        out.counterClockwise = !shape.counterClockwise;
    } else {
        out.start = shape.start - phi0;
        out.end = shape.end - phi0;
    }
    return out;
}

int Put_SampledPolyline(const ElementWalkContext& context, const ElementHeader& header,
                        const LineAttribute& line, std::span<const double> xy) {
    const std::int16_t flags = Walk_RecordFlags(context);
    const Shorts<4> fields{header.layer, header.second, line.pen, line.lineType};
    const std::array<double, 3> values = line.Values();
    const Doubles<3> attributeValues{values[0], values[1], values[2]};
    // The closing values of a sampled polyline: the pen and 0.
    const Shorts<2> closing{line.pen, 0};
    const std::size_t pointCount = xy.size() / 2;
    // Each later run repeats the joint point: without it the segment between the last
    // point of one record and the first of the next would be missing from the drawing.
    std::vector<std::uint8_t> bytes;
    try {
        bytes.reserve(std::min(pointCount, kSampledRunPoints) * 16);
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
    std::size_t first = 0;
    while (first < pointCount) {
        const std::size_t run = std::min(kSampledRunPoints, pointCount - first);
        bytes.assign(run * 16, 0);
        for (std::size_t i = 0; i < run * 2; ++i) {
            (void)StoreF64(bytes, i * 8, xy[first * 2 + i]);
        }
        PdmDb_PutElementRec6(flags, fields, attributeValues, closing);
        PdmDb_PutElemData(bytes);
        PdmDb_EndElement();
        if (first + run >= pointCount) break;
        first += run - 1;
    }
    return kConvertOk;
}

int Convert_Ellipse(DrawingHandle& handle, ElementWalkContext& context) {
    std::array<std::uint8_t, 2 + kEllipseFixedSize> fixed{};
    ElementHeader header;
    LineAttribute line;
    if (const int status = Walk_ReadLinedElement(handle, context, fixed, header, line);
        status != kConvertOk) {
        return status;
    }

    EllipseShape stored;
    (void)LoadF64(fixed, kEllipseCentre, stored.centre.x);
    (void)LoadF64(fixed, kEllipseCentre + 8, stored.centre.y);
    (void)LoadF64(fixed, kEllipseRx, stored.rx);
    (void)LoadF64(fixed, kEllipseRy, stored.ry);
    (void)LoadF64(fixed, kEllipseStart, stored.start);
    (void)LoadF64(fixed, kEllipseEnd, stored.end);
    (void)LoadF64(fixed, kEllipseRotation, stored.rotation);
    stored.counterClockwise = fixed[kEllipseDirection] != 0;
    const EllipseShape placed = Ellipse_Transform(stored, context.transform);
    CurveShape curve = Curve_EllipseShape(placed.centre, placed.rx, placed.ry, placed.rotation,
                                          placed.start, placed.end, placed.counterClockwise);
    // Full or not by the stored angles: the transform may shift or negate them.
    curve.full = Curve_IsFullSweep(stored.start, stored.end, stored.counterClockwise);
    PointArray points;
    if (const int status = Curve_Sample(curve, points); status != kConvertOk) return status;
    return FinishCurve(handle, context, header, line, points);
}

int Convert_Bezier(DrawingHandle& handle, ElementWalkContext& context) {
    std::array<std::uint8_t, 2 + kBezierFixedSize> fixed{};
    ElementHeader header;
    LineAttribute line;
    if (const int status = Walk_ReadLinedElement(handle, context, fixed, header, line);
        status != kConvertOk) {
        return status;
    }

    // The control points: the rest of the element. Its 16-bit byte count cannot say
    // more than 65,535 bytes (1,365 segments); a longer curve is read whole as points
    // instead of being dropped.
    std::size_t length = 0;
    std::uint16_t rest = 0;
    const std::int16_t restStatus = db_rest_record(&handle, &rest);
    if (restStatus == quillon::kQuillonTooLong) {
        std::size_t count = 0;
        if (const int status = Walk_ReadItems(handle, context, 16, count); status != kConvertOk) {
            return status;
        }
        length = count * 16;
    } else if (restStatus != quillon::kQuillonOk) {
        return kConvertBadElement;
    } else {
        length = rest;
        if (context.data.size() < length) {
            try {
                context.data.resize(length);
            } catch (const std::bad_alloc&) {
                return kConvertNoMemory;
            }
        }
        if (length > 0 && db_get(&handle, context.data.data(), static_cast<std::int32_t>(length)) !=
                              quillon::kQuillonOk) {
            return kConvertBadElement;
        }
    }
    const std::span<std::uint8_t> controls(context.data.data(), length);
    (void)Elem_TransformVarData(6, controls, context.transform);

    PointArray points;
    if (Bezier_ToPolyline(controls, points) != kGeomOk) return kConvertSamplingFailed;
    return FinishCurve(handle, context, header, line, points);
}
