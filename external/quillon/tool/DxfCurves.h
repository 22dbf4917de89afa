// Plane curves of DXF drawings as points: arcs given by a bulge, the pieces of a hatch
// boundary (line, circular arc, elliptic arc, cubic Bézier run), and their sampling into
// points with a chord error of at most kChordError drawing units.
#pragma once

#include <cstddef>
#include <numbers>
#include <vector>

#include "DxfSpline.h"

namespace quillon_tool {

inline constexpr double kPi = std::numbers::pi;
inline constexpr double kChordError = 0.01;
// Most steps one arc, ellipse or Bézier segment is sampled with; a curve that would need
// more is sampled coarser and the caller told so.
inline constexpr std::size_t kMaxArcSteps = 10000;

// One piece of a boundary. Arcs run from `start` through the signed `sweep` (positive
// counter-clockwise); ellipses from parameter p0 to p1 (counter-clockwise when p1 > p0).
struct Piece {
    enum Type { kLine, kArc, kEllipse, kBezier } type = kLine;
    Point2 a, b;                         // line ends
    Point2 c;                            // arc / ellipse centre
    double r = 0, start = 0, sweep = 0;  // arc: radius, start angle, signed sweep
    Point2 major;                        // ellipse major axis
    double ratio = 1, p0 = 0, p1 = 0;    // ellipse parameters (counter-clockwise p0 to p1)
    std::vector<Point2> bezier;          // start, then three per segment
};
using Loop = std::vector<Piece>;

[[nodiscard]] Point2 Polar(Point2 centre, double radius, double angle);
[[nodiscard]] double Dist(Point2 a, Point2 b);
// True for a sweep of a whole turn (within 1e-9).
[[nodiscard]] bool FullTurn(double sweep);

// Steps for an arc of radius r over `sweep` radians with a chord error of at most
// kChordError (at least 1, at most kMaxArcSteps: `capped` is then set).
[[nodiscard]] std::size_t ArcSteps(double r, double sweep, bool& capped);

// The arc from P to Q (P != Q) of DXF bulge b: the tangent of a quarter of its included
// angle, positive counter-clockwise.
[[nodiscard]] Piece BulgeArc(Point2 p, Point2 q, double bulge);

// Appends the points of `piece` after its start up to and including its end (a line
// gives its end only).
void SamplePiece(const Piece& piece, std::vector<Point2>& out, bool& capped);
[[nodiscard]] Point2 PieceStart(const Piece& piece);

// Even-odd test of `p` against the closed polygon `poly` (no points: false).
[[nodiscard]] bool Inside(Point2 p, const std::vector<Point2>& poly);

}  // namespace quillon_tool
