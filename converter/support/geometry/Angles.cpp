// Angles: the converter's direction conventions. The zero tests use the drawing
// tolerance so that vectors produced by rounding noise (e.g. 1e-12 across a vertical
// line) are treated as exactly vertical, as the drawings were made under that rule.
#include "support/geometry/Angles.h"

#include <cmath>

double Angle_Of(double x1, double y1, double x2, double y2) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    if (std::fabs(dx) > kGeomZero) {
        const double a = std::atan2(dy, dx);
        return a < 0.0 ? a + kTwoPi : a;
    }
    if (dy > 0.0) return kPi / 2.0;
    if (dy < 0.0) return 3.0 * kPi / 2.0;
    return 0.0;
}

double Angle_Atan2(double y, double x) {
    if (std::fabs(x) <= kGeomZero) return y < 0.0 ? -kPi / 2.0 : kPi / 2.0;
    return std::atan2(y, x);
}

double Angle_Normalize(double a) {
    if (!std::isfinite(a)) return std::nan("");
    double r = std::fmod(a, kTwoPi);
    if (r < 0.0) r += kTwoPi;
    // A tiny negative remainder plus 2π rounds to 2π itself, which is one whole turn.
    if (r >= kTwoPi) r = 0.0;
    return r;
}

double Angle_Dir(double dx, double dy) {
    if (std::fabs(dx) <= kGeomZero && std::fabs(dy) <= kGeomZero) return 0.0;
    // "Negative" here means below the tolerance, so that a component within rounding
    // noise of zero falls on the side that keeps the result continuous.
    const bool dxNeg = dx < kGeomZero;
    const bool dyNeg = dy < kGeomZero;
    double theta;
    if (std::fabs(dx) > std::fabs(dy)) {
        theta = std::atan(dy / dx);
    } else {
        const double c = std::atan(dx / dy);
        theta = (dxNeg == dyNeg) ? kPi / 2.0 - c : -(c + kPi / 2.0);
    }
    if (dxNeg) theta += kPi;
    if (theta < kGeomZero) theta += kTwoPi;
    return theta;
}

double Angle_Between(Point o, Point a, Point b) {
    double d = Angle_Dir(b.x - o.x, b.y - o.y) - Angle_Dir(a.x - o.x, a.y - o.y);
    // Both directions lie within one turn of each other, so one lift is enough.
    if (d < 0.0) d += kTwoPi;
    return d;
}

double Distance(Point p1, Point p2) { return std::hypot(p2.x - p1.x, p2.y - p1.y); }

void Vector_Rotate(Point& v, double a, int sense) {
    if (std::fabs(v.x) <= kGeomZero && std::fabs(v.y) <= kGeomZero) return;
    if (sense != 1 && sense != 2) return;
    const double angle = sense == 1 ? a : -a;
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    const Point r{v.x * c - v.y * s, v.x * s + v.y * c};
    v = r;
}
