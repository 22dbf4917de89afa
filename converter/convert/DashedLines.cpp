// Dashed lines. Every shape is brought to one polyline first (a line is a polyline of
// two points, curves are sampled), so the attribute re-read, the switch and the cut are
// written once.
//
// The pattern needs no allocation: at most 127 pairs fit a fixed array, so the "no
// memory for the pattern" failure cannot happen. Points go out as element data through
// a fixed staging block whose size is a multiple of the 256-byte data pieces, so the
// pieces on the pipe are the same as for one transfer of the whole array and a curve of
// any size needs no second copy of its points.
#include "convert/DashedLines.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <new>
#include <vector>

#include "convert/ConvertStatus.h"
#include "convert/CurveSampling.h"
#include "convert/ElementWalk.h"
#include "pelmar/Pelmar.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/Clothoid.h"
#include "support/geometry/DashSplit.h"
#include "support/geometry/PointList.h"
#include "support/geometry/Spline.h"
#include "support/pipe/DebugPrint.h"
#include "support/tables/PdbTables.h"

namespace {

constexpr std::size_t kPointBytes = 16;
constexpr std::size_t kStagingPoints = 256;  // 4096 bytes: 16 data pieces of 256
constexpr std::size_t kType5Floats = 8;
constexpr std::size_t kCircleBlockBytes = 50;  // i16 item code, six doubles
constexpr std::int16_t kCircleBlockCode = 4;

// Only whole points count.
std::span<const double> WholePoints(std::span<const double> xy) {
    return xy.first(xy.size() / 2 * 2);
}

// The kind-6 record every piece and every switched-off polyline is written with.
void PutPolylineRecord(const ElementWalkContext& context, const ElementHeader& header,
                       std::int16_t pen, std::int16_t lineType, std::span<const double> xy) {
    PdmDb_PutElementRec6(Walk_RecordFlags(context), {header.layer, 0, pen, lineType},
                         {0.0, 0.0, 0.0}, {pen, 0});
    Put_PointData(xy);
}

// The dashed polyline of the header's contract; `asLine` writes the switched-off
// element as a kind-2 line (exactly two points) instead of a kind-6 polyline.
int PutDashed(DrawingHandle& handle, const ElementWalkContext& context, const ElementHeader& header,
              std::int16_t pen, std::span<const double> xy, bool asLine) {
    LineAttribute line;
    if (Walk_ReadLineAttribute(handle, context, header.aid, line) != kConvertOk) {
        DbgPrint("   鎖線間隔取得失敗 att_line_ex() rc[%d] aid[%d] lno[%d] segcnt[%d]\n",
                 line.status, header.aid, line.lineType, line.segcnt);
        return kConvertLookupFailed;
    }
    const std::int16_t flags = Walk_RecordFlags(context);
    const std::span<const double> points = WholePoints(xy);

    if (Walk_DashExpansion() == 0) {
        if (asLine && points.size() == 4) {
            PdmDb_PutElementRec2(flags, {header.layer, 0, pen, line.lineType},
                                 {0.0, 0.0, 0.0, points[0], points[1], points[2], points[3]});
        } else {
            PutPolylineRecord(context, header, pen, line.lineType, points);
        }
        const std::int32_t elemNo = PdmDb_LastElemNo();
        PdmDb_EndElement();
        return PDB_ATT_LINE_Plus(PdbHead_ExtPath(), elemNo, line.segcnt, line.floats.data());
    }

    std::array<double, 2 * kDashMaxPairs> storage{};
    const std::size_t used = Dashed_Pattern(line, storage);
    const std::span<const double> pattern(storage.data(), used);
    return Dash_Split(points, pattern, 0.0,
                      [&](const double* piece, std::int32_t count) -> std::int32_t {
                          PutPolylineRecord(context, header, pen, 0,
                                            {piece, 2 * static_cast<std::size_t>(count)});
                          PdmDb_EndElement();
                          return kGeomOk;
                      });
}

// Runs a sampler that fills the process-wide point list, then writes what it collected
// as a dashed polyline. The list is freed on every path.
template <class Sampler>
int FromPointList(DrawingHandle& handle, const ElementWalkContext& context,
                  const ElementHeader& header, std::int16_t pen, Sampler&& sample) {
    // A list that could not reserve its room still grows on demand (PointList.h).
    (void)PointList_Init();
    int status = sample();
    if (status == kGeomOk) {
        const PointListView view = PointList_Get();
        status = PutDashed(handle, context, header, pen,
                           {view.xy, 2 * static_cast<std::size_t>(view.count)}, false);
    }
    PointList_Free();
    return status;
}

}  // namespace

std::size_t Dashed_Pattern(const LineAttribute& line,
                           std::span<double, 2 * kDashMaxPairs> pattern) {
    const std::size_t count = line.lineType == 5
                                  ? kType5Floats
                                  : std::min<std::size_t>(line.segcnt / 2u, kDashMaxPairs) * 2u;
    for (std::size_t i = 0; i < count; ++i) pattern[i] = line.floats[i];
    return count;
}

int Dashed_DecodePoints(std::span<const std::uint8_t> data, std::vector<double>& xy) {
    xy.clear();
    try {
        xy.resize(data.size() / kPointBytes * 2);
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
    for (std::size_t i = 0; i < xy.size(); ++i) (void)LoadF64(data, 8 * i, xy[i]);
    return kConvertOk;
}

void Put_PointData(std::span<const double> xy) {
    const std::span<const double> points = WholePoints(xy);
    std::array<std::uint8_t, kStagingPoints * kPointBytes> block{};
    std::size_t at = 0;
    while (at < points.size()) {
        const std::size_t n = std::min(points.size() - at, 2 * kStagingPoints);
        for (std::size_t i = 0; i < n; ++i) (void)StoreF64(block, 8 * i, points[at + i]);
        PdmDb_PutElemData(std::span<const std::uint8_t>(block).first(8 * n));
        at += n;
    }
}

int Dashed_Line(DrawingHandle& handle, const ElementWalkContext& context,
                const ElementHeader& header, std::int16_t pen, Point p1, Point p2) {
    const std::array<double, 4> xy{p1.x, p1.y, p2.x, p2.y};
    return PutDashed(handle, context, header, pen, xy, true);
}

int Dashed_Polyline(DrawingHandle& handle, const ElementWalkContext& context,
                    const ElementHeader& header, std::int16_t pen, std::span<const double> xy) {
    return PutDashed(handle, context, header, pen, xy, false);
}

int Dashed_Arc(DrawingHandle& handle, const ElementWalkContext& context,
               const ElementHeader& header, std::int16_t pen, Point p1, Point pm, Point p2) {
    PointArray points;
    const int status = Curve_SampleArc(p1, pm, p2, points);
    if (status != kConvertOk) return status;
    return PutDashed(handle, context, header, pen, points.xy, false);
}

int Dashed_Circle(DrawingHandle& handle, const ElementWalkContext& context,
                  const ElementHeader& header, std::int16_t pen, Point centre, double radius) {
    PointArray points;
    const int status = Curve_Sample(Curve_CircleShape(centre, radius), points);
    if (status != kConvertOk) return status;
    return PutDashed(handle, context, header, pen, points.xy, false);
}

int Dashed_PaintedCircle(DrawingHandle& handle, const ElementWalkContext& context,
                         const ElementHeader& header, std::int16_t pen, std::int16_t paintNo,
                         std::int16_t ppat, Point centre, double radius) {
    const int status = Dashed_Circle(handle, context, header, pen, centre, radius);
    if (status != kConvertOk) return status;
    // A fill's boundary is its first block and at least one more; the circle closes
    // itself, so the same block serves as both.
    std::array<std::uint8_t, 2 * kCircleBlockBytes> blocks{};
    for (std::size_t at = 0; at < blocks.size(); at += kCircleBlockBytes) {
        (void)StoreI16(blocks, at, kCircleBlockCode);
        (void)StoreF64(blocks, at + 2, centre.x);
        (void)StoreF64(blocks, at + 10, centre.y);
        (void)StoreF64(blocks, at + 18, radius);
    }
    PdmDb_PutElementRec16(Walk_RecordFlags(context), {header.layer, header.second, pen, 0},
                          {0.0, 0.0, 0.0}, {paintNo, ppat});
    PdmDb_PutElemData(blocks);
    PdmDb_EndElement();
    return kConvertOk;
}

int Dashed_Clothoid(DrawingHandle& handle, const ElementWalkContext& context,
                    const ElementHeader& header, std::int16_t pen,
                    std::span<const std::uint8_t> element) {
    std::vector<std::uint8_t> copy(element.begin(), element.end());
    return FromPointList(handle, context, header, pen,
                         [&] { return static_cast<int>(Clothoid_ToPolyline(copy)); });
}

int Dashed_Contour(DrawingHandle& handle, const ElementWalkContext& context,
                   const ElementHeader& header, std::int16_t pen,
                   std::span<const std::uint8_t> items) {
    return FromPointList(handle, context, header, pen,
                         [&] { return static_cast<int>(Contour_ToPolyline(items)); });
}

int Dashed_Leader(DrawingHandle& handle, const ElementWalkContext& context,
                  const ElementHeader& header, std::int16_t pen, const ArrowValues& arrow,
                  std::span<const double> xy) {
    const int status = Dashed_Polyline(handle, context, header, pen, xy);
    if (status != kConvertOk) return status;
    return Arrow_PutLineStubs(context, header, pen, arrow, xy);
}

int Dashed_DimensionLine(DrawingHandle& handle, const ElementWalkContext& context,
                         const ElementHeader& header, std::int16_t pen, const ArrowValues& arrow,
                         Point p1, Point p2) {
    const int status = Dashed_Line(handle, context, header, pen, p1, p2);
    if (status != kConvertOk) return status;
    const std::array<double, 4> xy{p1.x, p1.y, p2.x, p2.y};
    return Arrow_PutLineStubs(context, header, pen, arrow, xy);
}

int Dashed_ArcDimensionLine(DrawingHandle& handle, const ElementWalkContext& context,
                            const ElementHeader& header, std::int16_t pen, const ArrowValues& arrow,
                            Point p1, Point pm, Point p2) {
    const int status = Dashed_Arc(handle, context, header, pen, p1, pm, p2);
    if (status != kConvertOk) return status;
    return Arrow_PutArcStubs(context, header, pen, arrow, p1, pm, p2);
}
