// Cutting a polyline into dashes by a line pattern.
#pragma once

#include <cstdint>
#include <span>
#include <type_traits>

#include "support/geometry/GeometryTypes.h"

// Receives one dash: `xy` holds `count` (>= 2) points as flat x, y pairs, valid only
// during the call. Returns 0 to go on; any other value ends the split and becomes
// its result (so a failure to write a piece is never lost).
using DashFn = std::int32_t (*)(void* context, const double* xy, std::int32_t count);

// Splits the polyline `xy` (flat x, y pairs) by `pattern`, a list of (dash, gap)
// length pairs (flat: dash0, gap0, dash1, gap1, …; an odd last value is ignored,
// negative lengths count as 0), starting `phase` drawing units into the pattern
// (negative: backwards; any size, it wraps around the pattern's period).
//
// - an odd number of doubles in `xy`: kGeomDataTooShort;
// - fewer than 2 points: kGeomDashTooFewPoints;
// - a NaN or infinite coordinate, pattern length or phase: kGeomNotFinite;
// - the dashes together, or the gaps together, not above 1e-10: the whole polyline is
//   passed once;
// - otherwise the polyline is walked segment by segment (zero-length segments are
//   skipped) and cut at every pattern boundary by linear interpolation; every dash
//   that ends on the polyline is passed when it ends, a dash still open at the end of
//   the polyline is passed last. A dash of length 0 is passed as two equal points; a
//   dash that would begin exactly at the polyline's end is not passed.
// - when the pattern would cut the polyline into more than kMaxCurvePoints points:
//   kGeomTooManyPoints before anything is passed;
// - the dash array cannot grow: kGeomDashNoMemory.
// Result 0 when every dash was passed and accepted.
[[nodiscard]] std::int32_t Dash_Split(std::span<const double> xy, std::span<const double> pattern,
                                      double phase, DashFn dash, void* context);

// As Dash_Split, with the phase that centres the pattern on the polyline: with total
// length S, period P and first dash d, phase = (d + P × (trunc((S − d) / P) + 1) − S) / 2,
// used only when it is below d (else 0).
[[nodiscard]] std::int32_t Dash_SplitCentred(std::span<const double> xy,
                                             std::span<const double> pattern, DashFn dash,
                                             void* context);

namespace dash_detail {
template <class F>
DashFn Thunk() {
    return [](void* c, const double* xy, std::int32_t n) -> std::int32_t {
        return (*static_cast<std::remove_reference_t<F>*>(c))(xy, n);
    };
}
template <class F>
void* Context(F& f) {
    return const_cast<void*>(static_cast<const void*>(&f));
}
}  // namespace dash_detail

// The same with any callable `std::int32_t(const double* xy, std::int32_t count)`.
template <class F>
[[nodiscard]] std::int32_t Dash_Split(std::span<const double> xy, std::span<const double> pattern,
                                      double phase, F&& f) {
    return Dash_Split(xy, pattern, phase, dash_detail::Thunk<F>(), dash_detail::Context(f));
}
template <class F>
[[nodiscard]] std::int32_t Dash_SplitCentred(std::span<const double> xy,
                                             std::span<const double> pattern, F&& f) {
    return Dash_SplitCentred(xy, pattern, dash_detail::Thunk<F>(), dash_detail::Context(f));
}
