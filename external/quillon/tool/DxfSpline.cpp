// B-spline to Bézier by knot insertion (Boehm's rule): every knot of the domain is
// inserted until it has multiplicity p, after which each non-empty knot span is
// governed by p + 1 control points of its own: the Bézier form of that piece. The work
// is done on homogeneous points (x·w, y·w, w) so that rational curves split exactly;
// only the last step (degree above 3, or rational) approximates.
#include "DxfSpline.h"

#include <algorithm>
#include <cmath>

namespace quillon_tool {
namespace {

struct H {
    double x = 0, y = 0, w = 1;
};

H Mix(const H& a, const H& b, double t) {  // (1 - t)·a + t·b
    return H{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, a.w + (b.w - a.w) * t};
}

Point2 Project(const H& h) { return Point2{h.x / h.w, h.y / h.w}; }

std::size_t Multiplicity(const std::vector<double>& knots, double u) {
    return static_cast<std::size_t>(std::count(knots.begin(), knots.end(), u));
}

// Inserts `u` once. `k` is the last index in [p, n] whose knot is <= u, so a knot at
// the domain's end is inserted into the span before it.
void InsertKnot(std::vector<double>& knots, std::vector<H>& ctrl, std::size_t p, double u) {
    const std::size_t n = ctrl.size() - 1;
    std::size_t k = p;
    while (k < n && knots[k + 1] <= u) ++k;
    std::vector<H> out(ctrl.size() + 1);
    for (std::size_t i = 0; i <= n + 1; ++i) {
        if (i + p <= k) {
            out[i] = ctrl[i];
        } else if (i > k) {
            out[i] = ctrl[i - 1];
        } else {
            const double a = (u - knots[i]) / (knots[i + p] - knots[i]);
            out[i] = Mix(ctrl[i - 1], ctrl[i], a);
        }
    }
    knots.insert(knots.begin() + static_cast<std::ptrdiff_t>(k + 1), u);
    ctrl.swap(out);
}

// Splits the Bézier `seg` (homogeneous, any degree) at t by de Casteljau.
void Split(const std::vector<H>& seg, double t, std::vector<H>& left, std::vector<H>& right) {
    std::vector<H> work = seg;
    const std::size_t m = seg.size();
    left.assign(m, H{});
    right.assign(m, H{});
    for (std::size_t level = 0; level < m; ++level) {
        left[level] = work[0];
        right[m - 1 - level] = work[m - 1 - level];
        for (std::size_t i = 0; i + 1 < m - level; ++i) work[i] = Mix(work[i], work[i + 1], t);
    }
}

// The cubic with the ends and end tangents of the rational Bézier `seg` of degree
// d = size - 1: the end derivative of a rational Bézier is d·(w1/w0)·(P1 − P0).
void CubicOf(const std::vector<H>& seg, std::vector<Point2>& points) {
    const std::size_t d = seg.size() - 1;
    const Point2 p0 = Project(seg[0]), p1 = Project(seg[1]);
    const Point2 q1 = Project(seg[d - 1]), q0 = Project(seg[d]);
    const double s0 = static_cast<double>(d) / 3.0 * seg[1].w / seg[0].w;
    const double s1 = static_cast<double>(d) / 3.0 * seg[d - 1].w / seg[d].w;
    points.push_back({p0.x + (p1.x - p0.x) * s0, p0.y + (p1.y - p0.y) * s0});
    points.push_back({q0.x + (q1.x - q0.x) * s1, q0.y + (q1.y - q0.y) * s1});
    points.push_back(q0);
}

bool Check(const SplineInput& in, std::string& why) {
    if (in.degree < 1 || in.degree > kMaxSplineDegree) {
        why = "degree " + std::to_string(in.degree) + " outside 1-" +
              std::to_string(kMaxSplineDegree);
        return false;
    }
    const auto p = static_cast<std::size_t>(in.degree);
    const std::size_t n = in.control.size();
    if (n < p + 1 || n > kMaxSplineControlPoints) {
        why = std::to_string(n) + " control points for degree " + std::to_string(p);
        return false;
    }
    if (in.knots.size() != n + p + 1) {
        why = std::to_string(in.knots.size()) + " knots, " + std::to_string(n + p + 1) + " needed";
        return false;
    }
    for (std::size_t i = 0; i < in.knots.size(); ++i) {
        if (!std::isfinite(in.knots[i]) || (i > 0 && in.knots[i] < in.knots[i - 1])) {
            why = "knots not finite and rising";
            return false;
        }
    }
    if (!(in.knots[p] < in.knots[n])) {
        why = "an empty knot domain";
        return false;
    }
    if (!in.weights.empty() && in.weights.size() != n) {
        why = std::to_string(in.weights.size()) + " weights for " + std::to_string(n) +
              " control points";
        return false;
    }
    for (double w : in.weights) {
        if (!std::isfinite(w) || !(w > 0)) {
            why = "a weight that is not a positive number";
            return false;
        }
    }
    for (const Point2& c : in.control) {
        if (!std::isfinite(c.x) || !std::isfinite(c.y)) {
            why = "a control point that is not finite";
            return false;
        }
    }
    return true;
}

}  // namespace

SplineResult SplineToBezier(const SplineInput& in, std::vector<Point2>& points, std::string& why) {
    points.clear();
    if (!Check(in, why)) return SplineResult::kRefused;
    const auto p = static_cast<std::size_t>(in.degree);
    std::vector<double> knots = in.knots;
    std::vector<H> ctrl(in.control.size());
    bool rational = false;
    for (std::size_t i = 0; i < ctrl.size(); ++i) {
        const double w = in.weights.empty() ? 1.0 : in.weights[i];
        if (w != (in.weights.empty() ? 1.0 : in.weights[0])) rational = true;
        ctrl[i] = H{in.control[i].x * w, in.control[i].y * w, w};
    }
    const double a = knots[p], b = knots[ctrl.size()];
    std::vector<double> breaks;
    for (double u : knots) {
        if (u >= a && u <= b && (breaks.empty() || breaks.back() != u)) breaks.push_back(u);
    }
    for (double u : breaks) {
        while (Multiplicity(knots, u) < p) InsertKnot(knots, ctrl, p, u);
    }
    const bool exact = !rational && p <= 3;
    const std::size_t n = ctrl.size() - 1;
    for (std::size_t i = p; i <= n; ++i) {
        if (!(knots[i] < knots[i + 1]) || knots[i] < a || knots[i + 1] > b) continue;
        const std::vector<H> seg(ctrl.begin() + static_cast<std::ptrdiff_t>(i - p),
                                 ctrl.begin() + static_cast<std::ptrdiff_t>(i + 1));
        if (points.empty()) points.push_back(Project(seg[0]));
        if (exact) {
            // Degree raising to 3 keeps the curve: a line's thirds, a quadratic's 2/3 rule.
            const Point2 s = Project(seg.front()), e = Project(seg.back());
            if (p == 1) {
                points.push_back({s.x + (e.x - s.x) / 3, s.y + (e.y - s.y) / 3});
                points.push_back({s.x + (e.x - s.x) * 2 / 3, s.y + (e.y - s.y) * 2 / 3});
            } else if (p == 2) {
                const Point2 m = Project(seg[1]);
                points.push_back({s.x + (m.x - s.x) * 2 / 3, s.y + (m.y - s.y) * 2 / 3});
                points.push_back({e.x + (m.x - e.x) * 2 / 3, e.y + (m.y - e.y) * 2 / 3});
            } else {
                points.push_back(Project(seg[1]));
                points.push_back(Project(seg[2]));
            }
            points.push_back(e);
            continue;
        }
        // Eight equal pieces in the parameter, each replaced by its tangent cubic.
        std::vector<H> rest = seg, left, right;
        constexpr int kPieces = 8;
        for (int piece = kPieces; piece > 1; --piece) {
            Split(rest, 1.0 / piece, left, right);
            CubicOf(left, points);
            rest = right;
        }
        CubicOf(rest, points);
    }
    return exact ? SplineResult::kExact : SplineResult::kApproximated;
}

}  // namespace quillon_tool
