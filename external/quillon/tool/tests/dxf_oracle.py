#!/usr/bin/python3
"""What ezdxf reads from a DXF drawing, printed as JSON: the independent view that the
import test holds the drawing made by `quillon import` against.

  /usr/bin/python3 dxf_oracle.py FILE.dxf
"""
import json
import math
import sys

import ezdxf
from ezdxf import path as curves
from ezdxf.colors import aci2rgb
from ezdxf.math import bulge_to_arc


def xy(v):
    return [v[0], v[1]]


def cp932(text):
    # What a code page 932 drawing can hold: other characters become "?".
    return text.encode("cp932", "replace").decode("cp932")


def polyline(vertices, closed):
    arcs = []
    count = len(vertices)
    for i in range(count if closed else count - 1):
        (x0, y0, b), (x1, y1, _) = vertices[i], vertices[(i + 1) % count]
        if b:
            centre, _, _, radius = bulge_to_arc((x0, y0), (x1, y1), b)
            arcs.append([i, centre[0], centre[1], radius])
    return {"closed": closed, "vertices": [[x, y] for x, y, _ in vertices], "arcs": arcs}


def main(path):
    doc = ezdxf.readfile(path)
    out = {"units": doc.header.get("$INSUNITS", 0), "layers": [], "lines": [], "arcs": [],
           "circles": [], "points": [], "polylines": [], "texts": [], "inserts": [],
           "ellipses": [], "splines": [], "hatches": []}
    for layer in doc.layers:
        r, g, b = aci2rgb(abs(layer.color))
        out["layers"].append({"name": layer.dxf.name, "rgb": [r, g, b],
                              "lineweight": layer.dxf.get("lineweight", -3)})
    for e in doc.modelspace():
        kind = e.dxftype()
        if kind == "LINE":
            out["lines"].append({"points": xy(e.dxf.start) + xy(e.dxf.end),
                                 "linetype": e.dxf.get("linetype", "BYLAYER")})
        elif kind == "ARC":
            arc = e.construction_tool()
            start, mid, end = arc.vertices(arc.angles(3))
            out["arcs"].append(xy(start) + xy(mid) + xy(end))
        elif kind == "CIRCLE":
            out["circles"].append(xy(e.dxf.center) + [e.dxf.radius])
        elif kind == "POINT":
            out["points"].append(xy(e.dxf.location))
        elif kind == "LWPOLYLINE":
            out["polylines"].append(polyline(list(e.get_points("xyb")), e.closed))
        elif kind == "POLYLINE":
            vertices = [(v.dxf.location[0], v.dxf.location[1], v.dxf.get("bulge", 0))
                        for v in e.vertices]
            out["polylines"].append(polyline(vertices, e.is_closed))
        elif kind == "TEXT":
            out["texts"].append({"text": cp932(e.dxf.text), "insert": xy(e.dxf.insert)})
        elif kind == "MTEXT":
            # ezdxf keeps the non-breaking space code; the import makes it a space.
            for line in e.plain_text().replace("\\~", " ").split("\n"):
                out["texts"].append({"text": cp932(line)})
        elif kind == "INSERT":
            base = doc.blocks.get(e.dxf.name).block.dxf.base_point
            out["inserts"].append({"name": e.dxf.name, "insert": xy(e.dxf.insert),
                                   "rotation": math.radians(e.dxf.rotation),
                                   "scale": [e.dxf.xscale, e.dxf.yscale], "base": xy(base)})
        elif kind == "ELLIPSE":
            out["ellipses"].append({"centre": xy(e.dxf.center),
                                    "rx": e.dxf.major_axis.magnitude,
                                    "ry": e.dxf.major_axis.magnitude * e.dxf.ratio})
        elif kind == "SPLINE":
            curve = e.construction_tool()
            degree, knots = e.dxf.degree, list(e.knots)
            lo, hi = knots[degree], knots[len(e.control_points)]
            breaks = sorted({k for k in knots if lo <= k <= hi})
            weights = list(e.weights)
            out["splines"].append({
                "start": xy(curve.point(lo)), "end": xy(curve.point(hi)),
                "mids": [xy(curve.point((a + b) / 2)) for a, b in zip(breaks, breaks[1:])],
                "rational": len(set(weights)) > 1})
        elif kind == "HATCH" and e.dxf.solid_fill:
            # Each boundary loop as ezdxf's own path tools flatten it.
            outlines = [[xy(v) for v in p.flattening(0.001)] for p in curves.from_hatch(e)]
            out["hatches"].append({"loops": len(e.paths), "outlines": outlines})
    json.dump(out, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
