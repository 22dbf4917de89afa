// Curves that the PDB has no record for: ellipses and elliptic arcs (kind 26) and Bézier
// curves (kind 27) are sampled into points and written as polyline records (kind 6).
// The conversions themselves (Convert_Ellipse, Convert_Bezier, Put_SampledPolyline) are
// declared with the walk in WalkContext.h; this header holds what they share with the
// later conversions of sampled arcs and circles.
//
// Convert_Ellipse(handle, context)
//   Reads the 63-byte fixed part after the pkd: the three header words, then the centre
//   x, y, the radii rx, ry, the start and end angle, the rotation (doubles at 6, 14, 22,
//   30, 38, 46, 54) and the direction byte at 62 (non-zero: counter-clockwise). Full or
//   partial by Curve_IsFullSweep on the angles as stored (CurveSampling.h). The ellipse
//   is carried through the context's transform (Ellipse_Transform) and sampled by
//   Curve_Sample, with the converter's one sampling step measured in the converted
//   drawing's units.
// Convert_Bezier(handle, context)
//   Reads the 15-byte fixed part, then the control points as the rest of the element
//   (db_rest_record gives the byte count; a rest of more than 65,535 bytes, which that
//   count cannot give, is read whole all the same). Every control point is carried
//   through the transform (a Bézier curve's image is the curve of the images of its
//   control points), then Bezier_ToPolyline samples it.
//
// Both, in order: the line attribute (not found: 11, nothing written); sampling failure
// (a non-finite value, a curve of more points than the samplers allow, an ellipse
// without extent, a Bézier without control points): 12, nothing written; the points:
// for line types 5 and 6 a dashed polyline (Dashed_Polyline, DashedLines.h), otherwise
// polyline records (Put_SampledPolyline: runs of kSampledRunPoints points, each later
// run beginning with the joint point); at the down level the original element is then
// removed (Walk_RemoveReplaced); then the pen is registered. The status of the dashed
// polyline when it is not 0, else the registration's (0 or 11). A fixed part that Quillon gives
// short or damaged: kConvertBadElement (14). No memory for the control points: kConvertNoMemory
// (5).
#pragma once

#include <cstddef>

#include "convert/CurveSampling.h"
#include "support/geometry/GeometryTypes.h"

// A sampled curve is written as polyline records of at most this many points each.
inline constexpr std::size_t kSampledRunPoints = 1000;

// Fixed-part sizes (after the pkd) of the two kinds.
inline constexpr std::size_t kEllipseFixedSize = 63;
inline constexpr std::size_t kBezierFixedSize = 15;

// An ellipse or elliptic arc by its stored values: the point at parameter φ is
// centre + R(rotation) · (rx cos φ, ry sin φ), from `start` to `end` in the given sense.
struct EllipseShape {
    Point centre;
    double rx = 0.0;
    double ry = 0.0;
    double start = 0.0;
    double end = 0.0;
    double rotation = 0.0;
    bool counterClockwise = true;
};

// The image of the ellipse under M (affine: rotation, scale, mirror, translation and
// their products, as placements make them). The centre goes through Xform_Point; the
// two semi-axis vectors through M's linear part give the image's conjugate
// semi-diameters, from which its own axes (rx', ry' >= 0 and the rotation) follow, and
// the parameters are shifted by the turn between the old and the new major axis. A
// mirroring M reverses the sense and negates the parameters. Under a rotation and
// uniform scale this is the centre moved, the radii scaled, the rotation turned and
// the parameters kept; under an unequal scale the image is still exact (a circle
// scaled by (2, 1) becomes an ellipse), which carrying radii and angles through
// Xform_Length and Xform_Angle alone would not give. A point that Xform_Point sends to
// (0, 0) (|w| <= 0.00001) gives radii 0.
// Whether the curve is full is a property of the stored angles (Curve_IsFullSweep on
// them, before the transform), which the transform may shift or negate.
[[nodiscard]] EllipseShape Ellipse_Transform(const EllipseShape& shape, const Matrix4& m);
