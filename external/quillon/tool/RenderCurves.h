// The curve geometry of rendering: arcs through three points, elliptic arcs, Bézier
// curves and clothoids as points, and the chaining of boundary pieces into closed rings
// for the filled regions (fills, their holes, paint areas).
//
// Everything is in drawing units. Lines and arcs are drawn with cairo's own arcs and
// curves; the samplers here serve the closed outlines of filled regions (whose pieces
// must be chained end to end) and the clothoid, which cairo cannot draw. Non-finite
// input gives no points.
#pragma once

#include <vector>

namespace quillon_tool {

struct Pt {
    double x = 0, y = 0;
};
using Polyline = std::vector<Pt>;

// The circle through three points and the sweep from the first to the third through
// the second: angles of the first and last point about the centre, and the sense.
// False when the points are collinear (or not finite): the arc is then the straight
// segment from the first point to the last.
struct Arc3 {
    double cx = 0, cy = 0, r = 0, start = 0, end = 0;
    bool counterClockwise = true;
};
[[nodiscard]] bool ArcThrough(const Pt& p1, const Pt& pm, const Pt& p2, Arc3& arc);

// Points of the arc (collinear points: the segment), about 256 per full turn.
[[nodiscard]] Polyline SampleArc(const Pt& p1, const Pt& pm, const Pt& p2);
// Points of an ellipse arc about (cx, cy) with radii rx, ry, rotated by `rotation`,
// from parameter angle a1 to a2 in the given sense (`full`: the whole ellipse from a1).
[[nodiscard]] Polyline SampleEllipse(double cx, double cy, double rx, double ry, double a1,
                                     double a2, double rotation, bool counterClockwise, bool full);
// Points of a chain of cubic Bézier segments: the start point, then three points per
// segment (leftover points are ignored); 32 points a segment.
[[nodiscard]] Polyline SampleBezier(const Polyline& controls);

// The sweep of an ellipse arc from a1 to a2 in its sense, in (0, 2π]; a sweep within
// 1e-7 of a full turn, or one that reduces to nothing, is the whole ellipse.
[[nodiscard]] double EllipseSweep(double a1, double a2, bool counterClockwise, bool& full);

// The clothoid (Euler spiral) from P1 to P2 of parameter A, with radii R1 at the start
// and R2 at the end (0: straight, curvature 0) and offsets o1, o2.
//
// Along the arc length s the tangent turns by θ(s) = s² / (2A²), so the curvature
// s / A² grows linearly; the local curve is
//     z(s) = ∫₀ˢ (cos(t² / 2A²), sin(t² / 2A²)) dt,
// integrated with Simpson's rule. The section used runs from L1 = A² / R1 to
// L2 = A² / R2; R1 + R2 < 0 bends it the other way (mirrored). That section is then
// rotated, scaled and moved so that its ends are exactly P1 and P2, and each point is
// pushed sideways (to the left of the direction of travel) by the offset, which runs
// linearly from o1 to o2. A section of no length (A = 0, L1 = L2) is the chord P1-P2.
[[nodiscard]] Polyline SampleClothoid(double a, const Pt& p1, double r1, double o1, const Pt& p2,
                                      double r2, double o2);

// Chains pieces of an outline into closed rings. Each piece continues the ring being
// built when one of its ends meets the ring's last point (within 1e-6 of the outline's
// size; it is reversed when its far end meets it); otherwise it is joined by a straight
// edge. A closed shape (a circle) is a ring of its own.
class RingBuilder {
  public:
    void AddPiece(const Polyline& piece);
    void AddClosed(const Polyline& ring);
    // Ends the ring being built (the next piece starts a new one).
    void EndRing();
    [[nodiscard]] const std::vector<Polyline>& Rings() const { return rings_; }

  private:
    std::vector<Polyline> rings_;
    bool open_ = false;
};

}  // namespace quillon_tool
