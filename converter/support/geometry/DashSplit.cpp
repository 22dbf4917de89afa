// Dash splitting. The phase is reduced by a remainder (so a phase of any size costs
// the same), the number of cuts is estimated from the length and the period before
// the walk (so a pattern of 1e-9 dashes on a long line is refused instead of
// attempted), and the dash array is reused from dash to dash.
#include "support/geometry/DashSplit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <vector>

namespace {

constexpr std::size_t kDashGrowth = 512;  // points

struct Pattern {
    std::span<const double> values;
    std::size_t elements = 0;  // dash, gap, dash, gap, …
    double dashes = 0.0;
    double gaps = 0.0;

    explicit Pattern(std::span<const double> v) : values(v), elements(v.size() / 2 * 2) {
        for (std::size_t i = 0; i < elements; ++i) (i % 2 == 0 ? dashes : gaps) += Length(i);
    }
    double Length(std::size_t i) const { return std::max(0.0, values[i]); }
    double Period() const { return dashes + gaps; }
    bool Usable() const { return dashes > kGeomTinyZero && gaps > kGeomTinyZero; }
};

double PolylineLength(std::span<const double> xy) {
    double total = 0.0;
    for (std::size_t i = 2; i + 1 < xy.size(); i += 2) {
        total += std::hypot(xy[i] - xy[i - 2], xy[i + 1] - xy[i - 1]);
    }
    return total;
}

bool AllFinite(std::span<const double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

// The dash being collected; grows in blocks of at least kDashGrowth points.
class DashBuffer {
  public:
    bool Append(double x, double y) {
        if (xy_.size() == xy_.capacity()) {
            try {
                xy_.reserve(xy_.size() + 2 * std::max(kDashGrowth, xy_.size() / 2));
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        xy_.push_back(x);
        xy_.push_back(y);
        return true;
    }
    bool EndsAt(double x, double y) const {
        return !xy_.empty() && xy_[xy_.size() - 2] == x && xy_.back() == y;
    }
    std::size_t Count() const { return xy_.size() / 2; }
    const double* Data() const { return xy_.data(); }
    void Clear() { xy_.clear(); }

  private:
    std::vector<double> xy_;
};

}  // namespace

std::int32_t Dash_Split(std::span<const double> xy, std::span<const double> pattern, double phase,
                        DashFn dash, void* context) {
    if (xy.size() % 2 != 0) return kGeomDataTooShort;
    const std::size_t points = xy.size() / 2;
    if (points < 2) return kGeomDashTooFewPoints;
    if (!AllFinite(xy) || !AllFinite(pattern) || !std::isfinite(phase)) return kGeomNotFinite;
    if (points > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        return kGeomTooManyPoints;
    }

    const Pattern pat(pattern);
    if (!pat.Usable()) return dash(context, xy.data(), static_cast<std::int32_t>(points));

    const double period = pat.Period();
    const double total = PolylineLength(xy);
    // Every period crossed cuts once per pattern element, and a cut ends one dash
    // point and starts another.
    const double cuts = (std::floor(total / period) + 2.0) * static_cast<double>(pat.elements);
    if (!(2.0 * cuts <= static_cast<double>(kMaxCurvePoints))) return kGeomTooManyPoints;
    const auto cutLimit = static_cast<std::int64_t>(cuts) + 2;

    // Where the pattern starts: reduce the phase into one period, then find the element.
    double into = std::fmod(phase, period);
    if (into < 0.0) into += period;
    if (into >= period) into = 0.0;
    std::size_t element = 0;
    // A start exactly at an element's end belongs to the next element, except for an
    // element of length 0 (a dot), which is drawn when the start is exactly on it.
    for (std::size_t k = 0; k < pat.elements; ++k) {
        const double length = pat.Length(element);
        if (!(into > length || (length > 0.0 && into >= length))) break;
        into -= length;
        element = (element + 1) % pat.elements;
    }
    double remain = std::max(0.0, pat.Length(element) - into);
    bool penDown = element % 2 == 0;

    DashBuffer current;
    auto finish = [&]() -> std::int32_t {
        std::int32_t rc = kGeomOk;
        if (current.Count() >= 2) {
            rc = dash(context, current.Data(), static_cast<std::int32_t>(current.Count()));
        }
        current.Clear();
        return rc;
    };
    if (penDown && !current.Append(xy[0], xy[1])) return kGeomDashNoMemory;

    std::int64_t cutsMade = 0;
    for (std::size_t i = 1; i < points; ++i) {
        const double ax = xy[2 * i - 2], ay = xy[2 * i - 1];
        const double bx = xy[2 * i], by = xy[2 * i + 1];
        const double segment = std::hypot(bx - ax, by - ay);
        if (segment <= 0.0) continue;
        double pos = 0.0;
        // A boundary at or before the segment's end cuts it.
        while (segment - pos >= remain) {
            pos += remain;
            const double t = pos / segment;
            const double cx = ax + (bx - ax) * t;
            const double cy = ay + (by - ay) * t;
            if (penDown) {
                if (!current.Append(cx, cy)) return kGeomDashNoMemory;
                const std::int32_t rc = finish();
                if (rc != kGeomOk) return rc;
            } else {
                current.Clear();
                if (!current.Append(cx, cy)) return kGeomDashNoMemory;
            }
            element = (element + 1) % pat.elements;
            penDown = element % 2 == 0;
            remain = pat.Length(element);
            // Only rounding could take the walk past the estimate; never loop on it.
            if (++cutsMade > cutLimit) return kGeomTooManyPoints;
        }
        remain -= segment - pos;
        if (penDown && !current.EndsAt(bx, by) && !current.Append(bx, by)) return kGeomDashNoMemory;
    }
    return penDown ? finish() : kGeomOk;
}

std::int32_t Dash_SplitCentred(std::span<const double> xy, std::span<const double> pattern,
                               DashFn dash, void* context) {
    double phase = 0.0;
    const Pattern pat(pattern);
    if (xy.size() % 2 == 0 && AllFinite(xy) && AllFinite(pattern) && pat.Usable()) {
        const double total = PolylineLength(xy);
        const double period = pat.Period();
        const double first = pat.Length(0);
        const double centred =
            (first + period * (std::trunc((total - first) / period) + 1.0) - total) / 2.0;
        if (centred < first) phase = centred;
    }
    return Dash_Split(xy, pattern, phase, dash, context);
}
