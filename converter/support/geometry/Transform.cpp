// Matrices and transforms. Lengths and angles go through the image of the diagonal
// (0,0)-(100,100) rather than through the matrix's singular values: a placement is a
// uniform scale and a rotation in practice, and the drawings were converted under
// this rule, so a non-uniform scale gives the same (approximate) result as before.
#include "support/geometry/Transform.h"

#include <cmath>

#include "support/geometry/Angles.h"

void Matrix4_Identity(Matrix4& out) {
    out.fill(0.0);
    out[0] = out[5] = out[10] = out[15] = 1.0;
}

void Matrix4_Multiply(const Matrix4& a, const Matrix4& b, Matrix4& out) {
    Matrix4 r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            double sum = 0.0;
            for (int k = 0; k < 4; ++k) sum += a[i * 4 + k] * b[k * 4 + j];
            r[i * 4 + j] = sum;
        }
    }
    out = r;  // through a temporary, so out may alias a or b
}

void Matrix_Compose(Matrix4& out, double tx, double ty, double rotation, double sx, double sy) {
    const double a = Angle_Normalize(rotation);
    Matrix4 s;
    Matrix4_Identity(s);
    s[0] = sx;
    s[5] = sy;
    Matrix4 r;
    Matrix4_Identity(r);
    r[0] = std::cos(a);
    r[1] = std::sin(a);
    r[4] = -std::sin(a);
    r[5] = std::cos(a);
    Matrix4 t;
    Matrix4_Identity(t);
    t[12] = tx;
    t[13] = ty;
    Matrix4 sr;
    Matrix4_Multiply(s, r, sr);
    Matrix4_Multiply(sr, t, out);
}

namespace {

Point Project(const Matrix4& m, Point p, double w) {
    // "Not greater" so that a NaN weight also collapses the point instead of spreading.
    if (!(std::fabs(w) > kGeomZero)) return {0.0, 0.0};
    return {(p.x * m[0] + p.y * m[4] + m[12]) / w, (p.x * m[1] + p.y * m[5] + m[13]) / w};
}

}  // namespace

Point Xform_Point(const Matrix4& m, Point p) {
    return Project(m, p, p.x * m[3] + p.y * m[7] + m[15]);
}

Point Xform_Point(const Matrix4& m, Point p, double z) {
    return Project(m, p, p.x * m[3] + p.y * m[7] + z * m[11] + m[15]);
}

double Xform_Length(const Matrix4& m, double length) {
    const Point t0 = Xform_Point(m, {0.0, 0.0});
    const Point t1 = Xform_Point(m, {100.0, 100.0});
    const double image = Distance(t0, t1);
    if (!(image > kGeomZero)) return 0.0;
    return length * image / std::sqrt(100.0 * 100.0 + 100.0 * 100.0);
}

double Xform_Angle(const Matrix4& m, double angle) {
    const Point t0 = Xform_Point(m, {0.0, 0.0});
    const Point t1 = Xform_Point(m, {100.0, 100.0});
    return angle + Angle_Of(t0.x, t0.y, t1.x, t1.y) - kPi / 4.0;
}
