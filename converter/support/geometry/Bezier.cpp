// Bézier sampling. The whole point count is summed first (with the cap checked in
// doubles, so a huge control polygon is refused rather than attempted) and the array
// allocated once: no growth while sampling, and a failed allocation can never leave
// a curve cut short behind a success.
#include "support/geometry/Bezier.h"

#include <cmath>
#include <new>

#include "support/ByteOrder.h"
#include "support/geometry/Angles.h"

namespace {

constexpr std::size_t kPointBytes = 16;
constexpr std::size_t kSegmentBytes = 48;

Point ReadPoint(std::span<const std::uint8_t> data, std::size_t offset) {
    Point p;
    // The caller has checked that the point lies inside `data`.
    (void)LoadF64(data, offset, p.x);
    (void)LoadF64(data, offset + 8, p.y);
    return p;
}

}  // namespace

std::int32_t Bezier_ToPolyline(std::span<const std::uint8_t> data, PointArray& out) {
    out.xy.clear();
    if (data.size() < kPointBytes) return kGeomDataTooShort;
    const std::size_t segments = (data.size() - kPointBytes) / kSegmentBytes;
    const std::size_t pointCount = 1 + 3 * segments;

    // First pass: validate and count.
    double total = 2.0;  // the start point and the repeated end point
    Point prev = ReadPoint(data, 0);
    if (!IsFinite(prev)) return kGeomNotFinite;
    for (std::size_t i = 1; i < pointCount; ++i) {
        if (!IsFinite(ReadPoint(data, i * kPointBytes))) return kGeomNotFinite;
    }
    for (std::size_t s = 0; s < segments; ++s) {
        const std::size_t base = kPointBytes + s * kSegmentBytes;
        const Point p1 = ReadPoint(data, base);
        const Point p2 = ReadPoint(data, base + 16);
        const Point p3 = ReadPoint(data, base + 32);
        total += std::trunc(Distance(prev, p1) + Distance(p1, p2) + Distance(p2, p3) + 1.0);
        // Checked inside the loop so that the sum never reaches infinity unnoticed.
        if (!(total <= static_cast<double>(kMaxCurvePoints))) return kGeomTooManyPoints;
        prev = p3;
    }

    try {
        out.xy.reserve(2 * static_cast<std::size_t>(total));
    } catch (const std::bad_alloc&) {
        out.xy = {};
        return kGeomNoMemory;
    }
    auto emit = [&out](Point p) {
        out.xy.push_back(p.x);  // within the reserved room: never allocates
        out.xy.push_back(p.y);
    };
    prev = ReadPoint(data, 0);
    emit(prev);
    for (std::size_t s = 0; s < segments; ++s) {
        const std::size_t base = kPointBytes + s * kSegmentBytes;
        const Point p0 = prev;
        const Point p1 = ReadPoint(data, base);
        const Point p2 = ReadPoint(data, base + 16);
        const Point p3 = ReadPoint(data, base + 32);
        const auto n = static_cast<std::int64_t>(
            std::trunc(Distance(p0, p1) + Distance(p1, p2) + Distance(p2, p3) + 1.0));
        for (std::int64_t i = 1; i <= n; ++i) {
            const double t = static_cast<double>(i) / static_cast<double>(n);
            const double u = 1.0 - t;
            const double b0 = u * u * u;
            const double b1 = 3.0 * t * u * u;
            const double b2 = 3.0 * t * t * u;
            const double b3 = t * t * t;
            emit({b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x,
                  b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y});
        }
        prev = p3;
    }
    emit(prev);
    return kGeomOk;
}
