#include "RenderCurves.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon_tool {
namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr int kStepsPerTurn = 256;
constexpr int kBezierSteps = 32;
constexpr int kClothoidSamples = 200;
constexpr int kSimpsonIntervals = 64;  // even

bool Finite(const Pt& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// Steps for a sweep: enough for a smooth outline, never an absurd count.
int StepsFor(double sweep) {
    const double n = std::ceil(std::fabs(sweep) / kTwoPi * kStepsPerTurn);
    return std::clamp(static_cast<int>(std::isfinite(n) ? n : 8), 8, kStepsPerTurn);
}

double Reduce(double a) {
    double r = std::fmod(a, kTwoPi);
    if (r < 0) r += kTwoPi;
    return r;
}

bool Near(const Pt& a, const Pt& b, double tolerance) {
    return std::fabs(a.x - b.x) <= tolerance && std::fabs(a.y - b.y) <= tolerance;
}

// z(s) of the unit-free Euler spiral with θ(t) = t² · c, c = 1 / (2A²).
Pt SpiralPoint(double s, double c) {
    const double h = s / kSimpsonIntervals;
    double sx = 0, sy = 0;
    for (int i = 0; i <= kSimpsonIntervals; ++i) {
        const double t = i * h;
        const double w = (i == 0 || i == kSimpsonIntervals) ? 1 : (i % 2 ? 4 : 2);
        sx += w * std::cos(t * t * c);
        sy += w * std::sin(t * t * c);
    }
    return {sx * h / 3, sy * h / 3};
}

}  // namespace

bool ArcThrough(const Pt& p1, const Pt& pm, const Pt& p2, Arc3& arc) {
    if (!Finite(p1) || !Finite(pm) || !Finite(p2)) return false;
    // Centre from the perpendicular bisectors of p1-pm and pm-p2.
    const double ax = pm.x - p1.x, ay = pm.y - p1.y;
    const double bx = p2.x - pm.x, by = p2.y - pm.y;
    const double det = 2 * (ax * by - ay * bx);
    const double scale = std::max({std::fabs(ax), std::fabs(ay), std::fabs(bx), std::fabs(by)});
    if (!(std::fabs(det) > 1e-12 * scale * scale)) return false;
    const double a2 = ax * (p1.x + pm.x) + ay * (p1.y + pm.y);
    const double b2 = bx * (pm.x + p2.x) + by * (pm.y + p2.y);
    arc.cx = (a2 * by - b2 * ay) / det;
    arc.cy = (ax * b2 - bx * a2) / det;
    arc.r = std::hypot(p1.x - arc.cx, p1.y - arc.cy);
    if (!std::isfinite(arc.cx) || !std::isfinite(arc.cy) || !std::isfinite(arc.r)) return false;
    arc.start = std::atan2(p1.y - arc.cy, p1.x - arc.cx);
    arc.end = std::atan2(p2.y - arc.cy, p2.x - arc.cx);
    // Counter-clockwise when p1, pm, p2 turn left.
    arc.counterClockwise = ax * by - ay * bx > 0;
    return true;
}

Polyline SampleArc(const Pt& p1, const Pt& pm, const Pt& p2) {
    Arc3 arc;
    if (!ArcThrough(p1, pm, p2, arc)) {
        if (!Finite(p1) || !Finite(p2)) return {};
        return {p1, p2};
    }
    double sweep = arc.counterClockwise ? arc.end - arc.start : arc.start - arc.end;
    sweep = Reduce(sweep);
    if (sweep == 0) sweep = kTwoPi;  // start and end meet: the whole circle
    const int n = StepsFor(sweep);
    Polyline out;
    out.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double a = arc.start + (arc.counterClockwise ? 1 : -1) * sweep * i / n;
        out.push_back({arc.cx + arc.r * std::cos(a), arc.cy + arc.r * std::sin(a)});
    }
    out.front() = p1;
    out.back() = p2;
    return out;
}

double EllipseSweep(double a1, double a2, bool counterClockwise, bool& full) {
    const double raw = counterClockwise ? a2 - a1 : a1 - a2;
    double sweep = Reduce(raw);
    full = std::fabs(raw - kTwoPi) < 1e-7 || sweep == 0;
    if (full) sweep = kTwoPi;
    return sweep;
}

Polyline SampleEllipse(double cx, double cy, double rx, double ry, double a1, double a2,
                       double rotation, bool counterClockwise, bool full) {
    for (const double v : {cx, cy, rx, ry, a1, a2, rotation}) {
        if (!std::isfinite(v)) return {};
    }
    bool wholeTurn = false;
    double sweep = EllipseSweep(a1, a2, counterClockwise, wholeTurn);
    if (full) sweep = kTwoPi;
    const int n = StepsFor(sweep);
    const double c = std::cos(rotation), s = std::sin(rotation);
    Polyline out;
    out.reserve(static_cast<std::size_t>(n) + 1);
    for (int i = 0; i <= n; ++i) {
        const double phi = a1 + (counterClockwise ? 1 : -1) * sweep * i / n;
        const double x = rx * std::cos(phi), y = ry * std::sin(phi);
        out.push_back({cx + x * c - y * s, cy + x * s + y * c});
    }
    return out;
}

Polyline SampleBezier(const Polyline& controls) {
    Polyline out;
    if (controls.empty() || !Finite(controls.front())) return out;
    out.push_back(controls.front());
    for (std::size_t i = 1; i + 2 < controls.size(); i += 3) {
        const Pt& p0 = controls[i - 1];
        const Pt& q1 = controls[i];
        const Pt& q2 = controls[i + 1];
        const Pt& p3 = controls[i + 2];
        if (!Finite(q1) || !Finite(q2) || !Finite(p3)) return {};
        for (int k = 1; k <= kBezierSteps; ++k) {
            const double t = static_cast<double>(k) / kBezierSteps, u = 1 - t;
            const double b0 = u * u * u, b1 = 3 * t * u * u, b2 = 3 * t * t * u, b3 = t * t * t;
            out.push_back({b0 * p0.x + b1 * q1.x + b2 * q2.x + b3 * p3.x,
                           b0 * p0.y + b1 * q1.y + b2 * q2.y + b3 * p3.y});
        }
    }
    return out;
}

Polyline SampleClothoid(double a, const Pt& p1, double r1, double o1, const Pt& p2, double r2,
                        double o2) {
    for (const double v : {a, r1, o1, r2, o2}) {
        if (!std::isfinite(v)) return {};
    }
    if (!Finite(p1) || !Finite(p2)) return {};
    const double a2 = a * a;
    const double l1 = std::fabs(r1) <= 1e-5 ? 0 : a2 / std::fabs(r1);
    const double l2 = std::fabs(r2) <= 1e-5 ? 0 : a2 / std::fabs(r2);
    const double chordX = p2.x - p1.x, chordY = p2.y - p1.y;
    Polyline local;
    if (a2 > 1e-10 && std::fabs(l2 - l1) > 1e-10 && std::isfinite(l1) && std::isfinite(l2)) {
        const double c = 1 / (2 * a2);
        const bool mirrored = r1 + r2 < 0;
        for (int i = 0; i <= kClothoidSamples; ++i) {
            const double s = l1 + (l2 - l1) * i / kClothoidSamples;
            Pt z = SpiralPoint(s, c);
            if (mirrored) z.y = -z.y;
            local.push_back(z);
        }
    }
    // The similarity that carries the local section's ends onto P1 and P2, as the
    // complex factor (P2 - P1) / (z2 - z1).
    Polyline out;
    double fx = 0, fy = 0;
    if (local.size() >= 2) {
        const double dx = local.back().x - local.front().x, dy = local.back().y - local.front().y;
        const double d2 = dx * dx + dy * dy;
        if (d2 > 1e-20) {
            fx = (chordX * dx + chordY * dy) / d2;
            fy = (chordY * dx - chordX * dy) / d2;
        }
    }
    if (fx == 0 && fy == 0) {
        local = {{0, 0}, {1, 0}};
        fx = chordX;
        fy = chordY;
    }
    const Pt origin = local.front();
    for (const Pt& z : local) {
        const double x = z.x - origin.x, y = z.y - origin.y;
        out.push_back({p1.x + x * fx - y * fy, p1.y + x * fy + y * fx});
    }
    // Offsets: sideways along the left normal of each point's direction of travel.
    if (o1 != 0 || o2 != 0) {
        Polyline shifted = out;
        const std::size_t n = out.size();
        for (std::size_t i = 0; i < n; ++i) {
            const Pt& prev = out[i == 0 ? 0 : i - 1];
            const Pt& next = out[i + 1 < n ? i + 1 : n - 1];
            const double tx = next.x - prev.x, ty = next.y - prev.y;
            const double len = std::hypot(tx, ty);
            if (!(len > 0)) continue;
            const double v = o1 + (o2 - o1) * static_cast<double>(i) / static_cast<double>(n - 1);
            shifted[i] = {out[i].x - ty / len * v, out[i].y + tx / len * v};
        }
        out = std::move(shifted);
    }
    for (const Pt& p : out) {
        if (!Finite(p)) return {};
    }
    return out;
}

void RingBuilder::AddPiece(const Polyline& piece) {
    if (piece.empty()) return;
    if (!open_ || rings_.empty()) {
        rings_.push_back(piece);
        open_ = true;
        return;
    }
    Polyline& ring = rings_.back();
    const Pt last = ring.back();
    double size = 0;
    for (const Pt& p : {ring.front(), last, piece.front(), piece.back()})
        size = std::max({size, std::fabs(p.x), std::fabs(p.y)});
    const double tolerance = std::max(1e-9, size * 1e-6);
    if (Near(piece.front(), last, tolerance)) {
        ring.insert(ring.end(), piece.begin() + 1, piece.end());
    } else if (Near(piece.back(), last, tolerance)) {
        ring.insert(ring.end(), piece.rbegin() + 1, piece.rend());
    } else {
        ring.insert(ring.end(), piece.begin(), piece.end());
    }
}

void RingBuilder::AddClosed(const Polyline& ring) {
    if (ring.empty()) return;
    rings_.push_back(ring);
    open_ = false;
}

void RingBuilder::EndRing() { open_ = false; }

}  // namespace quillon_tool
