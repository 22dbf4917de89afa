// Sampling of a clothoid element (a curve whose curvature grows linearly with its
// length, R · L = A²) into the point list.
#pragma once

#include <cstdint>
#include <span>

#include "support/geometry/GeometryTypes.h"

// Byte offsets of the clothoid element's fields (the kind word at 0), all doubles:
inline constexpr std::size_t kClothoidParamA = 8;        // the parameter A
inline constexpr std::size_t kClothoidStartX = 16;       // start point (y at 24)
inline constexpr std::size_t kClothoidStartRadius = 32;  // 0: a straight start
inline constexpr std::size_t kClothoidStartOffset = 40;  // offset at the start
inline constexpr std::size_t kClothoidEndX = 48;         // end point (y at 56)
inline constexpr std::size_t kClothoidEndRadius = 64;    // 0: a straight end
inline constexpr std::size_t kClothoidEndOffset = 72;    // offset at the end
inline constexpr std::size_t kClothoidMinBytes = 80;

// Samples the clothoid of `element` into the point list (PointList_AddSegment; the
// caller initialises the list). First the element's kind word (bytes 0-1) is set to 2.
//
// The curve runs between the lengths L1 = A²/R1 and L2 = A²/R2 along the unit
// clothoid (0 for a radius at or below 0.00001 in magnitude; negated, with the curve
// run the other way, when L2 < L1; mirrored when R1 + R2 < 0), is scaled and turned
// so that it runs exactly from the given start point to the given end point, and is
// displaced sideways by an offset that goes linearly from the start offset to the end
// offset. It is sampled in steps of 1 drawing unit from L1 (the last step shorter)
// until at most 0.00001 of length remains.
// The offset displaces every point at right angles to the curve, to the left of the
// direction in which the curvature grows (towards the smaller radius): to the left of
// travel for a curve that tightens, to the right for one that opens out.
//
// Degenerate clothoids (|A| at or below 0.00001, L1 = L2, or start and end points
// closer than 0.00001) give the single segment start->end, without offsets.
// Results: 0; kGeomDataTooShort for an element shorter than kClothoidMinBytes
// (nothing changed); kGeomNotFinite for a NaN or infinite field, or a curve whose
// series cannot be evaluated (nothing added); kGeomTooManyPoints for a curve longer
// than kMaxCurvePoints drawing units (nothing added); kGeomNoMemory when the list
// cannot grow.
[[nodiscard]] std::int32_t Clothoid_ToPolyline(std::span<std::uint8_t> element);
