#!/usr/bin/python3
"""Writes the DXF sample drawings of this folder with ezdxf (Debian's python3-ezdxf).

  /usr/bin/python3 make-samples.py [FOLDER]

plan-r2018.dxf holds every entity that `quillon import` maps; plan-r12.dxf the subset
that the old format knows (no LWPOLYLINE, ELLIPSE, SPLINE, HATCH, MTEXT). The files are
committed beside this script, so the demo and the tests need no Python to have them.
"""
import math
import os
import sys

# ezdxf lays some objects out in set order: a fixed hash seed keeps the files the same.
if os.environ.get("PYTHONHASHSEED") != "0":
    os.environ["PYTHONHASHSEED"] = "0"
    os.execv(sys.executable, [sys.executable] + sys.argv)

import ezdxf  # noqa: E402 (after the re-start above)
from ezdxf.lldxf.const import BOUNDARY_PATH_EXTERNAL, BOUNDARY_PATH_OUTERMOST

FOLDER = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))


# Fixed dates and ids keep the files the same from run to run.
ezdxf.options.write_fixed_meta_data_for_testing = True


def fixed_header(doc):
    doc.header["$TDCREATE"] = 2460000.5


def add_layers(doc, with_weights):
    for name, colour, weight in (("OUTLINE", 1, 50), ("NOTES", 3, 25), ("HIDDEN", 5, 18),
                                 ("PARTS", 30, 35)):
        layer = doc.layers.add(name, color=colour)
        if with_weights:
            layer.dxf.lineweight = weight
    doc.linetypes.add("DASH4", pattern=[12.0, 4.0, -1.5, 0.0, -1.5, 2.0, -1.0, 0.5, -1.5],
                      description="four dashes __ . _ .")
    doc.linetypes.add("DASH2", pattern=[6.0, 4.0, -2.0], description="dash __ __")


def add_blocks(doc):
    # BOLT: a circle and a cross; NUT: a hexagon that places a BOLT inside (nested).
    bolt = doc.blocks.new("BOLT", base_point=(1, 1))
    bolt.add_circle((1, 1), 2, dxfattribs={"layer": "PARTS"})
    bolt.add_line((-1, 1), (3, 1))
    bolt.add_line((1, -1), (1, 3))
    nut = doc.blocks.new("NUT")
    hexagon = [(5 * math.cos(k * math.pi / 3), 5 * math.sin(k * math.pi / 3)) for k in range(6)]
    nut.add_polyline2d(hexagon, close=True, dxfattribs={"layer": "PARTS"})
    nut.add_blockref("BOLT", (1, 1), dxfattribs={"rotation": 30})


def common_entities(doc, msp):
    msp.add_line((0, 0), (100, 0), dxfattribs={"layer": "OUTLINE"})
    msp.add_line((0, 10), (100, 10), dxfattribs={"layer": "HIDDEN", "linetype": "DASH2"})
    msp.add_line((0, 20), (100, 20), dxfattribs={"color": 6, "linetype": "DASH4"})
    msp.add_arc((50, 50), 20, 30, 150, dxfattribs={"layer": "OUTLINE"})
    msp.add_arc((150, 50), 10, 300, 60)  # through 0 degrees
    msp.add_circle((50, 100), 12.5, dxfattribs={"layer": "OUTLINE"})
    msp.add_point((10, 10))
    msp.add_point((20, 30), dxfattribs={"layer": "NOTES"})
    # Old-style 2D polyline with a bulged segment, closed.
    msp.add_polyline2d([(200, 0, 0, 0, 0.5), (240, 0), (240, 30), (200, 30)],
                       format="xyseb", close=True, dxfattribs={"layer": "OUTLINE"})
    msp.add_polyline2d([(200, 50), (220, 60), (240, 50)])
    msp.add_text("Plan A", dxfattribs={"insert": (0, 150), "height": 3.5, "layer": "NOTES"})
    msp.add_text("Rotated", dxfattribs={"insert": (50, 150), "height": 2.5, "rotation": 30})
    msp.add_blockref("BOLT", (300, 0))
    msp.add_blockref("BOLT", (320, 0), dxfattribs={"rotation": 45, "xscale": 2, "yscale": 2})
    msp.add_blockref("NUT", (350, 50), dxfattribs={"rotation": 90, "xscale": 1.5,
                                                   "yscale": 1.5})


def make_r2018():
    doc = ezdxf.new("R2018")
    fixed_header(doc)
    doc.header["$INSUNITS"] = 4  # millimetres
    add_layers(doc, True)
    add_blocks(doc)
    msp = doc.modelspace()
    common_entities(doc, msp)
    # Lightweight polylines: an open bulged one and a closed one.
    msp.add_lwpolyline([(0, 200, 0), (20, 200, 1), (40, 200, -0.4), (60, 220, 0)],
                       format="xyb", dxfattribs={"layer": "OUTLINE"})
    msp.add_lwpolyline([(100, 200), (140, 200), (140, 230), (100, 230)], close=True,
                       dxfattribs={"layer": "PARTS", "lineweight": 70})
    msp.add_mtext("{\\fArial|b1;Bold} line\\Psecond \\H2.5x;line\\~end",
                  dxfattribs={"insert": (0, 250), "char_height": 3.0, "layer": "NOTES"})
    msp.add_text("図面 番号 ½ €", dxfattribs={"insert": (0, 270), "height": 5})
    msp.add_ellipse((300, 200), major_axis=(30, 10), ratio=0.4)
    msp.add_ellipse((380, 200), major_axis=(0, 20), ratio=0.5, start_param=0.5,
                    end_param=4.0)
    # A clamped cubic spline and a quadratic one (exact as cubic segments), and a
    # rational one (only approximated).
    msp.add_open_spline([(0, 300), (10, 320), (30, 320), (40, 300), (60, 290), (70, 310)],
                        degree=3)
    msp.add_open_spline([(100, 300), (110, 320), (130, 300), (140, 320)], degree=2)
    msp.add_rational_spline([(200, 300), (210, 330), (240, 330), (250, 300)],
                            weights=[1, 2, 2, 1], degree=3)
    # A closed spline: an unclamped knot vector.
    msp.add_spline().set_closed([(300, 300, 0), (320, 320, 0), (340, 300, 0), (320, 280, 0)],
                                 degree=3)
    # Solid hatch without holes and one with a circular hole and a triangular hole.
    hatch = msp.add_hatch(color=2)
    hatch.paths.add_polyline_path([(0, 400), (50, 400), (50, 440), (0, 440)], is_closed=True,
                                  flags=BOUNDARY_PATH_EXTERNAL)
    holed = msp.add_hatch(color=4)
    holed.paths.add_polyline_path([(100, 400), (180, 400, 0.3), (180, 450), (100, 450)],
                                  is_closed=True,
                                  flags=BOUNDARY_PATH_EXTERNAL | BOUNDARY_PATH_OUTERMOST)
    edge = holed.paths.add_edge_path()
    edge.add_arc((120, 425), 8, 0, 360)
    tri = holed.paths.add_edge_path()
    tri.add_line((150, 415), (170, 415))
    tri.add_line((170, 415), (160, 435))
    tri.add_line((160, 435), (150, 415))
    # A boundary with a clockwise arc edge.
    bow = msp.add_hatch(color=6)
    bow_edges = bow.paths.add_edge_path()
    bow_edges.add_line((320, 400), (340, 400))
    bow_edges.add_arc((320, 400), 20, 0, 90, ccw=False)
    bow_edges.add_line((320, 420), (320, 400))
    # What the import leaves out: a pattern hatch, a 3D face, a dimension-free ray.
    pattern = msp.add_hatch(color=1)
    pattern.set_pattern_fill("ANSI31", scale=0.5)
    pattern.paths.add_polyline_path([(0, 500), (20, 500), (20, 520)], is_closed=True)
    msp.add_3dface([(0, 600, 0), (10, 600, 5), (10, 610, 5), (0, 610, 0)])
    msp.add_ray((0, 700), (1, 1))
    doc.saveas(os.path.join(FOLDER, "plan-r2018.dxf"))


def make_r12():
    doc = ezdxf.new("R12")
    fixed_header(doc)
    add_layers(doc, False)
    add_blocks(doc)
    common_entities(doc, doc.modelspace())
    doc.saveas(os.path.join(FOLDER, "plan-r12.dxf"))


if __name__ == "__main__":
    make_r2018()
    make_r12()
