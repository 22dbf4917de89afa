#include "RenderPainter.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <numbers>
#include <span>

#include "ByteOrder.h"
#include "pdbform/ElementLayout.h"
#include "pdbform/ExtensionEntries.h"
#include "pdbform/Positions.h"
#include "platform/Cp932.h"

namespace quillon_tool {
namespace {

using pdbform::Element;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr std::size_t kGroupNamesSize = pdbform::kGroupShortNameSize + pdbform::kGroupLongNameSize;
constexpr std::size_t kImageNameOffset = 68;
constexpr double kArrowHalfAngle = 15 * std::numbers::pi / 180;
constexpr double kDefaultArrowSize = 1.3;
constexpr double kHatchSpacingPixels = 8;

double F64(std::span<const std::uint8_t> bytes, std::size_t offset) {
    double v = 0;
    return LoadF64(bytes, offset, v) ? v : kNaN;
}
double F64(const Element& e, std::size_t offset) { return F64(e.fixed, offset); }
std::int16_t I16(const Element& e, std::size_t offset) {
    std::int16_t v = 0;
    return LoadI16(e.fixed, offset, v) ? v : 0;
}
Pt P(const Element& e, std::size_t offset) { return {F64(e, offset), F64(e, offset + 8)}; }

bool AllFinite(std::initializer_list<double> values) {
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}
bool Finite(const Pt& p) { return AllFinite({p.x, p.y}); }

// The 16-byte points of the variable part (a trailing partial point is ignored).
Polyline RestPoints(const Element& e) {
    Polyline out;
    const std::size_t n = e.rest.size() / pdbform::kPointSize;
    out.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Pt p{F64(e.rest, i * 16), F64(e.rest, i * 16 + 8)};
        if (!Finite(p)) return {};
        out.push_back(p);
    }
    return out;
}

// The drawing kind of a stored kind inside a definition: members are stored with
// kind + 50; a member stored with its plain kind is taken as it is.
int MemberKind(std::int16_t stored) { return stored >= 51 && stored <= 99 ? stored - 50 : stored; }

// A matrix cairo accepts and whose inverse stays finite.
bool Usable(const cairo_matrix_t& m) {
    if (!AllFinite({m.xx, m.yx, m.xy, m.yy, m.x0, m.y0})) return false;
    const double det = m.xx * m.yy - m.yx * m.xy;
    return std::isfinite(det) && std::fabs(det) > 1e-200;
}

// first `a`, then `b`.
cairo_matrix_t Then(const cairo_matrix_t& a, const cairo_matrix_t& b) {
    cairo_matrix_t out;
    cairo_matrix_multiply(&out, &a, &b);
    return out;
}

cairo_matrix_t Similarity(double sx, double sy, double angle, double tx, double ty) {
    cairo_matrix_t s, r, t;
    cairo_matrix_init_scale(&s, sx, sy);
    cairo_matrix_init_rotate(&r, angle);
    cairo_matrix_init_translate(&t, tx, ty);
    return Then(Then(s, r), t);
}

Pt Rotate(const Pt& v, double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return {v.x * c - v.y * s, v.x * s + v.y * c};
}

// A hole piece of a fill's own hole list.
void AddHolePiece(const pdbform::HolePiece& piece, RingBuilder& rings) {
    const std::vector<double>& v = piece.values;
    auto points = [&piece] {
        Polyline out;
        for (std::size_t i = 0; i + 1 < piece.points.size(); i += 2)
            out.push_back({piece.points[i], piece.points[i + 1]});
        return out;
    };
    switch (piece.code) {
        case 1:
            if (v.size() >= 4 && AllFinite({v[0], v[1], v[2], v[3]}))
                rings.AddPiece({{v[0], v[1]}, {v[2], v[3]}});
            break;
        case 2:
            if (v.size() >= 6) rings.AddPiece(SampleArc({v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}));
            break;
        case 3:
            if (v.size() >= 3)
                rings.AddClosed(SampleEllipse(v[0], v[1], v[2], v[2], 0, 0, 0, true, true));
            break;
        case 4: {
            const Polyline pts = points();
            if (std::all_of(pts.begin(), pts.end(), Finite)) rings.AddPiece(pts);
            break;
        }
        case 5:
            rings.AddPiece(SampleBezier(points()));
            break;
        case 6:
            if (v.size() >= 7)
                rings.AddPiece(
                    SampleEllipse(v[0], v[1], v[2], v[3], v[4], v[5], v[6], true, false));
            break;
        default:
            break;
    }
}

// A converted PDB's hole piece record: i16 type, then 4 (segment), 6 (arc) or
// 3 (circle) f64 values.
void AddExtensionPiece(std::span<const std::uint8_t> record, RingBuilder& rings) {
    std::int16_t type = 0;
    if (!LoadI16(record, 0, type)) return;
    const std::size_t count = type == 2 ? 4 : type == 3 ? 6 : type == 4 ? 3 : 0;
    if (count == 0 || record.size() != 2 + 8 * count) return;
    double v[6] = {};
    for (std::size_t i = 0; i < count; ++i) v[i] = F64(record, 2 + 8 * i);
    if (type == 2 && AllFinite({v[0], v[1], v[2], v[3]}))
        rings.AddPiece({{v[0], v[1]}, {v[2], v[3]}});
    if (type == 3) rings.AddPiece(SampleArc({v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}));
    if (type == 4) rings.AddClosed(SampleEllipse(v[0], v[1], v[2], v[2], 0, 0, 0, true, true));
}

}  // namespace

ElementPainter::ElementPainter(const pdbform::PdbFile& file, const RenderStyle& style, cairo_t* cr,
                               Mode mode, const cairo_matrix_t& toDevice, double pixelsPerUnit)
    : file_(file),
      style_(style),
      cr_(cr),
      mode_(mode),
      toDevice_(toDevice),
      pixels_(pixelsPerUnit) {
    for (const pdbform::ExtensionEntry& entry : file.extension) {
        if (entry.tag != pdbform::ext::kTagHolePiece) continue;
        const std::span<const std::uint8_t> bytes(entry.bytes);
        std::uint32_t element = 0;
        std::uint16_t hole = 0;
        if (!LoadU32(bytes, 0, element) || !LoadU16(bytes, 4, hole) || bytes.size() < 8) continue;
        extensionHoles_[element].emplace_back(
            hole, std::vector<std::uint8_t>(bytes.begin() + 8, bytes.end()));
    }
}

bool ElementPainter::DrawAll(std::string& why) {
    Context top;
    top.matrix = toDevice_;
    for (const auto& [position, element] : file_.Elements()) {
        // Hidden copies and definition members are drawn only through what owns them.
        if (element.kind < 0 || (element.kind >= 51 && element.kind <= 99)) continue;
        layerOverride_ = 0;
        Draw(element, position, element.kind, top);
        if (budgetExceeded_) {
            why = "its placements expand to more than " + std::to_string(kMaxDraws) + " elements";
            return false;
        }
    }
    return true;
}

bool ElementPainter::Drawable(double rx, double ry) const {
    // cairo approximates an arc by a number of pieces that grows with its radius on the
    // device (and keeps coordinates in 24.8 fixed point): a radius beyond the range of
    // those coordinates would take forever and draw nothing that fits.
    constexpr double kMaxDeviceRadius = 4e6;
    double x1 = rx, y1 = 0, x2 = 0, y2 = ry;
    cairo_user_to_device_distance(cr_, &x1, &y1);
    cairo_user_to_device_distance(cr_, &x2, &y2);
    const double r = std::max(std::hypot(x1, y1), std::hypot(x2, y2));
    return std::isfinite(r) && r <= kMaxDeviceRadius;
}

bool ElementPainter::SetMatrix(const cairo_matrix_t& m) {
    if (!Usable(m)) return false;
    cairo_set_matrix(cr_, &m);
    return true;
}

std::int16_t ElementPainter::PenOf(const Context& ctx, std::int16_t attributePen) const {
    return ctx.penOverride ? ctx.pen : attributePen;
}

bool ElementPainter::Draw(const Element& e, std::uint32_t position, int baseKind,
                          const Context& ctx) {
    if (budgetExceeded_) return false;
    if (++draws_ > kMaxDraws) {
        budgetExceeded_ = true;
        return false;
    }
    if (baseKind == 25) {
        DrawPlacement(position, ctx);
        return true;
    }
    const std::int16_t layer = layerOverride_ > 0 ? layerOverride_ : e.Layer();
    if (!style_.LayerShown(layer)) return true;
    if (!SetMatrix(ctx.matrix)) return true;
    cairo_new_path(cr_);
    switch (baseKind) {
        case 1:
            Point(e, ctx);
            break;
        case 2:
        case 3:
        case 4:
        case 6:
        case 17:
        case 18:
        case 26:
        case 27:
            Curve(e, position, baseKind, ctx);
            break;
        case 5:
            PaintedCircle(e, position, ctx);
            break;
        case 7:
            Text(e, ctx);
            break;
        case 8:
            CircledString(e, ctx);
            break;
        case 9:
            Mark(e, ctx);
            break;
        case 10:
        case 11:
        case 12:
            Dimension(e, position, baseKind, ctx);
            break;
        case 16:
            Fill(e, position, ctx);
            break;
        case 19:
            Symbol(e, ctx);
            break;
        case 20:
            Image(e, ctx);
            break;
        case 29:
            PaintArea(e, position, ctx);
            break;
        default:
            break;  // groups, stop marks, kinds without a picture
    }
    cairo_new_path(cr_);
    return true;
}

void ElementPainter::DrawPlacement(std::uint32_t position, const Context& ctx) {
    const auto placement = file_.placements.find(position);
    if (placement == file_.placements.end()) return;
    const pdbform::Placement& p = placement->second;
    const auto definition = file_.definitions.find(p.definition);
    if (definition == file_.definitions.end()) return;
    // The loader refuses deeper nesting; this keeps a hand-made model from recursing.
    if (ctx.depth > pdbform::kMaxPlacementDepth) return;
    if (!AllFinite({p.scaleX, p.scaleY, p.rotation, p.translateX, p.translateY})) return;

    Context inner = ctx;
    inner.matrix =
        Then(Similarity(p.scaleX, p.scaleY, p.rotation, p.translateX, p.translateY), ctx.matrix);
    if (!Usable(inner.matrix)) return;
    inner.linear = ctx.linear * std::sqrt(std::fabs(p.scaleX * p.scaleY));
    inner.penOverride = p.penFlag == 0;
    inner.pen = p.overridePen;
    inner.depth = ctx.depth + 1;
    if (p.layerOverride > 0) layerOverride_ = p.layerOverride;
    for (const std::uint32_t member : definition->second.members) {
        const Element* m = file_.Find(member);
        if (!m || m->kind < 0) continue;
        if (!Draw(*m, member, MemberKind(m->kind), inner)) return;
    }
}

// ---------------------------------------------------------------- paths

void ElementPainter::PolylinePath(const Polyline& points) {
    if (points.size() < 2) return;
    cairo_move_to(cr_, points[0].x, points[0].y);
    for (std::size_t i = 1; i < points.size(); ++i) cairo_line_to(cr_, points[i].x, points[i].y);
}

void ElementPainter::RingsPath(const std::vector<Polyline>& rings) {
    for (const Polyline& ring : rings) {
        if (ring.size() < 2) continue;
        PolylinePath(ring);
        cairo_close_path(cr_);
    }
}

bool ElementPainter::BuildCurvePath(const Element& e, int kind) {
    auto arcPath = [this](const Pt& p1, const Pt& pm, const Pt& p2) {
        Arc3 arc;
        if (!ArcThrough(p1, pm, p2, arc) || !Drawable(arc.r, arc.r)) {
            if (!Finite(p1) || !Finite(p2)) return false;
            cairo_move_to(cr_, p1.x, p1.y);
            cairo_line_to(cr_, p2.x, p2.y);
            return true;
        }
        double end = arc.end;
        if (std::fabs(end - arc.start) < 1e-12) end += arc.counterClockwise ? kTwoPi : -kTwoPi;
        cairo_new_sub_path(cr_);
        if (arc.counterClockwise) {
            cairo_arc(cr_, arc.cx, arc.cy, arc.r, arc.start, end);
        } else {
            cairo_arc_negative(cr_, arc.cx, arc.cy, arc.r, arc.start, end);
        }
        return true;
    };
    auto circlePath = [this](const Pt& c, double r) {
        if (!Finite(c) || !std::isfinite(r) || r == 0 || !Drawable(r, r)) return false;
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, c.x, c.y, std::fabs(r), 0, kTwoPi);
        return true;
    };
    switch (kind) {
        case 2:
        case 11: {
            const Pt a = P(e, 6), b = P(e, 22);
            if (!Finite(a) || !Finite(b)) return false;
            cairo_move_to(cr_, a.x, a.y);
            cairo_line_to(cr_, b.x, b.y);
            return true;
        }
        case 3:
        case 12:
            return arcPath(P(e, 6), P(e, 22), P(e, 38));
        case 4:
            return circlePath(P(e, 6), F64(e, 22));
        case 5:
            return circlePath(P(e, 8), F64(e, 24));
        case 6:
        case 10: {
            const Polyline points = RestPoints(e);
            if (points.size() < 2) return false;
            PolylinePath(points);
            return true;
        }
        case 17: {
            // Each pair of items is one cubic: from item i along its angle with its
            // first length, into item i + 1 along that item's angle with item i's
            // second length (the control points of the same cubic in Bézier form lie a
            // third of each tangent from the ends).
            const std::size_t n = e.rest.size() / pdbform::kContourItemSize;
            if (n < 2) return false;
            struct Item {
                double x, y, angle;
                float t1, t2;
            };
            std::vector<Item> items(n);
            for (std::size_t i = 0; i < n; ++i) {
                const std::size_t o = i * pdbform::kContourItemSize;
                Item& it = items[i];
                it.x = F64(e.rest, o);
                it.y = F64(e.rest, o + 8);
                it.angle = F64(e.rest, o + 16);
                if (!LoadF32(e.rest, o + 24, it.t1) || !LoadF32(e.rest, o + 28, it.t2))
                    return false;
                if (!AllFinite({it.x, it.y, it.angle, it.t1, it.t2})) return false;
            }
            cairo_move_to(cr_, items[0].x, items[0].y);
            for (std::size_t i = 0; i + 1 < n; ++i) {
                const Item& a = items[i];
                const Item& b = items[i + 1];
                cairo_curve_to(cr_, a.x + a.t1 * std::cos(a.angle) / 3,
                               a.y + a.t1 * std::sin(a.angle) / 3,
                               b.x - a.t2 * std::cos(b.angle) / 3,
                               b.y - a.t2 * std::sin(b.angle) / 3, b.x, b.y);
            }
            return true;
        }
        case 18: {
            const Polyline points = SampleClothoid(F64(e, 6), P(e, 14), F64(e, 30), F64(e, 38),
                                                   P(e, 46), F64(e, 62), F64(e, 70));
            if (points.size() < 2) return false;
            PolylinePath(points);
            return true;
        }
        case 26: {
            const Pt c = P(e, 6);
            const double rx = F64(e, 22), ry = F64(e, 30), a1 = F64(e, 38), a2 = F64(e, 46),
                         rotation = F64(e, 54);
            std::uint8_t direction = 1;
            if (e.fixed.size() > 62) direction = e.fixed[62];
            if (!Finite(c) || !AllFinite({rx, ry, a1, a2, rotation}) || !Drawable(rx, ry))
                return false;
            const bool ccw = direction != 0;
            bool full = false;
            const double sweep = EllipseSweep(a1, a2, ccw, full);
            cairo_matrix_t element;
            cairo_get_matrix(cr_, &element);
            if (!SetMatrix(Then(Similarity(rx, ry, rotation, c.x, c.y), element))) return false;
            cairo_new_sub_path(cr_);
            if (ccw) {
                cairo_arc(cr_, 0, 0, 1, a1, a1 + sweep);
            } else {
                cairo_arc_negative(cr_, 0, 0, 1, a1, a1 - sweep);
            }
            cairo_set_matrix(cr_, &element);
            return true;
        }
        case 27: {
            const Polyline points = RestPoints(e);
            if (points.size() < 4) return false;
            cairo_move_to(cr_, points[0].x, points[0].y);
            for (std::size_t i = 1; i + 2 < points.size(); i += 3) {
                cairo_curve_to(cr_, points[i].x, points[i].y, points[i + 1].x, points[i + 1].y,
                               points[i + 2].x, points[i + 2].y);
            }
            return true;
        }
        default:
            return false;
    }
}

bool ElementPainter::ElementOutline(const Element& e, RingBuilder& rings) {
    switch (pdbform::BaseKind(e.kind)) {
        case 2:
            if (!Finite(P(e, 6)) || !Finite(P(e, 22))) return false;
            rings.AddPiece({P(e, 6), P(e, 22)});
            return true;
        case 3:
            rings.AddPiece(SampleArc(P(e, 6), P(e, 22), P(e, 38)));
            return true;
        case 4: {
            const Pt c = P(e, 6);
            const double r = F64(e, 22);
            rings.AddClosed(SampleEllipse(c.x, c.y, r, r, 0, 0, 0, true, true));
            return true;
        }
        case 6:
            rings.AddPiece(RestPoints(e));
            return true;
        case 18:
            rings.AddPiece(SampleClothoid(F64(e, 6), P(e, 14), F64(e, 30), F64(e, 38), P(e, 46),
                                          F64(e, 62), F64(e, 70)));
            return true;
        case 26: {
            const Pt c = P(e, 6);
            const bool ccw = e.fixed.size() <= 62 || e.fixed[62] != 0;
            rings.AddPiece(SampleEllipse(c.x, c.y, F64(e, 22), F64(e, 30), F64(e, 38), F64(e, 46),
                                         F64(e, 54), ccw, false));
            return true;
        }
        case 27:
            rings.AddPiece(SampleBezier(RestPoints(e)));
            return true;
        default:
            return false;
    }
}

void ElementPainter::FillHolesOf(std::uint32_t position, RingBuilder& rings) {
    if (const auto it = file_.fillHoles.find(position); it != file_.fillHoles.end()) {
        for (const auto& hole : it->second.holes) {
            rings.EndRing();
            for (const pdbform::HolePiece& piece : hole) AddHolePiece(piece, rings);
        }
        rings.EndRing();
        // A PDB made from a copy of the drawing keeps the fill's own holes and gets the
        // same holes again as extension data: drawn twice, the even-odd rule would fill
        // them in again. The file's own record wins.
        return;
    }
    const auto ext = extensionHoles_.find(pdbform::ElementNumber(position));
    if (ext == extensionHoles_.end()) return;
    bool first = true;
    std::uint16_t current = 0;
    for (const auto& [hole, record] : ext->second) {
        if (first || hole != current) rings.EndRing();
        first = false;
        current = hole;
        AddExtensionPiece(record, rings);
    }
    rings.EndRing();
}

bool ElementPainter::GroupOutline(std::uint32_t groupNumber, RingBuilder& rings) {
    if (groupNumber == 0) return false;
    const std::uint64_t position = pdbform::PositionOfNumber(groupNumber);
    if (position > UINT32_MAX) return false;
    const Element* group = file_.Find(static_cast<std::uint32_t>(position));
    if (!group || pdbform::BaseKind(group->kind) != 13) return false;
    rings.EndRing();
    for (std::size_t o = kGroupNamesSize; o + 4 <= group->rest.size(); o += 4) {
        std::uint32_t number = 0;
        if (!LoadU32(group->rest, o, number) || number == 0) continue;
        const std::uint64_t at = pdbform::PositionOfNumber(number);
        if (at > UINT32_MAX) continue;
        if (const Element* member = file_.Find(static_cast<std::uint32_t>(at)))
            static_cast<void>(ElementOutline(*member, rings));
    }
    rings.EndRing();
    return true;
}

// ---------------------------------------------------------------- output

void ElementPainter::MeasurePath() {
    cairo_identity_matrix(cr_);
    if (cairo_has_current_point(cr_)) {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        cairo_path_extents(cr_, &x1, &y1, &x2, &y2);
        bounds_.Add(x1, y1);
        bounds_.Add(x2, y2);
    }
    cairo_new_path(cr_);
}

void ElementPainter::Stroke(const Context& ctx, std::int16_t pen,
                            const std::vector<double>& dashes) {
    if (mode_ == Mode::kMeasure) {
        MeasurePath();
        return;
    }
    const PenStyle style = style_.Pen(pen);
    cairo_identity_matrix(cr_);
    cairo_set_source_rgb(cr_, style.colour.r, style.colour.g, style.colour.b);
    cairo_set_line_width(cr_, std::clamp(style.width * pixels_, 1.0, 1000.0));
    if (!dashes.empty()) {
        std::vector<double> device;
        double period = 0;
        for (const double d : dashes) {
            device.push_back(std::min(d * pixels_ * ctx.linear, 1e6));
            period += device.back();
        }
        // A pattern finer than the pixels would only grey the line (and cost a dash
        // per pixel); it is drawn solid.
        if (std::isfinite(period) && period >= 2)
            cairo_set_dash(cr_, device.data(), static_cast<int>(device.size()), 0);
    }
    cairo_stroke(cr_);
    cairo_set_dash(cr_, nullptr, 0, 0);
}

void ElementPainter::FillPath(const Context&, const Rgb& colour) {
    if (mode_ == Mode::kMeasure) {
        MeasurePath();
        return;
    }
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_set_source_rgb(cr_, colour.r, colour.g, colour.b);
    cairo_fill(cr_);
}

void ElementPainter::Hatch(const Context& ctx, std::int16_t pen) {
    if (mode_ == Mode::kMeasure) {
        MeasurePath();
        return;
    }
    const PenStyle style = style_.Pen(PenOf(ctx, pen));
    cairo_identity_matrix(cr_);
    cairo_path_t* outline = cairo_copy_path(cr_);
    cairo_save(cr_);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr_);
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr_, &x1, &y1, &x2, &y2);
    const double h = y2 - y1;
    for (double x = x1 - h; x < x2; x += kHatchSpacingPixels) {
        cairo_move_to(cr_, x, y2);
        cairo_line_to(cr_, x + h, y1);
    }
    cairo_set_source_rgb(cr_, style.colour.r, style.colour.g, style.colour.b);
    cairo_set_line_width(cr_, 1);
    cairo_stroke(cr_);
    cairo_restore(cr_);
    cairo_append_path(cr_, outline);
    cairo_path_destroy(outline);
    cairo_set_line_width(cr_, 1);
    cairo_stroke(cr_);
}

void ElementPainter::Arrow(const Context& ctx, const Pt& tip, const Pt& from, int type, double size,
                           std::int16_t pen) {
    const double dx = from.x - tip.x, dy = from.y - tip.y, len = std::hypot(dx, dy);
    if (!(len > 0) || !std::isfinite(len) || !Finite(tip)) return;
    const double s = std::isfinite(size) && size > 0 ? size : kDefaultArrowSize;
    const Pt u{dx / len * s, dy / len * s};
    if (!SetMatrix(ctx.matrix) || !Drawable(s, s)) return;
    cairo_new_path(cr_);
    const Pt w1 = Rotate(u, kArrowHalfAngle), w2 = Rotate(u, -kArrowHalfAngle);
    switch (type) {
        case 2:
            cairo_move_to(cr_, tip.x, tip.y);
            cairo_line_to(cr_, tip.x + w1.x, tip.y + w1.y);
            cairo_line_to(cr_, tip.x + w2.x, tip.y + w2.y);
            cairo_close_path(cr_);
            FillPath(ctx, style_.Pen(pen).colour);
            return;
        case 3:
            cairo_new_sub_path(cr_);
            cairo_arc(cr_, tip.x, tip.y, s / 4, 0, kTwoPi);
            FillPath(ctx, style_.Pen(pen).colour);
            return;
        case 4: {
            const Pt t = Rotate(u, std::numbers::pi / 4);
            cairo_move_to(cr_, tip.x - t.x / 2, tip.y - t.y / 2);
            cairo_line_to(cr_, tip.x + t.x / 2, tip.y + t.y / 2);
            break;
        }
        default:
            cairo_move_to(cr_, tip.x + w1.x, tip.y + w1.y);
            cairo_line_to(cr_, tip.x, tip.y);
            cairo_line_to(cr_, tip.x + w2.x, tip.y + w2.y);
            break;
    }
    Stroke(ctx, pen, {});
}

void ElementPainter::DrawText(const Context& ctx, const cairo_matrix_t& local,
                              std::string_view text, std::string_view face, bool centred,
                              std::int16_t pen) {
    if (!SetMatrix(Then(local, ctx.matrix)) || !Drawable(kTextReference, kTextReference)) {
        cairo_set_matrix(cr_, &ctx.matrix);
        return;
    }
    // Pango starts only for a file that has text: its font map finishes setting up
    // fontconfig on a thread of its own once made, and is released whole only after it
    // has been used.
    if (!text_) text_ = std::make_unique<TextPainter>(cr_);
    TextBox box;
    if (!text_->Prepare(text, face, box)) return;
    const double dx = centred ? -(box.x0 + box.x1) / 2 : 0;
    const double dy = centred ? -(box.y0 + box.y1) / 2 : 0;
    if (mode_ == Mode::kMeasure) {
        for (const double x : {box.x0, box.x1}) {
            for (const double y : {box.y0, box.y1}) {
                double px = x + dx, py = y + dy;
                cairo_user_to_device(cr_, &px, &py);
                bounds_.Add(px, py);
            }
        }
    } else {
        const PenStyle style = style_.Pen(pen);
        cairo_set_source_rgb(cr_, style.colour.r, style.colour.g, style.colour.b);
        text_->Show(dx, dy);
    }
    cairo_set_matrix(cr_, &ctx.matrix);
}

// ---------------------------------------------------------------- kinds

void ElementPainter::Point(const Element& e, const Context& ctx) {
    const pdbform::PointAttribute* a = file_.pointAttributes.Get(e.AttributeId());
    const std::int16_t pen = PenOf(ctx, a ? a->pen : 0);
    Pt p = P(e, 6);
    if (!Finite(p)) return;
    cairo_matrix_transform_point(&ctx.matrix, &p.x, &p.y);
    if (mode_ == Mode::kMeasure) {
        bounds_.Add(p.x, p.y);
        return;
    }
    const PenStyle style = style_.Pen(pen);
    cairo_identity_matrix(cr_);
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, p.x, p.y, std::clamp(style.width * pixels_ / 2, 1.5, 100.0), 0, kTwoPi);
    FillPath(ctx, style.colour);
}

void ElementPainter::Curve(const Element& e, std::uint32_t position, int kind, const Context& ctx) {
    const pdbform::LineAttribute* a = file_.lineAttributes.Get(e.AttributeId());
    if (!BuildCurvePath(e, kind)) return;
    Stroke(ctx, PenOf(ctx, a ? a->pen : 0),
           style_.DashPattern(a ? a->lineType : 0, a, pdbform::ElementNumber(position)));
}

void ElementPainter::PaintedCircle(const Element& e, std::uint32_t position, const Context& ctx) {
    const pdbform::FaceAttribute* face = file_.faceAttributes.Get(I16(e, 6));
    const pdbform::LineAttribute* a = file_.lineAttributes.Get(e.AttributeId());
    const std::int16_t pen = PenOf(ctx, a ? a->pen : 0);
    if (!BuildCurvePath(e, 5)) return;
    if (face && face->ppat < 0) {
        Hatch(ctx, pen);
    } else {
        FillPath(ctx, style_.Paint(face ? face->paintNumber : 0));
    }
    if (!SetMatrix(ctx.matrix) || !BuildCurvePath(e, 5)) return;
    Stroke(ctx, pen, style_.DashPattern(a ? a->lineType : 0, a, pdbform::ElementNumber(position)));
}

void ElementPainter::Text(const Element& e, const Context& ctx) {
    const pdbform::SymbolAttribute* a = file_.symbolAttributes.Get(e.AttributeId());
    if (!a || !std::isfinite(a->height) || !(a->height > 0)) return;
    const double ratio = std::isfinite(a->ratio) && a->ratio > 0 ? a->ratio : 1.0;
    const Pt p = P(e, 6);
    const std::string face = style_.FaceName(a->fontId);
    // A vertical face writes downwards whatever the angle (the conversion sets it to 0).
    const double angle = !face.empty() && face.front() == '@' ? 0.0 : F64(e, 38);
    if (!Finite(p) || !std::isfinite(angle)) return;
    const std::size_t length = std::min<std::size_t>(
        static_cast<std::size_t>(std::max<int>(0, I16(e, 46))), e.rest.size());
    const std::string_view text(reinterpret_cast<const char*>(e.rest.data()), length);
    const double unit = a->height / kTextReference;
    DrawText(ctx, Similarity(unit * ratio, -unit, angle, p.x, p.y), text, face, false,
             PenOf(ctx, a->pen));
}

void ElementPainter::CircledString(const Element& e, const Context& ctx) {
    const pdbform::SymbolAttribute* a = file_.symbolAttributes.Get(e.AttributeId());
    const std::int16_t pen = PenOf(ctx, a ? a->pen : 0);
    const Pt p = P(e, 6);
    const double size = F64(e, 22);
    if (!Finite(p) || !std::isfinite(size)) return;
    if (size != 0 && Drawable(size, size)) {
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, p.x, p.y, std::fabs(size) / 2, 0, kTwoPi);
        Stroke(ctx, pen, {});
    }
    double height =
        a && std::isfinite(a->height) && a->height > 0 ? a->height : std::fabs(size) / 2;
    if (!(height > 0)) return;
    const std::size_t length = std::min<std::size_t>(
        static_cast<std::size_t>(std::max<int>(0, I16(e, 30))), e.rest.size());
    const std::string_view text(reinterpret_cast<const char*>(e.rest.data()), length);
    const double unit = height / kTextReference;
    DrawText(ctx, Similarity(unit, -unit, 0, p.x, p.y), text, style_.FaceName(a ? a->fontId : 0),
             true, pen);
}

void ElementPainter::Mark(const Element& e, const Context& ctx) {
    const pdbform::MarkAttribute* a = file_.markAttributes.Get(e.AttributeId());
    const std::int16_t pen = PenOf(ctx, a ? a->pen : 0);
    const Pt p = P(e, 6);
    const double size = a && std::isfinite(a->size) && a->size > 0 ? a->size : 1.0;
    if (!Finite(p) || !Drawable(size, size)) return;
    const double h = size / 2;
    const int mark = a ? a->markNumber : 0;
    switch (mark) {
        case 1:
        case 7:
            cairo_new_sub_path(cr_);
            cairo_arc(cr_, p.x, p.y, mark == 1 ? size / 6 : h, 0, kTwoPi);
            FillPath(ctx, style_.Pen(pen).colour);
            return;
        case 3:
            cairo_move_to(cr_, p.x - h, p.y - h);
            cairo_line_to(cr_, p.x + h, p.y + h);
            cairo_move_to(cr_, p.x - h, p.y + h);
            cairo_line_to(cr_, p.x + h, p.y - h);
            break;
        case 4:
            cairo_new_sub_path(cr_);
            cairo_arc(cr_, p.x, p.y, h, 0, kTwoPi);
            break;
        case 5:
            cairo_rectangle(cr_, p.x - h, p.y - h, size, size);
            break;
        case 6:
            cairo_move_to(cr_, p.x, p.y + h);
            cairo_line_to(cr_, p.x - h, p.y - h);
            cairo_line_to(cr_, p.x + h, p.y - h);
            cairo_close_path(cr_);
            break;
        default:
            cairo_move_to(cr_, p.x - h, p.y);
            cairo_line_to(cr_, p.x + h, p.y);
            cairo_move_to(cr_, p.x, p.y - h);
            cairo_line_to(cr_, p.x, p.y + h);
            break;
    }
    Stroke(ctx, pen, {});
}

void ElementPainter::Dimension(const Element& e, std::uint32_t position, int kind,
                               const Context& ctx) {
    const pdbform::LineAttribute* a = file_.lineAttributes.Get(e.AttributeId());
    const std::int16_t pen = PenOf(ctx, a ? a->pen : 0);
    if (!BuildCurvePath(e, kind)) return;
    Stroke(ctx, pen, style_.DashPattern(a ? a->lineType : 0, a, pdbform::ElementNumber(position)));

    const std::size_t arrowOffset = kind == 10 ? 6 : kind == 11 ? 38 : 54;
    const pdbform::ArrowAttribute* arrow = file_.arrowAttributes.Get(I16(e, arrowOffset));
    if (!arrow) return;
    const double size = arrow->arrowType == 0 ? kDefaultArrowSize : arrow->size;
    // The ends and the points the arrows point away from (for an arc: along its tangent).
    Pt first, afterFirst, last, beforeLast;
    if (kind == 10) {
        const Polyline points = RestPoints(e);
        if (points.size() < 2) return;
        first = points[0];
        afterFirst = points[1];
        last = points.back();
        beforeLast = points[points.size() - 2];
    } else if (kind == 11) {
        first = beforeLast = P(e, 6);
        last = afterFirst = P(e, 22);
    } else {
        first = P(e, 6);
        last = P(e, 38);
        Arc3 arc;
        if (ArcThrough(first, P(e, 22), last, arc)) {
            const double sense = arc.counterClockwise ? 1 : -1;
            afterFirst = {first.x - sense * std::sin(arc.start),
                          first.y + sense * std::cos(arc.start)};
            beforeLast = {last.x + sense * std::sin(arc.end), last.y - sense * std::cos(arc.end)};
        } else {
            afterFirst = last;
            beforeLast = first;
        }
    }
    if (arrow->arrowEnds == 1 || arrow->arrowEnds == 3)
        Arrow(ctx, first, afterFirst, arrow->arrowType, size, pen);
    if (arrow->arrowEnds == 2 || arrow->arrowEnds == 3)
        Arrow(ctx, last, beforeLast, arrow->arrowType, size, pen);
}

void ElementPainter::Fill(const Element& e, std::uint32_t position, const Context& ctx) {
    const pdbform::FaceAttribute* face = file_.faceAttributes.Get(I16(e, 6));
    const pdbform::LineAttribute* a = file_.lineAttributes.Get(e.AttributeId());
    const std::size_t items = e.rest.size() / pdbform::kBoundaryItemSize;
    if (items < 1) return;
    RingBuilder rings;
    std::int16_t head = 0;
    static_cast<void>(LoadI16(e.rest, 0, head));
    if (head == -4) {
        // A converted paint area: the head item, then the numbers of its groups (the
        // outline first, then one per hole).
        for (std::size_t o = pdbform::kBoundaryItemSize; o + 4 <= e.rest.size(); o += 4) {
            std::uint32_t number = 0;
            if (LoadU32(e.rest, o, number)) static_cast<void>(GroupOutline(number, rings));
        }
    } else {
        for (std::size_t i = 1; i < items; ++i) {
            const std::size_t o = i * pdbform::kBoundaryItemSize;
            std::int16_t code = 0;
            static_cast<void>(LoadI16(e.rest, o, code));
            double v[6];
            for (std::size_t k = 0; k < 6; ++k) v[k] = F64(e.rest, o + 2 + 8 * k);
            if ((code == 2 || code == 6) && AllFinite({v[0], v[1], v[2], v[3]})) {
                rings.AddPiece({{v[0], v[1]}, {v[2], v[3]}});
            } else if (code == 3) {
                rings.AddPiece(SampleArc({v[0], v[1]}, {v[2], v[3]}, {v[4], v[5]}));
            } else if (code == 4) {
                rings.AddClosed(SampleEllipse(v[0], v[1], v[2], v[2], 0, 0, 0, true, true));
                break;  // a circle closes the boundary: what follows is not part of it
            }
        }
        rings.EndRing();
        FillHolesOf(position, rings);
    }
    RingsPath(rings.Rings());
    if (face && face->ppat < 0) {
        Hatch(ctx, a ? a->pen : 0);
    } else {
        FillPath(ctx, style_.Paint(face ? face->paintNumber : 0));
    }
}

void ElementPainter::PaintArea(const Element& e, std::uint32_t position, const Context& ctx) {
    const auto area = file_.paintAreas.find(position);
    if (area == file_.paintAreas.end()) return;
    const pdbform::FaceAttribute* face = file_.faceAttributes.Get(I16(e, 6));
    const pdbform::LineAttribute* a = file_.lineAttributes.Get(e.AttributeId());
    RingBuilder rings;
    auto outline = [this, &rings](const std::vector<std::uint32_t>& positions) {
        rings.EndRing();
        for (const std::uint32_t at : positions) {
            if (const Element* boundary = file_.Find(at))
                static_cast<void>(ElementOutline(*boundary, rings));
        }
        rings.EndRing();
    };
    outline(area->second.boundary);
    for (const pdbform::PaintAreaHole& hole : area->second.holes) outline(hole.elements);
    RingsPath(rings.Rings());
    if (face && face->ppat < 0) {
        Hatch(ctx, a ? a->pen : 0);
    } else {
        FillPath(ctx, style_.Paint(face ? face->paintNumber : 0));
    }
}

void ElementPainter::Symbol(const Element& e, const Context& ctx) {
    const pdbform::SymbolAttribute* a = file_.symbolAttributes.Get(e.AttributeId());
    if (!a || !std::isfinite(a->height) || !(a->height > 0)) return;
    const std::int16_t pen = PenOf(ctx, a->pen);
    const auto code = static_cast<std::uint16_t>(I16(e, 6));
    const Pt p = P(e, 8);
    const double angle = F64(e, 24);
    if (!Finite(p) || !std::isfinite(angle)) return;
    std::string character;
    const auto hi = static_cast<unsigned char>(code >> 8), lo = static_cast<unsigned char>(code);
    if (hi != 0 && platform::IsLeadByte(hi) && lo >= 0x40) {
        character = {static_cast<char>(hi), static_cast<char>(lo)};
    } else if (hi == 0 && ((lo > 0x20 && lo < 0x7f) || (lo >= 0xa1 && lo <= 0xdf))) {
        character = std::string(1, static_cast<char>(lo));
    }
    if (character.empty()) {
        // No character: a frame the symbol's height across, turned by its angle.
        cairo_matrix_t frame = Then(Similarity(a->height, a->height, angle, p.x, p.y), ctx.matrix);
        if (!SetMatrix(frame)) return;
        cairo_rectangle(cr_, -0.5, -0.5, 1, 1);
        Stroke(ctx, pen, {});
        return;
    }
    const double unit = a->height / kTextReference;
    DrawText(ctx, Similarity(unit, -unit, angle, p.x, p.y), character, style_.FaceName(a->fontId),
             true, pen);
}

void ElementPainter::Image(const Element& e, const Context& ctx) {
    std::int32_t ints1[2] = {}, ints2[5] = {};
    for (std::size_t i = 0; i < 2; ++i) static_cast<void>(LoadI32(e.fixed, 6 + 4 * i, ints1[i]));
    for (std::size_t i = 0; i < 5; ++i) static_cast<void>(LoadI32(e.fixed, 44 + 4 * i, ints2[i]));
    double x = ints2[0], y = ints2[1], w = ints2[2], h = ints2[3];
    if (!(w > 0 && h > 0)) {
        w = ints1[0];
        h = ints1[1];
    }
    if (!(w > 0 && h > 0)) w = h = 10;
    cairo_rectangle(cr_, x, y, w, h);
    Stroke(ctx, PenOf(ctx, 0), {});
    if (!SetMatrix(ctx.matrix)) return;
    cairo_move_to(cr_, x, y);
    cairo_line_to(cr_, x + w, y + h);
    cairo_move_to(cr_, x, y + h);
    cairo_line_to(cr_, x + w, y);
    if (mode_ == Mode::kPaint) {
        cairo_identity_matrix(cr_);
        cairo_set_source_rgb(cr_, 0.75, 0.75, 0.75);
        cairo_set_line_width(cr_, 1);
        cairo_stroke(cr_);
    }
    cairo_new_path(cr_);
    if (!SetMatrix(ctx.matrix)) return;

    // The file name: the text after the last folder delimiter, up to its NUL.
    std::string name;
    for (std::size_t i = kImageNameOffset; i < e.fixed.size() && e.fixed[i] != 0; ++i)
        name.push_back(static_cast<char>(e.fixed[i]));
    const std::size_t slash = platform::FindLastPathDelimiter(name);
    if (slash != std::string::npos) name.erase(0, slash + 1);
    if (name.empty()) return;
    const double height = std::min(h / 6, w / (0.6 * static_cast<double>(name.size()) + 1));
    if (!(height > 0)) return;
    const double unit = height / kTextReference;
    DrawText(ctx, Similarity(unit, -unit, 0, x + w / 2, y + h / 2), name, "", true, PenOf(ctx, 0));
}

}  // namespace quillon_tool
