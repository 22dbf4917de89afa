#!/usr/bin/python3
"""Independent checks of dashed and sampled elements read back from a PDB.

Reads one JSON case from stdin (its "mode" says which) and exits 0 when every check
holds; otherwise it prints the failures and exits 1.

  dashes    "line": the polyline, "pattern": dash, gap, ... lengths, "pieces": the
            polylines written. From plain arc-length arithmetic: the pieces must be
            exactly the dash parts of the line, in order, the pattern starting at the
            line's first point.
  arc       "arc": start, a point on it, end; "points", "tolerance": every point within
            `tolerance` of the circle through the three points (ezdxf's ConstructionArc)
            and inside the arc's span, the first and last points its ends (unless "ends"
            is false), no chord further than 0.01 from the arc.
  clothoid  "a", "r1", "r2", "phi", "move": the Euler spiral R·L = A² (ezdxf's
            EulerSpiral) from length A²/R1 to A²/R2, mirrored when R1 + R2 < 0, turned
            by phi and moved; "points": each must lie on it. Without points it prints
            "end x y", the spiral's end point, from which the test builds the element.
"""

import json
import math
import os
import sys

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def dedupe(points):
    out = []
    for p in points:
        if not out or math.dist(out[-1], p) > 1e-12:
            out.append(tuple(p))
    return out


def point_at(line, cum, s):
    for i in range(1, len(line)):
        if s <= cum[i] or i == len(line) - 1:
            seg = cum[i] - cum[i - 1]
            t = 0.0 if seg == 0 else (s - cum[i - 1]) / seg
            return (line[i - 1][0] + t * (line[i][0] - line[i - 1][0]),
                    line[i - 1][1] + t * (line[i][1] - line[i - 1][1]))
    return tuple(line[0])


def expected_dashes(line, pattern):
    cum = [0.0]
    for a, b in zip(line, line[1:]):
        cum.append(cum[-1] + math.dist(a, b))
    total = cum[-1]
    period = sum(pattern)
    dashes = []
    start = 0.0
    while start < total:
        offset = start
        for i in range(0, len(pattern), 2):
            d0, d1 = offset, min(offset + pattern[i], total)
            if d0 < total:
                inner = [tuple(line[k]) for k in range(1, len(line) - 1) if d0 < cum[k] < d1]
                dashes.append([point_at(line, cum, d0)] + inner + [point_at(line, cum, d1)])
            offset += pattern[i] + pattern[i + 1]
        start += period
    return dashes


def check_dashes(case):
    line, pattern, pieces = case["line"], case["pattern"], case["pieces"]
    scale = max(1.0, max(abs(v) for p in line for v in p))
    want = expected_dashes(line, pattern)
    check(len(pieces) == len(want), f"{len(pieces)} pieces, expected {len(want)}")
    for n, (got, exp) in enumerate(zip(pieces, want)):
        got, exp = dedupe(got), dedupe(exp)
        check(len(got) == len(exp), f"piece {n}: {len(got)} points, expected {len(exp)}")
        for p, q in zip(got, exp):
            check(math.dist(p, q) <= 1e-9 * scale, f"piece {n}: point {p}, expected {q}")


def check_arc(case):
    from ezdxf.math import ConstructionArc, Vec2

    p1, pm, p2 = (Vec2(p) for p in case["arc"])
    points = [Vec2(p) for p in case["points"]]
    tol = case["tolerance"]
    ccw = (pm.x - p1.x) * (p2.y - p1.y) - (pm.y - p1.y) * (p2.x - p1.x) > 0
    arc = ConstructionArc.from_3p(p1, p2, pm) if ccw else ConstructionArc.from_3p(p2, p1, pm)
    c, r = Vec2(arc.center), arc.radius
    span = (arc.end_angle - arc.start_angle) % 360.0
    for i, p in enumerate(points):
        check(abs((p - c).magnitude - r) <= tol + 1e-9 * max(1.0, r),
              f"point {i} {p} off the circle by {(p - c).magnitude - r}")
        into = (math.degrees(math.atan2(p.y - c.y, p.x - c.x)) - arc.start_angle) % 360.0
        check(into <= span + 1e-6 or into >= 360.0 - 1e-6, f"point {i} outside the arc")
    if case.get("ends", True):
        check(points[0].isclose(p1, abs_tol=1e-9 * max(1.0, r)), f"first point {points[0]}")
        check(points[-1].isclose(p2, abs_tol=1e-9 * max(1.0, r)), f"last point {points[-1]}")
    for i in range(1, len(points)):
        half = min(1.0, points[i].distance(points[i - 1]) / (2 * r))
        sagitta = r - math.sqrt(max(0.0, r * r * (1 - half * half)))
        check(sagitta <= 0.01 + 1e-9, f"chord {i} errs by {sagitta}")


def check_clothoid(case):
    # The spiral's placement is the geometry oracle's, so that both check one reading of
    # the clothoid's values.
    # No compiled copy is left beside the sources.
    sys.dont_write_bytecode = True
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "geometry"))
    from geometry_oracle import clothoid_case

    s1, s2, place = clothoid_case(
        (case["a"], case["r1"], case["r2"], case["phi"], case["move"]))

    if not case["points"]:
        print("end %r %r" % place(s2))
        return
    lo, hi = min(s1, s2), max(s1, s2)
    tol = 1e-7 * max(1.0, hi - lo)
    guess = s1
    for i, p in enumerate(case["points"]):
        # The nearest point of the spiral near the previous one (points run along it).
        a_, b_ = max(lo, guess - 2.0), min(hi, guess + 2.0)
        for _ in range(40):
            m1, m2 = a_ + (b_ - a_) / 3, b_ - (b_ - a_) / 3
            if math.dist(place(m1), p) < math.dist(place(m2), p):
                b_ = m2
            else:
                a_ = m1
        guess = (a_ + b_) / 2
        check(math.dist(place(guess), p) <= tol, f"point {i} {p} off the spiral by "
              f"{math.dist(place(guess), p)}")
    check(math.dist(case["points"][0], place(s1)) <= tol, "first point")
    check(math.dist(case["points"][-1], place(s2)) <= 1e-5 + tol, "last point")


def main():
    case = json.load(sys.stdin)
    {"dashes": check_dashes, "arc": check_arc, "clothoid": check_clothoid}[case["mode"]](case)
    for f in failures[:20]:
        print(f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
