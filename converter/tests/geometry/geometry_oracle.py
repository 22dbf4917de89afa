#!/usr/bin/python3
"""Independent check of the converter's curve sampling.

Runs the sampling driver (argument 1) on a set of curves and checks every sampled
point against the curve as ezdxf's own construction math describes it
(ConstructionArc, ConstructionEllipse, Bezier4P, EulerSpiral): each point must lie
on the true curve, the end points must be the curve's end points and the point
counts must follow the sampling rules (step lengths, minimum counts).

Exit status 0 when every check holds; otherwise the failures are listed.
"""

import json
import math
import subprocess
import sys

from ezdxf.math import Bezier4P, ConstructionArc, ConstructionEllipse, EulerSpiral, Vec2

REL = 1e-9
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def close(p, q, scale, tol=REL):
    return math.dist(p, q) <= tol * max(1.0, scale)


def run(lines):
    out = subprocess.run([sys.argv[1]], input="\n".join(lines) + "\n", capture_output=True,
                         text=True, check=True).stdout
    return [json.loads(line) for line in out.splitlines()]


def fmt(values):
    return " ".join(repr(float(v)) for v in values)


# --- arcs: P1, a point on the arc, P2, step ---------------------------------------
def arc_case(center, radius, start_deg, mid_deg, end_deg, step):
    pt = lambda deg: (center[0] + radius * math.cos(math.radians(deg)),
                      center[1] + radius * math.sin(math.radians(deg)))
    return (pt(start_deg), pt(mid_deg), pt(end_deg), step)


ARCS = [
    arc_case((0, 0), 10, 0, 90, 180, 1.0),           # the semicircle of 32 segments
    arc_case((5, -3), 250, 10, 40, 100, 2.5),
    arc_case((-1e4, 2e4), 1e3, 300, 200, 120, 7.0),  # clockwise
    arc_case((1, 1), 0.5, 350, 10, 30, 0.01),        # across the +x axis
    arc_case((0, 0), 1e6, 0, 0.05, 0.1, 3.0),
]


def arc_true(p1, pm, p2):
    """The ezdxf arc through the three points running from p1 to p2 via pm, and
    whether it runs counter-clockwise."""
    ccw = ConstructionArc.from_3p(p1, p2, pm)
    span = (ccw.end_angle - ccw.start_angle) % 360.0
    mid = (Vec2(pm) - Vec2(ccw.center)).angle_deg
    if (mid - ccw.start_angle) % 360.0 <= span:
        return ccw, True
    return ConstructionArc.from_3p(p2, p1, pm), False


def check_arc(case, result):
    p1, pm, p2, step = case
    name = f"arc {case}"
    check(result["rc"] == 0, f"{name}: rc {result['rc']}")
    check(result["joined"], f"{name}: segments not joined")
    pts = result["points"]
    arc, ccw = arc_true(p1, pm, p2)
    c, r = (arc.center.x, arc.center.y), arc.radius
    sweep = math.radians((arc.end_angle - arc.start_angle) % 360.0)
    n = math.trunc(sweep / (step / r)) + 1
    # n segments, or n - 1 when the last sampled point already is P2.
    check(len(pts) - 1 in (n, n - 1), f"{name}: {len(pts) - 1} segments, expected {n}")
    check(close(pts[0], p1, r) and close(pts[-1], p2, r), f"{name}: end points")
    for p in pts:
        check(abs(math.dist(p, c) - r) <= REL * r, f"{name}: point {p} off the circle")
    # Every point lies inside the arc, in order along it.
    start = arc.start_angle if ccw else arc.end_angle
    along = [math.radians(((Vec2(p) - Vec2(c)).angle_deg - start) % 360.0) for p in pts]
    if not ccw:
        along = [(-a) % math.tau for a in along]
    along[0] = 0.0
    along[-1] = sweep if along[-1] < 1e-6 else along[-1]
    check(all(b > a for a, b in zip(along, along[1:])), f"{name}: points out of order")
    check(all(a <= sweep * (1 + REL) for a in along), f"{name}: point beyond the arc")
    inner = [b - a for a, b in zip(along, along[1:-1])]
    check(all(abs(d - step / r) <= 1e-9 for d in inner), f"{name}: uneven steps")


# --- ellipses: centre, rx, ry, a1, a2, rotation, ccw, full, step ---------------------
ELLIPSES = [
    ((0, 0), 10, 5, 0.0, 0.5, 0.0, 1, 0, 1.0),        # fewer than 18 steps: 20 points
    ((3, -2), 40, 15, 1.0, 4.0, 0.3, 1, 0, 0.7),
    ((3, -2), 40, 15, 1.0, 4.0, 0.3, 0, 0, 0.7),      # clockwise, the long way round
    ((-100, 50), 300, 299, 5.5, 0.5, 2.0, 1, 0, 3.0), # across parameter 0
    ((0, 0), 25, 10, 2.0, 2.0, -1.0, 1, 1, 0.5),      # full
    ((1e5, 1e5), 1e4, 2e3, -1.0, 7.0, 0.8, 0, 0, 50.0),
]


def check_ellipse(case, result):
    centre, rx, ry, a1, a2, rot, ccw, full, step = case
    name = f"ellipse {case}"
    check(result["rc"] == 0, f"{name}: rc {result['rc']}")
    pts = result["points"]
    start, end = a1 % math.tau, a2 % math.tau
    if full:
        sweep = math.tau
    elif ccw:
        sweep = (end - start) % math.tau
    else:
        sweep = (start - end) % math.tau
    dt = step / max(rx, ry)
    n = math.trunc(sweep / dt)
    if n < 18:
        n, dt = 18, sweep / 18
    check(len(pts) == n + 2, f"{name}: {len(pts)} points, expected {n + 2}")
    lo, hi = (start, start + sweep) if ccw else (start - sweep, start)
    ell = ConstructionEllipse(center=centre, major_axis=(rx * math.cos(rot), rx * math.sin(rot)),
                              ratio=ry / rx, start_param=lo, end_param=hi)
    first, last = (ell.start_point, ell.end_point) if ccw else (ell.end_point, ell.start_point)
    check(close(pts[0], (first.x, first.y), rx), f"{name}: first point")
    check(close(pts[-1], (last.x, last.y), rx), f"{name}: last point")
    params = list(ell.params_from_vertices(pts))
    for p, t in zip(pts, params):
        q = next(iter(ell.vertices([t])))
        check(close(p, (q.x, q.y), rx), f"{name}: point {p} off the ellipse")
    # Equal parameter steps between the sampled points (the last may be shorter).
    for a, b in zip(params, params[1:-1]):
        d = ((b - a) if ccw else (a - b)) % math.tau
        check(abs(d - dt) <= 1e-9, f"{name}: parameter step {d}, expected {dt}")


# --- Bézier chains: start point then three points a segment -------------------------
BEZIERS = [
    [(0, 0), (0.1, 0), (0.2, 0), (0.4, 0)],                            # polygon 0.4: one point
    [(0, 0), (0, 10), (10, 10), (10, 0)],
    [(5, 5), (20, 40), (-30, 60), (0, 0), (10, -10), (30, 5), (40, 40)],
    [(1e4, -1e4), (1e4 + 300, -1e4), (1e4 + 300, -1e4 + 700), (1e4 - 50, -1e4 + 20)],
]


def check_bezier(case, result):
    name = f"bezier {case[0]}..."
    check(result["rc"] == 0, f"{name}: rc {result['rc']}")
    pts = result["points"]
    scale = max(max(abs(v) for p in case for v in p), 1.0)
    expected = 2
    k = 1
    for s in range(0, len(case) - 1, 3):
        ctrl = case[s:s + 4]
        curve = Bezier4P(ctrl)
        n = math.trunc(sum(math.dist(a, b) for a, b in zip(ctrl, ctrl[1:])) + 1)
        expected += n
        for i in range(1, n + 1):
            if k < len(pts):
                q = curve.point(i / n)
                check(close(pts[k], (q.x, q.y), scale), f"{name}: point {k} off the curve")
            k += 1
    check(len(pts) == expected, f"{name}: {len(pts)} points, expected {expected}")
    check(close(pts[0], case[0], scale), f"{name}: first point")
    check(close(pts[-1], case[-1], scale) and close(pts[-2], case[-1], scale),
          f"{name}: end point emitted twice")


# --- clothoids: A, R1, R2 and a placement of the true spiral ------------------------
# The element's curve is the spiral (R·L = A²) from length A²/R1 to A²/R2 (signed; 0
# for a straight end), mirrored when R1 + R2 < 0, in steps of 1 unit.
CLOTHOIDS = [
    (200.0, 0.0, 200.0, 0.3, (10.0, 20.0)),        # straight to R 200: L 0..200
    (300.0, 900.0, 300.0, 2.0, (-500.0, 40.0)),    # L 100..300
    (250.0, -0.0, -250.0, -1.0, (0.0, 0.0)),       # mirrored
    (240.0, 240.0, 480.0, 4.0, (3.0, 3.0)),        # L 240 down to 120
    (200.0, -400.0, 200.0, 0.5, (7.0, -7.0)),      # through the inflection: L -100..200
    (80.0, 0.0, 100.0, 1.2, (1e4, 1e4)),           # L 0..64
]


def spiral_series_bound(a, s):
    # ezdxf's EulerSpiral sums five terms; the first omitted term bounds its error.
    tau = s * s / (2 * a * a)
    return abs(s) * tau ** 10 / (math.factorial(10) * 21) + abs(s) * tau ** 11 / (
        math.factorial(11) * 23)


def clothoid_case(case):
    a, r1, r2, phi, move = case
    spiral = EulerSpiral(a)
    mirror = r1 + r2 < 0
    s1 = a * a / r1 if r1 else 0.0
    s2 = a * a / r2 if r2 else 0.0

    def place(s):
        p = spiral.point(s)
        x, y = p.x, (-p.y if mirror else p.y)
        return (move[0] + x * math.cos(phi) - y * math.sin(phi),
                move[1] + x * math.sin(phi) + y * math.cos(phi))

    return s1, s2, place


def clothoid_line(case):
    a, r1, r2, _, _ = case
    s1, s2, place = clothoid_case(case)
    p1, p2 = place(s1), place(s2)
    return f"clothoid {fmt([a, p1[0], p1[1], r1, 0.0, p2[0], p2[1], r2, 0.0])}"


def check_clothoid(case, result):
    a = case[0]
    name = f"clothoid {case}"
    check(result["rc"] == 0, f"{name}: rc {result['rc']}")
    pts = result["points"]
    s1, s2, place = clothoid_case(case)
    length = abs(s2 - s1)
    direction = 1.0 if s2 >= s1 else -1.0
    samples = [s1]
    i = 1
    while length - (i - 1) > 1e-5:
        samples.append(s1 + direction * min(i, length))
        i += 1
    check(len(pts) == len(samples), f"{name}: {len(pts)} points, expected {len(samples)}")
    tol = REL * max(1.0, length) + 10 * spiral_series_bound(a, max(abs(s1), abs(s2)))
    for p, s in zip(pts, samples):
        check(math.dist(p, place(s)) <= tol, f"{name}: point at length {s} off the spiral "
              f"by {math.dist(p, place(s))}")
    # Sampling stops once at most 0.00001 of length is left, so the last point may lie
    # that much short of the end.
    check(close(pts[0], place(s1), length), f"{name}: start point")
    check(math.dist(pts[-1], place(s2)) <= 1e-5 + tol, f"{name}: end point")


# --- contours: the cubic between two items is the Bézier curve of their tangents ----
CONTOURS = [
    [(0, 0, 0.0, 4.0, 4.0), (10, 3, 1.0, 6.0, 2.0), (12, 15, 2.5, 8.0, 8.0)],
    [(-50, 20, -0.5, 30.0, 30.0), (40, -10, 0.7, 10.0, 10.0)],
]


def check_contour(case, result):
    name = f"contour {case[0]}..."
    check(result["rc"] == 0, f"{name}: rc {result['rc']}")
    pts = result["points"]
    expected = [case[0][:2]]
    for (x1, y1, a1, t1, t2), (x2, y2, a2, _, _) in zip(case, case[1:]):
        # Hermite end slopes t·(cos a, sin a) are a third of the Bézier legs.
        curve = Bezier4P([(x1, y1), (x1 + t1 * math.cos(a1) / 3, y1 + t1 * math.sin(a1) / 3),
                          (x2 - t2 * math.cos(a2) / 3, y2 - t2 * math.sin(a2) / 3), (x2, y2)])
        n = max(1, math.trunc(3 * max(abs(x2 - x1), abs(y2 - y1))))
        last = expected[-1]
        for i in range(1, n + 1):
            q = curve.point(i / n)
            if abs(q.x - last[0]) >= 0.001 or abs(q.y - last[1]) >= 0.001:
                expected.append((q.x, q.y))
                last = expected[-1]
    check(len(pts) == len(expected), f"{name}: {len(pts)} points, expected {len(expected)}")
    for p, q in zip(pts, expected):
        check(close(p, q, 100.0), f"{name}: point {p} off the curve {q}")


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: geometry_oracle.py <sampling driver>")
    groups = [
        (ARCS, lambda c: f"arc {fmt([*c[0], *c[1], *c[2], c[3]])}", check_arc),
        (ELLIPSES, lambda c: f"ellipse {fmt([*c[0], *c[1:]])}", check_ellipse),
        (BEZIERS, lambda c: f"bezier {fmt([v for p in c for v in p])}", check_bezier),
        (CLOTHOIDS, clothoid_line, check_clothoid),
        (CONTOURS, lambda c: f"contour {fmt([v for item in c for v in item])}", check_contour),
    ]
    lines = [make(c) for cases, make, _ in groups for c in cases]
    results = iter(run(lines))
    checked = 0
    for cases, _, verify in groups:
        for case in cases:
            verify(case, next(results))
            checked += 1
    if failures:
        print("\n".join(failures[:50]))
        print(f"{len(failures)} failed checks in {checked} curves")
        sys.exit(1)
    print(f"{checked} curves agree with ezdxf")


if __name__ == "__main__":
    main()
