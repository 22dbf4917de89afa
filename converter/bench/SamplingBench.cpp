// sampling-bench: figures for the converter's curve sampling. Not a test: run it by hand
// (build-dir/bin/sampling-bench [--quick]) and read what it prints.
//
// Every case is run several times and the best time is kept (the least disturbed by
// whatever else the machine runs). Each is printed beside
// the time of merely writing the same number of points (x, y doubles) to memory in the
// same run, the baseline, so the figures can be compared between machines by their
// ratio:
//   1. Ellipse_ToPolyline: full circles, full ellipses and partial arcs of several radii,
//      each at the step the converter uses for it (Curve_SamplingStep).
//   2. Bezier_ToPolyline: chains of cubic segments of two sizes.
//   3. Clothoid_ToPolyline through the point list: clothoids of two lengths.
//   4. Dash_Split on long polylines with a four-pair pattern (as line type 5 has) and a
//      long many-pair pattern (as line type 6 may have). Every piece is encoded into a
//      byte buffer as a piece's element data would be, so each point is touched.
//      Pieces per second and points per second (the points of all pieces).
// --quick runs smaller sizes and fewer repetitions. The exit status is 0 unless a
// sampler failed.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "RawPipeRate.h"
#include "convert/CurveSampling.h"
#include "support/ByteOrder.h"
#include "support/geometry/Bezier.h"
#include "support/geometry/Clothoid.h"
#include "support/geometry/DashSplit.h"
#include "support/geometry/EllipseSampling.h"
#include "support/geometry/GeometryTypes.h"
#include "support/geometry/PointList.h"

namespace {

// Keeps the compiler from dropping work whose result is otherwise unused: the pointer
// escapes and memory counts as read.
inline void Escape(const void* p) { asm volatile("" : : "g"(p) : "memory"); }

// A checksum of everything the cases produce, printed at the end, so that no result
// is unused.
double g_checksum = 0.0;

struct Work {
    bool ok = true;
    std::int64_t points = 0;  // points produced (or passed in pieces)
    std::int64_t pieces = 0;  // dashes, for Dash_Split
};

struct Figures {
    Work work;
    double seconds = 0.0;   // best of the repetitions
    double baseline = 0.0;  // best time of writing work.points points
};

double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// The baseline: `points` points written as x, y doubles into a buffer sized once
// beforehand, the least any sampler has to do for the same output.
double BaselineOnce(std::vector<double>& buffer, std::int64_t points) {
    if (points <= 0) return 0.0;
    const std::size_t n = static_cast<std::size_t>(points);
    if (buffer.size() < 2 * n) buffer.assign(2 * n, 0.0);
    double* xy = buffer.data();
    const double start = bench::Now();
    for (std::size_t i = 0; i < n; ++i) {
        xy[2 * i] = static_cast<double>(i);
        xy[2 * i + 1] = static_cast<double>(i) * 0.5;
    }
    Escape(xy);
    const double seconds = bench::Now() - start;
    g_checksum += xy[2 * (n / 2) + 1];
    return seconds;
}

// Runs `once` `reps` times (after one warm-up run) with a baseline run between them,
// so both see the same machine state; keeps the best of each.
Figures Measure(int reps, const std::function<Work()>& once) {
    Figures f;
    f.work = once();  // warm-up: caches, allocator, page faults
    if (!f.work.ok) return f;
    std::vector<double> buffer;
    BaselineOnce(buffer, f.work.points);
    std::vector<double> times;
    std::vector<double> baselines;
    for (int r = 0; r < reps; ++r) {
        const double start = bench::Now();
        const Work w = once();
        times.push_back(bench::Now() - start);
        if (!w.ok) {
            f.work.ok = false;
            return f;
        }
        baselines.push_back(BaselineOnce(buffer, f.work.points));
    }
    f.seconds = Best(times);
    f.baseline = Best(baselines);
    return f;
}

void PrintHeader() {
    std::printf("%-56s %11s %9s %12s %12s %8s\n", "case", "points", "ms", "Mpoints/s", "base Mpt/s",
                "ratio");
}

// One table row: the sampler's rate, the baseline's rate and how many times longer the
// sampler takes than the baseline writes. Failed cases say so and set `failed`.
void PrintRow(const std::string& name, const Figures& f, bool& failed) {
    if (!f.work.ok) {
        std::printf("%-56s FAILED\n", name.c_str());
        failed = true;
        return;
    }
    const double pts = static_cast<double>(f.work.points);
    const double rate = f.seconds > 0 ? pts / f.seconds / 1e6 : 0.0;
    const double base = f.baseline > 0 ? pts / f.baseline / 1e6 : 0.0;
    const double ratio = f.baseline > 0 ? f.seconds / f.baseline : 0.0;
    std::printf("%-56s %11lld %9.2f %12.1f %12.1f %7.1fx\n", name.c_str(),
                static_cast<long long>(f.work.points), f.seconds * 1e3, rate, base, ratio);
    if (f.work.pieces > 0) {
        const double pieceRate = f.seconds > 0 ? static_cast<double>(f.work.pieces) / f.seconds : 0;
        std::printf("%-56s %11lld pieces, %.2f Mpieces/s\n", "",
                    static_cast<long long>(f.work.pieces), pieceRate / 1e6);
    }
}

// --- Ellipses ----------------------------------------------------------------------

struct EllipseCase {
    const char* name;
    double rx;
    double ry;
    double sweep;  // radians; 2π: full
};

// `count` curves of the case, each sampled into a fresh array as the converter does
// for every element, at the converter's step for the larger semi-axis.
Work EllipseOnce(const EllipseCase& c, int count) {
    Work w;
    const double step = Curve_SamplingStep(std::max(c.rx, c.ry));
    const bool full = c.sweep >= kTwoPi;
    for (int i = 0; i < count; ++i) {
        PointArray out;
        const double a1 = 0.001 * i;
        const double rc = Ellipse_ToPolyline({100.0 + i, 50.0}, c.rx, c.ry, a1, a1 + c.sweep, 0.3,
                                             true, full, step, out);
        if (rc != kGeomOk || out.Count() < 2) {
            w.ok = false;
            return w;
        }
        Escape(out.xy.data());
        g_checksum += out.xy[2];
        w.points += out.Count();
    }
    return w;
}

// --- Bézier chains -----------------------------------------------------------------

// A chain of `segments` cubic segments whose control polygons are about `size` units
// long each (so about `size` + 1 points per segment), as element data bytes.
std::vector<std::uint8_t> BezierChain(int segments, double size) {
    std::vector<std::uint8_t> data(16 + 48 * static_cast<std::size_t>(segments));
    std::size_t at = 0;
    bool ok = true;
    auto put = [&](double x, double y) {
        ok = ok && StoreF64(data, at, x) && StoreF64(data, at + 8, y);
        at += 16;
    };
    const double third = size / 3.0;
    double x = 0.0;
    put(x, 0.0);
    for (int s = 0; s < segments; ++s) {
        // An S-shaped segment: the controls off the chord on either side.
        put(x + third * 0.8, third * 0.6);
        put(x + third * 2.2, -third * 0.6);
        x += third * 2.6;
        put(x, 0.0);
    }
    if (!ok) data.clear();
    return data;
}

Work BezierOnce(std::span<const std::uint8_t> data, int count) {
    Work w;
    for (int i = 0; i < count; ++i) {
        PointArray out;
        if (Bezier_ToPolyline(data, out) != kGeomOk) {
            w.ok = false;
            return w;
        }
        Escape(out.xy.data());
        g_checksum += out.xy.back();
        w.points += out.Count();
    }
    return w;
}

// --- Clothoids ---------------------------------------------------------------------

// A clothoid element from a straight start (L1 = 0) to the radius `endRadius` with the
// parameter `a`: about a² / endRadius drawing units long, one point per unit.
std::vector<std::uint8_t> ClothoidElement(double a, double endRadius) {
    std::vector<std::uint8_t> e(kClothoidMinBytes, 0);
    const double length = a * a / endRadius;
    const bool ok =
        StoreF64(e, kClothoidParamA, a) && StoreF64(e, kClothoidStartX, 10.0) &&
        StoreF64(e, kClothoidStartX + 8, 20.0) && StoreF64(e, kClothoidStartRadius, 0.0) &&
        StoreF64(e, kClothoidStartOffset, 0.5) && StoreF64(e, kClothoidEndX, 10.0 + 0.9 * length) &&
        StoreF64(e, kClothoidEndX + 8, 20.0 + 0.3 * length) &&
        StoreF64(e, kClothoidEndRadius, endRadius) && StoreF64(e, kClothoidEndOffset, 1.5);
    if (!ok) e.clear();
    return e;
}

Work ClothoidOnce(std::vector<std::uint8_t>& element, int count) {
    Work w;
    for (int i = 0; i < count; ++i) {
        if (PointList_Init() != kGeomOk || Clothoid_ToPolyline(element) != kGeomOk) {
            w.ok = false;
            break;
        }
        const PointListView view = PointList_Get();
        if (view.count < 2) {
            w.ok = false;
            break;
        }
        Escape(view.xy);
        g_checksum += view.xy[2 * view.count - 1];
        w.points += view.count;
    }
    PointList_Free();
    return w;
}

// --- Dash split --------------------------------------------------------------------

// A long wavy polyline of `points` points with segments of 0.5 to 4.5 units.
std::vector<double> WavyPolyline(int points) {
    std::vector<double> xy;
    xy.reserve(2 * static_cast<std::size_t>(points));
    double x = 0.0;
    double y = 0.0;
    for (int i = 0; i < points; ++i) {
        xy.push_back(x);
        xy.push_back(y);
        const double len = 0.5 + 4.0 * (0.5 + 0.5 * std::sin(i * 0.37));
        const double dir = 0.8 * std::sin(i * 0.01);
        x += len * std::cos(dir);
        y += len * std::sin(dir);
    }
    return xy;
}

// The receiver of the pieces: encodes each as a piece's element data (16 bytes a point,
// little-endian x then y) into a buffer it reuses, and counts.
struct PieceSink {
    std::vector<std::uint8_t> bytes;
    std::int64_t pieces = 0;
    std::int64_t points = 0;
    std::int32_t operator()(const double* xy, std::int32_t count) {
        const std::size_t need = 16 * static_cast<std::size_t>(count);
        if (bytes.size() < need) bytes.resize(need);
        for (std::int32_t i = 0; i < 2 * count; ++i) {
            if (!StoreF64(bytes, 8 * static_cast<std::size_t>(i), xy[i])) return kGeomDataTooShort;
        }
        Escape(bytes.data());
        ++pieces;
        points += count;
        return 0;
    }
};

Work DashOnce(std::span<const double> xy, std::span<const double> pattern, PieceSink& sink) {
    sink.pieces = 0;
    sink.points = 0;
    Work w;
    w.ok = Dash_Split(xy, pattern, 0.0, sink) == kGeomOk;
    w.points = sink.points;
    w.pieces = sink.pieces;
    if (!sink.bytes.empty()) g_checksum += sink.bytes[0];
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    bool quick = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else {
            std::fprintf(stderr, "usage: sampling-bench [--quick]\n");
            return 2;
        }
    }
    // Each case produces about `target` points per repetition.
    const std::int64_t target = quick ? 200'000 : 2'000'000;
    const int reps = quick ? 3 : 7;
    auto times = [&](std::int64_t perCall) {
        return static_cast<int>(
            std::max<std::int64_t>(1, target / std::max<std::int64_t>(1, perCall)));
    };
    bool failed = false;

    std::printf("sampling-bench: best of %d runs, about %lld points per case%s\n", reps,
                static_cast<long long>(target), quick ? " (--quick)" : "");
    std::printf("ratio: sampler time / time of writing as many points to memory\n\n");
    PrintHeader();

    const EllipseCase ellipses[] = {
        {"circle r=1", 1.0, 1.0, kTwoPi},
        {"circle r=100", 100.0, 100.0, kTwoPi},
        {"circle r=10000", 10000.0, 10000.0, kTwoPi},
        {"ellipse 100x40", 100.0, 40.0, kTwoPi},
        {"ellipse 10000x2500", 10000.0, 2500.0, kTwoPi},
        {"arc r=10, 90 deg", 10.0, 10.0, kPi / 2},
        {"arc r=1000, 270 deg", 1000.0, 1000.0, 1.5 * kPi},
        {"elliptic arc 500x200, 120 deg", 500.0, 200.0, kTwoPi / 3},
    };
    for (const EllipseCase& c : ellipses) {
        const Work probe = EllipseOnce(c, 1);
        const int count = probe.ok ? times(probe.points) : 1;
        const Figures f = Measure(reps, [&] { return EllipseOnce(c, count); });
        char name[96];
        std::snprintf(name, sizeof name, "Ellipse %s (%lld pts) x%d", c.name,
                      static_cast<long long>(probe.points), count);
        PrintRow(name, f, failed);
    }

    for (const double size : {10.0, 200.0}) {
        const int segments = quick ? 200 : 1000;
        const std::vector<std::uint8_t> chain = BezierChain(segments, size);
        const Work probe = BezierOnce(chain, 1);
        const int count = probe.ok ? times(probe.points) : 1;
        const Figures f = Measure(reps, [&] { return BezierOnce(chain, count); });
        char name[96];
        std::snprintf(name, sizeof name, "Bezier %d segs ~%.0f units (%lld pts) x%d", segments,
                      size, static_cast<long long>(probe.points), count);
        PrintRow(name, f, failed);
    }

    // A straight start turning into the end radius within about 1.1 radians of turn (a
    // drawing's clothoids stay within a half turn): about 450 and 4,500 units long.
    const double clothoids[][2] = {{300.0, 200.0}, {3000.0, 2000.0}};
    for (const auto& [a, endRadius] : clothoids) {
        std::vector<std::uint8_t> element = ClothoidElement(a, endRadius);
        const Work probe = ClothoidOnce(element, 1);
        const int count = probe.ok ? times(probe.points) : 1;
        const Figures f = Measure(reps, [&] { return ClothoidOnce(element, count); });
        char name[96];
        std::snprintf(name, sizeof name, "Clothoid A=%.0f R2=%.0f (%lld pts) x%d", a, endRadius,
                      static_cast<long long>(probe.points), count);
        PrintRow(name, f, failed);
    }

    {
        const int points = quick ? 50'000 : 400'000;
        const std::vector<double> line = WavyPolyline(points);
        // Four pairs, as a type-5 line attribute carries: a chain line.
        const double type5[] = {6.0, 1.0, 1.0, 1.0, 6.0, 1.0, 1.0, 1.0};
        // Thirty-two pairs of varied lengths, as a long type-6 pattern may have.
        std::vector<double> type6;
        for (int i = 0; i < 32; ++i) {
            type6.push_back(0.5 + 0.25 * (i % 7));
            type6.push_back(0.3 + 0.2 * (i % 3));
        }
        // Dashes much longer than the segments: few pieces of many points.
        const double longDashes[] = {40.0, 5.0};
        struct DashCase {
            const char* name;
            std::span<const double> pattern;
        };
        const DashCase cases[] = {
            {"type-5-like (4 pairs)", type5},
            {"type-6-like (32 pairs)", type6},
            {"long dashes 40/5", longDashes},
        };
        PieceSink sink;
        for (const DashCase& c : cases) {
            const Figures f = Measure(reps, [&] { return DashOnce(line, c.pattern, sink); });
            char name[96];
            std::snprintf(name, sizeof name, "Dash_Split %s, %d-pt line", c.name, points);
            PrintRow(name, f, failed);
        }
    }

    std::printf("\nchecksum %.3f\n", g_checksum);
    return failed ? 1 : 0;
}
