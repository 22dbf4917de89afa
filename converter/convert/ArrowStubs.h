// The arrows of dashed leaders, dimension lines and arc dimension lines.
//
// A dashed body is written as plain polylines (DashedLines.h), which carry no arrows; so
// each arrow the element had is written as a dimension-line record of its own, a stub
// kArrowStubLength long that starts at the arrow's point and runs along the element.
//
// Every stub is one record of kind 11 (its sign from the context's pkd): layer, second
// header word, pen, line type 0, attribute values 0, the arrow type, arrow ends 1, the
// arrow size, the stub's start P and end Q; then the element is ended. A start stub is
// written when the arrow ends are 1 or 3, an end stub when they are 2 or 3; other
// values write nothing. The arrow size is taken as given (the walk has already made it
// 1.3 for arrow type 0).
#pragma once

#include <cstdint>
#include <span>

#include "convert/WalkContext.h"
#include "support/geometry/GeometryTypes.h"

inline constexpr double kArrowStubLength = 0.1;

// The arrow attribute of a leader or dimension line (get_att_arrow).
struct ArrowValues {
    std::int16_t type = 0;
    std::int16_t ends = 0;  // 1 start, 2 end, 3 both
    double size = 0.0;
};

// Leaders (kind 10) and dimension lines (kind 11, its two points): `xy` holds the
// element's points (flat x, y pairs, already transformed). The start stub runs from the
// first point P towards the second point, the end stub from the last point towards the
// one before it; Q = P + 0.1 (cos a, sin a) with a = Angle_Of(P, next point), so a next
// point equal to P gives a stub pointing along +x. Fewer than two points write nothing.
// Result: 0.
[[nodiscard]] int Arrow_PutLineStubs(const ElementWalkContext& context, const ElementHeader& header,
                                     std::int16_t pen, const ArrowValues& arrow,
                                     std::span<const double> xy);

// Arc dimension lines (kind 12): the arc from P1 through Pm to P2. Each stub runs from
// its end of the arc along the arc: Q is the first point after P that Arc_ToPolyline
// gives with a step of 0.1 (from P1 through Pm to P2 for the start stub, from P2 back
// through Pm to P1 for the end stub); an arc shorter than that ends the stub at the
// arc's other end. Collinear points (a flat arc) give a stub 0.1 long along the chord.
// Result: 0, or the Arc_ToPolyline status that kept a stub from being built (a point
// that is not finite, an arc too large for 0.1 steps); stubs already written stay.
[[nodiscard]] int Arrow_PutArcStubs(const ElementWalkContext& context, const ElementHeader& header,
                                    std::int16_t pen, const ArrowValues& arrow, Point p1, Point pm,
                                    Point p2);
