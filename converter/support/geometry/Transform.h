// Matrices and transforms: the placement matrix of a placed element and the carrying
// of points, lengths and angles through a 4x4 matrix (row vectors, p' = p · M).
#pragma once

#include "support/geometry/GeometryTypes.h"

// out := the identity.
void Matrix4_Identity(Matrix4& out);

// out := A · B, the plain product out[i][j] = Σk A[i][k] B[k][j]. `out` may be the same
// object as A or B.
void Matrix4_Multiply(const Matrix4& a, const Matrix4& b, Matrix4& out);

// out := S · R · T: scale (sx, sy, 1), then rotation about z by `rotation` (reduced into
// [0, 2π) first; m0 = cos, m1 = sin, m4 = −sin, m5 = cos), then translation (tx, ty, 0).
// A point is thus scaled, rotated and moved, in that order.
void Matrix_Compose(Matrix4& out, double tx, double ty, double rotation, double sx, double sy);

// Homogeneous transform of a point: w = x m3 + y m7 + m15; when |w| <= 0.00001 the
// point becomes (0, 0); else x' = (x m0 + y m4 + m12) / w, y' = (x m1 + y m5 + m13) / w.
[[nodiscard]] Point Xform_Point(const Matrix4& m, Point p);
// The same with a z coordinate, which enters w only (w = x m3 + y m7 + z m11 + m15).
[[nodiscard]] Point Xform_Point(const Matrix4& m, Point p, double z);

// A length carried through M: the images T0 of (0, 0) and T1 of (100, 100) give the
// factor |T1 − T0| / √(100² + 100²); 0 when |T1 − T0| <= 0.00001 (a degenerate matrix).
[[nodiscard]] double Xform_Length(const Matrix4& m, double length);

// An angle carried through M: a + direction(T0->T1) − π/4, the direction taken by
// Angle_Of (in [0, 2π)); the result itself is not reduced.
[[nodiscard]] double Xform_Angle(const Matrix4& m, double angle);
