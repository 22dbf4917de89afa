// Angles and distances of the plane: directions of vectors, reduction into one turn,
// the angle between two rays, rotation of a vector.
//
// Angles are radians, counter-clockwise from +x. A vector component whose magnitude is
// at or below kGeomZero (0.00001) counts as zero in the zero tests below.
// NaN in gives NaN out (never a hang or a trap); infinite values give NaN or the
// limit atan2 gives, never a loop.
#pragma once

#include "support/geometry/GeometryTypes.h"

// Direction of the vector P1->P2 in [0, 2π). When |dx| <= 0.00001 the vector counts as
// vertical: π/2 for dy > 0, 0 for dy == 0, 3π/2 for dy < 0.
[[nodiscard]] double Angle_Of(double x1, double y1, double x2, double y2);

// atan2(y, x) in (−π, π], except that |x| <= 0.00001 gives π/2 (y >= 0) or −π/2 (y < 0).
[[nodiscard]] double Angle_Atan2(double y, double x);

// `a` brought into [0, 2π) by whole turns. Exact for every finite value (a remainder,
// not a loop of additions, so 1e300 takes no longer than 1); NaN or infinity gives NaN.
[[nodiscard]] double Angle_Normalize(double a);

// Direction of the vector (dx, dy), lifted by 2π when it would be below 0.00001, so
// the result lies in [0.00001, 2π + 0.00001): due east gives 2π, not 0. Both
// components at or below 0.00001 in magnitude: 0. A component counts as negative in
// the quadrant tests when it is below 0.00001.
[[nodiscard]] double Angle_Dir(double dx, double dy);

// Angle from the ray O->A to the ray O->B, counter-clockwise, in [0, 2π + 0.00001) (from
// Angle_Dir of both rays, so a zero-length ray has direction 0).
[[nodiscard]] double Angle_Between(Point o, Point a, Point b);

// Euclidean distance (without overflow for coordinates near the double range).
[[nodiscard]] double Distance(Point p1, Point p2);

// Rotates `v` by +a (sense 1) or −a (sense 2). `v` stays unchanged when both its
// components are at or below 0.00001 in magnitude, or when `sense` is neither 1 nor 2.
void Vector_Rotate(Point& v, double a, int sense);
