// Samples curves with the converter's geometry for the independent check in
// geometry_oracle.py. Reads one curve a line from standard input:
//   arc X1 Y1 XM YM X2 Y2 STEP
//   ellipse CX CY RX RY A1 A2 ROTATION CCW FULL STEP
//   bezier X0 Y0 X1 Y1 ...            (a start point and 3 points per segment)
//   clothoid A X1 Y1 R1 H1 X2 Y2 R2 H2
//   contour X Y ANGLE T1 T2 ...       (items of five values)
// and writes one JSON object a line: {"kind": ..., "rc": ..., "points": [[x, y], ...]}
// (for an arc also "joined": whether every segment began where the previous ended).
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/ByteOrder.h"
#include "support/geometry/ArcSampling.h"
#include "support/geometry/Bezier.h"
#include "support/geometry/Clothoid.h"
#include "support/geometry/EllipseSampling.h"
#include "support/geometry/PointList.h"
#include "support/geometry/Spline.h"

namespace {

void Print(const char* kind, std::int32_t rc, const double* xy, std::size_t count,
           const char* extra = "") {
    std::printf("{\"kind\": \"%s\", \"rc\": %d%s, \"points\": [", kind, rc, extra);
    for (std::size_t i = 0; i < count; ++i) {
        std::printf("%s[%.17g, %.17g]", i ? ", " : "", xy[2 * i], xy[2 * i + 1]);
    }
    std::printf("]}\n");
}

std::vector<std::uint8_t> ToBytes(const std::vector<double>& values) {
    std::vector<std::uint8_t> bytes(values.size() * 8);
    for (std::size_t i = 0; i < values.size(); ++i) (void)StoreF64(bytes, i * 8, values[i]);
    return bytes;
}

void PrintPointList(const char* kind, std::int32_t rc) {
    const PointListView view = PointList_Get();
    Print(kind, rc, view.xy, static_cast<std::size_t>(view.count));
}

}  // namespace

int main() {
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string kind;
        in >> kind;
        std::vector<double> v;
        for (double d; in >> d;) v.push_back(d);
        if (kind == "arc" && v.size() == 7) {
            std::vector<double> xy;
            bool joined = true;
            const std::int32_t rc = Arc_ToPolyline(
                {v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}, v[6], [&](Point a, Point b) {
                    if (xy.empty()) {
                        xy = {a.x, a.y};
                    } else if (a.x != xy[xy.size() - 2] || a.y != xy.back()) {
                        joined = false;
                    }
                    xy.push_back(b.x);
                    xy.push_back(b.y);
                    return 1;
                });
            Print("arc", rc, xy.data(), xy.size() / 2,
                  joined ? ", \"joined\": true" : ", \"joined\": false");
        } else if (kind == "ellipse" && v.size() == 10) {
            PointArray out;
            const std::int32_t rc = Ellipse_ToPolyline({v[0], v[1]}, v[2], v[3], v[4], v[5], v[6],
                                                       v[7] != 0.0, v[8] != 0.0, v[9], out);
            Print("ellipse", rc, out.xy.data(), out.xy.size() / 2);
        } else if (kind == "bezier") {
            PointArray out;
            const std::int32_t rc = Bezier_ToPolyline(ToBytes(v), out);
            Print("bezier", rc, out.xy.data(), out.xy.size() / 2);
        } else if (kind == "clothoid" && v.size() == 9) {
            std::vector<std::uint8_t> element(112, 0);
            (void)StoreI16(element, 0, 18);
            const std::size_t offsets[] = {
                kClothoidParamA,      kClothoidStartX,      kClothoidStartX + 8,
                kClothoidStartRadius, kClothoidStartOffset, kClothoidEndX,
                kClothoidEndX + 8,    kClothoidEndRadius,   kClothoidEndOffset};
            for (std::size_t i = 0; i < 9; ++i) (void)StoreF64(element, offsets[i], v[i]);
            (void)PointList_Init();
            PrintPointList("clothoid", Clothoid_ToPolyline(element));
        } else if (kind == "contour" && v.size() % 5 == 0) {
            std::vector<std::uint8_t> items(v.size() / 5 * kContourItemBytes);
            for (std::size_t i = 0; i < v.size() / 5; ++i) {
                const std::size_t at = i * kContourItemBytes;
                (void)StoreF64(items, at, v[5 * i]);
                (void)StoreF64(items, at + 8, v[5 * i + 1]);
                (void)StoreF64(items, at + 16, v[5 * i + 2]);
                (void)StoreF32(items, at + 24, static_cast<float>(v[5 * i + 3]));
                (void)StoreF32(items, at + 28, static_cast<float>(v[5 * i + 4]));
            }
            (void)PointList_Init();
            PrintPointList("contour", Contour_ToPolyline(items));
        } else {
            std::printf("{\"kind\": \"unknown\", \"rc\": -1, \"points\": []}\n");
        }
    }
    PointList_Free();
    return 0;
}
