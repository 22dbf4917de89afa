// The point list: the one process-wide collection of points that the spline and
// clothoid samplers fill segment by segment and the caller then reads as a polyline.
//
// Use: PointList_Init, one or more Spline_ToPolyline (all pieces of a contour) or one
// Clothoid_ToPolyline, PointList_Get, PointList_Free. The converter is single-threaded;
// the list is not meant to be shared between threads.
#pragma once

#include <cstdint>

#include "support/geometry/GeometryTypes.h"

// Empties the list and makes room for 2 048 points. 0, or kGeomNoMemory (the list is
// then empty and still usable: it grows on demand).
[[nodiscard]] std::int32_t PointList_Init();

struct PointListView {
    const double* xy = nullptr;  // flat x, y pairs; valid until the list next changes
    std::int32_t count = 0;      // number of points
};

// The points collected since PointList_Init.
[[nodiscard]] PointListView PointList_Get();

// Empties the list and gives its memory back.
void PointList_Free();

// Segment output of the samplers: the first segment of an empty list adds its start
// and end points, every later segment only its end point. The list grows as needed
// (it is never written beyond its room). Results: 0; kGeomTooManyPoints when the list
// would exceed kMaxCurvePoints points; kGeomNoMemory when it cannot grow. On failure
// the list keeps the points it had.
[[nodiscard]] std::int32_t PointList_AddSegment(Point from, Point to);
