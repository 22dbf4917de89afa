// Sampling keeps every sampled point on the exact curve; only the chords between them
// depart from it, by at most kChordError: for a circle of radius r a step of angle φ has
// the sagitta r(1 − cos(φ/2)), for a cubic the second difference bounds it.
#include "DxfCurves.h"

#include <algorithm>
#include <cmath>

namespace quillon_tool {

Point2 Polar(Point2 c, double r, double a) {
    return {c.x + r * std::cos(a), c.y + r * std::sin(a)};
}

double Dist(Point2 a, Point2 b) { return std::hypot(b.x - a.x, b.y - a.y); }

// Steps for an arc of radius r over `sweep` radians with a chord error of at most
// kChordError; `capped` is set when the limit made it coarser.
std::size_t ArcSteps(double r, double sweep, bool& capped) {
    const double arg = std::clamp(1.0 - kChordError / std::max(r, 1e-300), -1.0, 1.0);
    const double maxStep = 2.0 * std::acos(arg);
    double n = maxStep > 0 ? std::ceil(std::fabs(sweep) / maxStep) : 1.0;
    if (!std::isfinite(n) || n > static_cast<double>(kMaxArcSteps)) {
        capped = true;
        n = kMaxArcSteps;
    }
    return std::max<std::size_t>(1, static_cast<std::size_t>(n));
}

bool FullTurn(double sweep) { return std::fabs(std::fabs(sweep) - 2 * kPi) < 1e-9; }

// The arc through P and Q with DXF bulge b (tan of a quarter of the included angle,
// positive counter-clockwise).
Piece BulgeArc(Point2 p, Point2 q, double bulge) {
    Piece piece;
    const double theta = 4.0 * std::atan(bulge);
    const double chord = Dist(p, q);
    const Point2 u{(q.x - p.x) / chord, (q.y - p.y) / chord};
    const double off = chord / 2.0 / std::tan(theta / 2.0);
    piece.type = Piece::kArc;
    piece.c = {(p.x + q.x) / 2 - u.y * off, (p.y + q.y) / 2 + u.x * off};
    piece.r = chord / (2.0 * std::sin(std::fabs(theta) / 2.0));
    piece.start = std::atan2(p.y - piece.c.y, p.x - piece.c.x);
    piece.sweep = theta;
    piece.a = p;
    piece.b = q;
    return piece;
}

// Points after the start of `piece` up to and including its end, sampled with the
// chord error kept (lines give their end only).
void SamplePiece(const Piece& piece, std::vector<Point2>& out, bool& capped) {
    switch (piece.type) {
        case Piece::kLine:
            out.push_back(piece.b);
            return;
        case Piece::kArc: {
            const std::size_t n = ArcSteps(piece.r, piece.sweep, capped);
            for (std::size_t k = 1; k < n; ++k) {
                out.push_back(Polar(piece.c, piece.r,
                                    piece.start + piece.sweep * static_cast<double>(k) / n));
            }
            out.push_back(piece.b);
            return;
        }
        case Piece::kEllipse: {
            const double rx = std::hypot(piece.major.x, piece.major.y);
            const double rot = std::atan2(piece.major.y, piece.major.x);
            const std::size_t n = ArcSteps(rx, piece.p1 - piece.p0, capped);
            for (std::size_t k = 1; k <= n; ++k) {
                const double t = piece.p0 + (piece.p1 - piece.p0) * static_cast<double>(k) / n;
                const double x = rx * std::cos(t), y = rx * piece.ratio * std::sin(t);
                out.push_back({piece.c.x + x * std::cos(rot) - y * std::sin(rot),
                               piece.c.y + x * std::sin(rot) + y * std::cos(rot)});
            }
            return;
        }
        case Piece::kBezier:
            for (std::size_t s = 0; s + 3 < piece.bezier.size(); s += 3) {
                const Point2* q = &piece.bezier[s];
                // |B''| <= 6·max second difference; chord error <= |B''|/8 per step².
                const double d2 = std::max(
                    Dist({q[0].x - q[1].x, q[0].y - q[1].y}, {q[1].x - q[2].x, q[1].y - q[2].y}),
                    Dist({q[1].x - q[2].x, q[1].y - q[2].y}, {q[2].x - q[3].x, q[2].y - q[3].y}));
                double nd = std::ceil(std::sqrt(6.0 * d2 / (8.0 * kChordError)));
                if (!std::isfinite(nd) || nd > static_cast<double>(kMaxArcSteps)) {
                    capped = true;
                    nd = kMaxArcSteps;
                }
                const std::size_t n = std::max<std::size_t>(1, static_cast<std::size_t>(nd));
                for (std::size_t k = 1; k <= n; ++k) {
                    const double t = static_cast<double>(k) / n, m = 1 - t;
                    out.push_back({m * m * m * q[0].x + 3 * m * m * t * q[1].x +
                                       3 * m * t * t * q[2].x + t * t * t * q[3].x,
                                   m * m * m * q[0].y + 3 * m * m * t * q[1].y +
                                       3 * m * t * t * q[2].y + t * t * t * q[3].y});
                }
            }
            return;
    }
}

Point2 PieceStart(const Piece& p) {
    switch (p.type) {
        case Piece::kLine:
        case Piece::kArc:
            return p.a;
        case Piece::kEllipse: {
            const double rx = std::hypot(p.major.x, p.major.y);
            const double rot = std::atan2(p.major.y, p.major.x);
            const double x = rx * std::cos(p.p0), y = rx * p.ratio * std::sin(p.p0);
            return {p.c.x + x * std::cos(rot) - y * std::sin(rot),
                    p.c.y + x * std::sin(rot) + y * std::cos(rot)};
        }
        case Piece::kBezier:
            return p.bezier.empty() ? Point2{} : p.bezier.front();
    }
    return {};
}

bool Inside(Point2 p, const std::vector<Point2>& poly) {
    bool in = false;
    for (std::size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
        if ((poly[i].y > p.y) != (poly[j].y > p.y) &&
            p.x <
                (poly[j].x - poly[i].x) * (p.y - poly[i].y) / (poly[j].y - poly[i].y) + poly[i].x) {
            in = !in;
        }
    }
    return in;
}

}  // namespace quillon_tool
