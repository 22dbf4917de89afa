// Lines and circles. The parallel test works on the raw determinant with the drawing
// tolerance, as the drawings were made under that rule; it is scale dependent on
// purpose (two lines of a few units that are almost parallel count as parallel).
#include "support/geometry/LinesCircles.h"

#include <cmath>

#include "support/geometry/Angles.h"

int Lines_Intersect(Point p1, Point p2, Point p3, Point p4, LineIntersection& out) {
    const double r = (p2.x - p1.x) * (p4.y - p3.y) - (p2.y - p1.y) * (p4.x - p3.x);
    // Written as "not greater" so that a NaN determinant counts as parallel.
    if (!(std::fabs(r) >= kGeomZero)) return 0;
    const double t = ((p4.x - p3.x) * (p1.y - p3.y) - (p1.x - p3.x) * (p4.y - p3.y)) / r;
    out.point = {p1.x + t * (p2.x - p1.x), p1.y + t * (p2.y - p1.y)};
    out.t1 = t;
    out.t2 = ((p2.x - p1.x) * (p1.y - p3.y) - (p2.y - p1.y) * (p1.x - p3.x)) / r;
    return 1;
}

int Circle_From3Points(Point p1, Point p2, Point p3, Point& centre, double& radius) {
    // Each bisector as a line through the chord's midpoint M with direction
    // (dy, −dx); a second point on it is M + that direction.
    const Point m12{(p1.x + p2.x) / 2.0, (p1.y + p2.y) / 2.0};
    const Point m23{(p2.x + p3.x) / 2.0, (p2.y + p3.y) / 2.0};
    const Point e12{m12.x + (p2.y - p1.y), m12.y - (p2.x - p1.x)};
    const Point e23{m23.x + (p3.y - p2.y), m23.y - (p3.x - p2.x)};
    LineIntersection hit;
    if (Lines_Intersect(m12, e12, m23, e23, hit) == 0) {
        centre = {(p1.x + p3.x) / 2.0, (p1.y + p3.y) / 2.0};
        radius = 0.0;
        return 0;
    }
    centre = hit.point;
    radius = Distance(centre, p1);
    return 1;
}

double Triangle_SignedArea(Point p1, Point p2, Point p3) {
    return ((p3.y - p1.y) * p2.x + (p2.y - p3.y) * p1.x + (p1.y - p2.y) * p3.x) / 2.0;
}

int Orientation3(Point p1, Point p2, Point p3) {
    const double area = Triangle_SignedArea(p1, p2, p3);
    if (area > 0.0) return 1;
    if (area < 0.0) return -1;
    return 0;
}
