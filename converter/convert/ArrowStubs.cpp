// Arrow stubs. The stub is short (0.1) so that it shows the arrow head at the element's
// end without drawing a solid line over the dashes of the body.
#include "convert/ArrowStubs.h"

#include <cmath>

#include "convert/ConvertStatus.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/Angles.h"
#include "support/geometry/ArcSampling.h"

namespace {

bool StartsAtStart(std::int16_t ends) { return ends == 1 || ends == 3; }
bool StartsAtEnd(std::int16_t ends) { return ends == 2 || ends == 3; }

void PutStub(const ElementWalkContext& context, const ElementHeader& header, std::int16_t pen,
             const ArrowValues& arrow, Point p, Point q) {
    PdmDb_PutElementRec11(Walk_RecordFlags(context), {header.layer, header.second, pen, 0},
                          {0.0, 0.0, 0.0}, {arrow.type, 1}, {arrow.size, p.x, p.y, q.x, q.y});
    PdmDb_EndElement();
}

// The point kArrowStubLength from `p` towards `towards`.
Point AlongLine(Point p, Point towards) {
    const double angle = Angle_Of(p.x, p.y, towards.x, towards.y);
    return {p.x + kArrowStubLength * std::cos(angle), p.y + kArrowStubLength * std::sin(angle)};
}

// The first point Arc_ToPolyline gives after `from` on the arc from `from` through `pm`
// to `to`; the sampling stops after that first segment. On a true arc that point lies
// one step (0.1 of arc) away; flat (collinear) points give the whole chord as the one
// segment, and the stub would then draw a solid line over the dashed body: it is cut to
// kArrowStubLength along the chord instead.
std::int32_t AlongArc(Point from, Point pm, Point to, Point& q) {
    bool found = false;
    const std::int32_t rc = Arc_ToPolyline(from, pm, to, kArrowStubLength, [&](Point, Point next) {
        q = next;
        found = true;
        return 0;
    });
    if (rc != kGeomOk) return rc;
    if (!found) return kGeomNotFinite;
    if (Distance(from, q) > kArrowStubLength * (1.0 + 1e-9)) q = AlongLine(from, q);
    return kGeomOk;
}

}  // namespace

int Arrow_PutLineStubs(const ElementWalkContext& context, const ElementHeader& header,
                       std::int16_t pen, const ArrowValues& arrow, std::span<const double> xy) {
    const std::size_t points = xy.size() / 2;
    if (points < 2) return kConvertOk;
    if (StartsAtStart(arrow.ends)) {
        const Point p{xy[0], xy[1]};
        PutStub(context, header, pen, arrow, p, AlongLine(p, {xy[2], xy[3]}));
    }
    if (StartsAtEnd(arrow.ends)) {
        const std::size_t last = 2 * (points - 1);
        const Point p{xy[last], xy[last + 1]};
        PutStub(context, header, pen, arrow, p, AlongLine(p, {xy[last - 2], xy[last - 1]}));
    }
    return kConvertOk;
}

int Arrow_PutArcStubs(const ElementWalkContext& context, const ElementHeader& header,
                      std::int16_t pen, const ArrowValues& arrow, Point p1, Point pm, Point p2) {
    if (StartsAtStart(arrow.ends)) {
        Point q;
        const std::int32_t rc = AlongArc(p1, pm, p2, q);
        if (rc != kGeomOk) return rc;
        PutStub(context, header, pen, arrow, p1, q);
    }
    if (StartsAtEnd(arrow.ends)) {
        Point q;
        const std::int32_t rc = AlongArc(p2, pm, p1, q);
        if (rc != kGeomOk) return rc;
        PutStub(context, header, pen, arrow, p2, q);
    }
    return kConvertOk;
}
