// Lines and circles: the intersection of two lines, the circle through three points
// and the orientation of a triangle.
#pragma once

#include "support/geometry/GeometryTypes.h"

// Result of Lines_Intersect.
struct LineIntersection {
    Point point;      // P1 + t1 (P2 − P1)
    double t1 = 0.0;  // parameter along P1P2 (0 at P1, 1 at P2)
    double t2 = 0.0;  // parameter along P3P4 (0 at P3, 1 at P4)
};

// Intersection of the lines P1P2 and P3P4. Returns 1 and fills `out`; returns 0 and
// leaves `out` untouched when the lines are parallel, i.e. when the determinant
// (x2 − x1)(y4 − y3) − (y2 − y1)(x4 − x3) is below 0.00001 in magnitude (which also
// covers a zero-length P1P2 or P3P4). NaN inputs make the test fail: result 0.
[[nodiscard]] int Lines_Intersect(Point p1, Point p2, Point p3, Point p4, LineIntersection& out);

// Circle through three points: the intersection of the perpendicular bisectors of
// P1P2 and P2P3. Returns 1 with the centre and the radius (distance centre-P1).
// When the bisectors are parallel (collinear or coincident points) returns 0 with the
// midpoint of P1 and P3 as centre and radius 0.
[[nodiscard]] int Circle_From3Points(Point p1, Point p2, Point p3, Point& centre, double& radius);

// Twice the signed area of the triangle P1 P2 P3 is ((y3 − y1) x2 + (y2 − y3) x1 +
// (y1 − y2) x3); this returns the area itself (positive: counter-clockwise).
[[nodiscard]] double Triangle_SignedArea(Point p1, Point p2, Point p3);

// Sign of the signed area with an exact zero test: 1 counter-clockwise, −1 clockwise,
// 0 collinear (or NaN).
[[nodiscard]] int Orientation3(Point p1, Point p2, Point p3);
