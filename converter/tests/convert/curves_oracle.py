"""Checks converted curves against ezdxf's own geometry.

Input: a JSON file written by Curves_test: a list of curves, each an ellipse (centre,
rx, ry, start, end, rotation, ccw, full) or a Bezier chain (controls), an optional
placement [tx, ty, rotation, sx, sy] (scale, then rotation, then translation) and the
points the converter wrote for it. Every point is carried back through the inverse of
the placement and must lie on the curve as ezdxf computes it, in order, from the start
to the end; an ellipse's chords may stray from it by at most the converter's chord error
(0.01 drawing units), measured where the converted drawing has them. Exit 0 when every
check holds, else 1 with the failures on standard error.
"""
import json
import math
import sys

from ezdxf.math import Bezier4P, ConstructionEllipse, Matrix44

TOL = 1e-8
CHORD_ERROR = 0.01
failures = []


def fail(index, what):
    failures.append(f"curve {index}: {what}")


def matrix(placement):
    if not placement:
        return Matrix44()
    tx, ty, rot, sx, sy = placement
    return Matrix44.chain(Matrix44.scale(sx, sy, 1), Matrix44.z_rotate(rot),
                          Matrix44.translate(tx, ty, 0))


def local_points(curve):
    inverse = matrix(curve.get("placement")).copy()
    inverse.inverse()
    return [inverse.transform((x, y, 0)) for x, y in curve["points"]]


def sagitta(m, e, pts, params, sense):
    """The largest distance between a chord and the curve at the chord's middle parameter."""
    worst = 0.0
    for (a, b), (p, q) in zip(zip(params, params[1:]), zip(pts, pts[1:])):
        middle = a + sense * ((sense * (b - a)) % (2 * math.pi)) / 2
        w = m.transform(next(iter(e.vertices([middle]))))
        dx, dy = q[0] - p[0], q[1] - p[1]
        length = math.hypot(dx, dy)
        if length > 0:
            worst = max(worst, abs(dx * (w.y - p[1]) - dy * (w.x - p[0])) / length)
    return worst


def check_ellipse(index, curve):
    rot = curve["rotation"]
    e = ConstructionEllipse(center=(*curve["centre"], 0),
                            major_axis=(curve["rx"] * math.cos(rot), curve["rx"] * math.sin(rot), 0),
                            ratio=curve["ry"] / curve["rx"])
    pts = local_points(curve)
    params = list(e.params_from_vertices(pts))
    for i, (p, v) in enumerate(zip(pts, e.vertices(params))):
        if p.distance(v) > TOL:
            fail(index, f"point {i} is {p.distance(v)} off the ellipse")
    sense = 1.0 if curve["ccw"] else -1.0
    worst = sagitta(matrix(curve.get("placement")), e, curve["points"], params, sense)
    if worst > CHORD_ERROR * (1 + 1e-6):
        fail(index, f"a chord strays {worst} from the curve")
    two_pi = 2 * math.pi
    sweep = two_pi if curve["full"] else (sense * (curve["end"] - curve["start"])) % two_pi
    travelled = 0.0
    for a, b in zip(params, params[1:]):
        step = (sense * (b - a)) % two_pi
        if step > math.pi:  # a step backwards shows as almost a whole turn
            fail(index, "points run against the curve's sense")
            break
        travelled += step
    if abs(travelled - sweep) > 1e-6:
        fail(index, f"points sweep {travelled}, the curve {sweep}")
    end = curve["start"] if curve["full"] else curve["end"]
    first, last = e.vertices([curve["start"], end])
    if pts[0].distance(first) > TOL or pts[-1].distance(last) > TOL:
        fail(index, "first or last point is not the curve's start or end")


def bezier_distance(segment, p):
    """Distance from p to the segment and the parameter of the nearest point."""
    samples = 400
    best = min(range(samples + 1), key=lambda i: segment.point(i / samples).distance(p))
    lo, hi = max(0.0, (best - 1) / samples), min(1.0, (best + 1) / samples)
    for _ in range(100):  # golden-section search near the best sample
        m1 = hi - (hi - lo) / 1.618033988749895
        m2 = lo + (hi - lo) / 1.618033988749895
        if segment.point(m1).distance(p) < segment.point(m2).distance(p):
            hi = m2
        else:
            lo = m1
    t = (lo + hi) / 2
    return segment.point(t).distance(p), t


def check_bezier(index, curve):
    c = [(x, y, 0) for x, y in curve["controls"]]
    segments = [Bezier4P(c[i:i + 4]) for i in range(0, len(c) - 3, 3)]
    pts = local_points(curve)
    position = 0.0
    for i, p in enumerate(pts):
        found = None
        for k, segment in enumerate(segments):
            if k + 1 < position - 1e-9:
                continue
            distance, t = bezier_distance(segment, p)
            if distance <= TOL and k + t >= position - 1e-6:
                found = k + t
                break
        if found is None:
            fail(index, f"point {i} ({p.x}, {p.y}) is not on the curve after {position}")
            return
        position = found
    if pts[0].distance(c[0]) > TOL or pts[-1].distance(c[-1]) > TOL:
        fail(index, "first or last point is not the curve's start or end")


def main():
    with open(sys.argv[1], encoding="utf-8") as f:
        curves = json.load(f)
    for index, curve in enumerate(curves):
        if len(curve["points"]) < 2:
            fail(index, "fewer than two points")
            continue
        (check_ellipse if curve["type"] == "ellipse" else check_bezier)(index, curve)
    for line in failures:
        print(line, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
