// The holes of a fill, piece by piece, into the extension file.
//
// Quillon describes a hole with its own shapes (lines, arcs, circles, polygons, curves,
// elliptic arcs); the extension file knows only segments, arcs and circles. Polygons
// become their edges, curves and elliptic arcs are sampled first and become the edges of
// the samples.
//
// The polygon points come from db_get_holeprm_data into a buffer that is grown to the
// count the piece itself gives before the call, and only the bytes the call reports as
// written are used: a piece larger than the starting 300 points is converted whole, and a
// count that lies about the stored points can neither overflow the buffer nor make us use
// bytes Quillon never delivered.
#include "convert/FillHoles.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <span>
#include <vector>

#include "convert/ConvertStatus.h"
#include "convert/CurveSampling.h"
#include "convert/SampledCurves.h"
#include "convert/WalkContext.h"
#include "pelmar/Pelmar.h"
#include "support/ByteOrder.h"
#include "support/geometry/Bezier.h"
#include "support/geometry/Transform.h"
#include "support/tables/PdbTables.h"

namespace {

// Quillon's piece codes.
constexpr std::uint16_t kPieceLine = 1;
constexpr std::uint16_t kPieceArc = 2;
constexpr std::uint16_t kPieceCircle = 3;
constexpr std::uint16_t kPiecePolygon = 4;
constexpr std::uint16_t kPieceCurve = 5;
constexpr std::uint16_t kPieceEllipticArc = 6;

constexpr std::size_t kPieceValueCount = 7;

// The values of a piece as Quillon gives them (unused ones zero).
std::array<double, kPieceValueCount> PieceValues(std::span<const std::uint8_t> piece) {
    std::array<double, kPieceValueCount> values{};
    for (std::size_t i = 0; i < kPieceValueCount; ++i) {
        (void)LoadF64(piece, quillon::kHolePieceValues + 8 * i, values[i]);
    }
    return values;
}

bool IsIdentity(const Matrix4& m) {
    Matrix4 identity{};
    Matrix4_Identity(identity);
    return m == identity;
}

// Writes the records of one hole: the first through PDB_Put_hole_prm, the others through
// PDB_Put_hole_prmNext. A failed put is left to Pelmar's order check: the next piece
// and the hole's end then report it.
class HoleWriter {
  public:
    HoleWriter(const Matrix4& transform, std::int32_t elemNo, std::int32_t holeNo)
        : transform_(transform),
          identity_(IsIdentity(transform)),
          elemNo_(elemNo),
          holeNo_(holeNo) {}

    [[nodiscard]] Point Carry(Point p) const { return identity_ ? p : Xform_Point(transform_, p); }
    [[nodiscard]] bool Identity() const { return identity_; }
    [[nodiscard]] const Matrix4& Transform() const { return transform_; }

    void Segment(Point from, Point to) {
        std::array<std::uint8_t, PELMAR_HOLE_SEGMENT_SIZE> record{};
        (void)StoreI16(record, 0, PELMAR_HOLE_SEGMENT);
        (void)StoreF64(record, 2, from.x);
        (void)StoreF64(record, 10, from.y);
        (void)StoreF64(record, 18, to.x);
        (void)StoreF64(record, 26, to.y);
        Put(record);
    }
    // An arc as the drawing keeps it: start, a point on the arc, end.
    void Arc(Point start, Point middle, Point end) {
        std::array<std::uint8_t, PELMAR_HOLE_ARC_SIZE> record{};
        (void)StoreI16(record, 0, PELMAR_HOLE_ARC);
        const std::array<Point, 3> points{start, middle, end};
        for (std::size_t i = 0; i < points.size(); ++i) {
            (void)StoreF64(record, 2 + 16 * i, points[i].x);
            (void)StoreF64(record, 10 + 16 * i, points[i].y);
        }
        Put(record);
    }
    void Circle(Point centre, double radius) {
        std::array<std::uint8_t, PELMAR_HOLE_CIRCLE_SIZE> record{};
        (void)StoreI16(record, 0, PELMAR_HOLE_CIRCLE);
        (void)StoreF64(record, 2, centre.x);
        (void)StoreF64(record, 10, centre.y);
        (void)StoreF64(record, 18, radius);
        Put(record);
    }
    // Every edge of sampled points (already carried) as a segment.
    void Edges(const PointArray& points) {
        for (std::int32_t i = 0; i + 1 < points.Count(); ++i)
            Segment(points.At(i), points.At(i + 1));
    }

  private:
    void Put(std::span<const std::uint8_t> record) {
        const char* ext = PdbHead_ExtPath();
        if (first_) {
            (void)PDB_Put_hole_prm(ext, elemNo_, holeNo_, record.data());
            first_ = false;
        } else {
            (void)PDB_Put_hole_prmNext(ext, elemNo_, holeNo_, record.data());
        }
    }

    const Matrix4& transform_;
    bool identity_;
    std::int32_t elemNo_;
    std::int32_t holeNo_;
    bool first_ = true;
};

// Makes room for `points` points. False beyond kWalkDataLimit bytes or without memory
// (the buffer is then unchanged).
bool ReservePoints(std::vector<std::uint8_t>& buffer, std::uint64_t points) {
    const std::uint64_t bytes = points * quillon::kHolePointSize;
    if (bytes > kWalkDataLimit) return false;
    if (bytes <= buffer.size()) return true;
    try {
        buffer.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The points of the current piece (count `count` as the piece gives it, one more room
// for a polygon's closing point), carried through the transform. `delivered` gets the
// number of whole points Quillon wrote. 0 or kConvertNoMemory.
int ReadPiecePoints(DrawingHandle& handle, const HoleWriter& writer, std::uint32_t count,
                    std::vector<std::uint8_t>& buffer, std::size_t& delivered) {
    delivered = 0;
    if (!ReservePoints(buffer, std::uint64_t{count} + 1)) return kConvertNoMemory;
    const std::size_t room =
        std::min(buffer.size(), static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()));
    const std::int32_t got =
        db_get_holeprm_data(&handle, buffer.data(), static_cast<std::int32_t>(room));
    if (got <= 0) return kConvertOk;
    delivered = std::min(static_cast<std::size_t>(got), room) / quillon::kHolePointSize;
    if (!writer.Identity()) {
        const std::span<std::uint8_t> bytes(buffer.data(), delivered * quillon::kHolePointSize);
        for (std::size_t i = 0; i < delivered; ++i) {
            Point p;
            (void)LoadF64(bytes, 16 * i, p.x);
            (void)LoadF64(bytes, 16 * i + 8, p.y);
            p = writer.Carry(p);
            (void)StoreF64(bytes, 16 * i, p.x);
            (void)StoreF64(bytes, 16 * i + 8, p.y);
        }
    }
    return kConvertOk;
}

Point PointAt(std::span<const std::uint8_t> bytes, std::size_t i) {
    Point p;
    (void)LoadF64(bytes, 16 * i, p.x);
    (void)LoadF64(bytes, 16 * i + 8, p.y);
    return p;
}

// One piece into its records. 0, kConvertNoMemory or kConvertSamplingFailed.
int PutPiece(DrawingHandle& handle, std::span<const std::uint8_t> piece, HoleWriter& writer,
             std::vector<std::uint8_t>& buffer) {
    std::uint16_t code = 0;
    std::uint32_t count = 0;
    (void)LoadU16(piece, quillon::kHolePieceCode, code);
    (void)LoadU32(piece, quillon::kHolePiecePointCount, count);
    const std::array<double, kPieceValueCount> v = PieceValues(piece);
    switch (code) {
        case kPieceLine:
            writer.Segment(writer.Carry({v[0], v[1]}), writer.Carry({v[2], v[3]}));
            return kConvertOk;
        case kPieceArc:
            writer.Arc(writer.Carry({v[0], v[1]}), writer.Carry({v[2], v[3]}),
                       writer.Carry({v[4], v[5]}));
            return kConvertOk;
        case kPieceCircle:
            writer.Circle(writer.Carry({v[0], v[1]}),
                          writer.Identity() ? v[2] : Xform_Length(writer.Transform(), v[2]));
            return kConvertOk;
        case kPiecePolygon: {
            std::size_t delivered = 0;
            if (const int rc = ReadPiecePoints(handle, writer, count, buffer, delivered); rc != 0)
                return rc;
            if (delivered < 2) return kConvertOk;
            const std::span<const std::uint8_t> bytes(buffer.data(), delivered * 16);
            const std::size_t edges = std::min<std::size_t>(count, delivered - 1);
            for (std::size_t i = 0; i < edges; ++i)
                writer.Segment(PointAt(bytes, i), PointAt(bytes, i + 1));
            return kConvertOk;
        }
        case kPieceCurve: {
            std::size_t delivered = 0;
            if (const int rc = ReadPiecePoints(handle, writer, count, buffer, delivered); rc != 0)
                return rc;
            if (delivered < 2) return kConvertOk;
            PointArray samples;
            const std::int32_t rc = Bezier_ToPolyline(
                std::span<const std::uint8_t>(buffer.data(), delivered * 16), samples);
            if (rc == kGeomNoMemory) return kConvertNoMemory;
            if (rc != kGeomOk) return kConvertSamplingFailed;
            writer.Edges(samples);
            return kConvertOk;
        }
        case kPieceEllipticArc: {
            EllipseShape shape;
            shape.centre = {v[0], v[1]};
            shape.rx = v[2];
            shape.ry = v[3];
            shape.start = v[4];
            shape.end = v[5];
            shape.rotation = v[6];
            shape.counterClockwise = true;
            // Whether it is a full turn is a property of the stored angles.
            const bool full = Curve_IsFullSweep(shape.start, shape.end, true);
            if (!writer.Identity()) shape = Ellipse_Transform(shape, writer.Transform());
            CurveShape curve = Curve_EllipseShape(shape.centre, shape.rx, shape.ry, shape.rotation,
                                                  shape.start, shape.end, shape.counterClockwise);
            curve.full = full;
            PointArray samples;
            if (const int rc = Curve_Sample(curve, samples); rc != kConvertOk) return rc;
            writer.Edges(samples);
            return kConvertOk;
        }
        default:
            return kConvertOk;
    }
}

}  // namespace

int Put_FillHoles(DrawingHandle& handle, const Matrix4& transform, std::int32_t pid,
                  std::int32_t elemNo) {
    if (db_get_hole_start(&handle, pid) != quillon::kQuillonOk) return kConvertLookupFailed;
    std::vector<std::uint8_t> points;
    if (!ReservePoints(points, kHolePointsInitial)) {
        (void)db_get_hole_end(&handle);
        return kConvertNoMemory;
    }
    int result = kConvertOk;
    const std::int32_t holes = db_get_hole_count(&handle);
    for (std::int32_t h = 1; h <= holes; ++h) {
        if (db_get_holeprm_start(&handle, h) != quillon::kQuillonOk) continue;
        HoleWriter writer(transform, elemNo, h);
        const std::int32_t pieces = db_get_holeprm_count(&handle);
        int failure = kConvertOk;
        for (std::int32_t i = 0; i < pieces && failure == kConvertOk; ++i) {
            std::array<std::uint8_t, quillon::kHolePieceSize> piece{};
            if (db_get_holeprm(&handle, piece.data()) != quillon::kQuillonOk) break;
            failure = PutPiece(handle, piece, writer, points);
        }
        if (failure != kConvertOk) {
            (void)db_get_holeprm_end(&handle);
            result = failure;
            break;
        }
        result = PDB_Put_hole_prmEnd(PdbHead_ExtPath(), elemNo, h);
        (void)db_get_holeprm_end(&handle);
    }
    (void)db_get_hole_end(&handle);
    return result;
}
