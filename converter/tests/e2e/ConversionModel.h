// What a normal-level conversion must make of a drawing, worked out from the drawing's
// own JSON dump (`quillon dump`, docs/quillon.md) without any of the converter's code:
// the PDB's elements in order, the extension entries in order, and the pens and fonts of
// the bulk registration. The placements' transforms, the curve samplings and the font
// rule are computed here afresh from their definitions, so the comparison catches a
// converter that is consistently wrong.
//
// It covers every element kind but fills, paint areas and the dashed line types 5 and 6,
// whose pieces it does not work out: a drawing given to it holds none of those.
//
// Expected elements are JSON objects holding only the fields to compare; a curve
// (ellipse, elliptic arc, Bézier curve) is one entry {"curve": ...} that stands for the
// consecutive polyline records of its runs of 1000 points.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <map>
#include <nlohmann/json.hpp>
#include <numbers>
#include <set>
#include <string>
#include <vector>

#include "platform/Cp932.h"
#include "platform/Fonts.h"

namespace e2e {

using Json = nlohmann::json;
constexpr double kPi = std::numbers::pi;
constexpr int kRunPoints = 1000;

// ---------------------------------------------------------------- text

inline std::string ToCp932(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(platform::Utf8ToCp932(utf8, out)) << utf8;
    return out;
}
inline std::string ToUtf8(const std::string& cp932) {
    std::string out;
    EXPECT_TRUE(platform::Cp932ToUtf8(cp932, out));
    return out;
}

// The pitch of an installed face as the converter's font lookup sees it: the first
// description whose face name or full name is `face` (code page 932). 0 when none.
inline int InstalledPitch(const std::string& face) {
    int pitch = 0;
    (void)platform::EnumFontFamiliesExA(platform::kDefaultCharset, "",
                                        [&](const platform::EnumLogFontExA& f) {
                                            if (face == f.logFont.faceName || face == f.fullName) {
                                                pitch = f.logFont.pitchAndFamily & 3;
                                                return false;
                                            }
                                            return true;
                                        });
    return pitch;
}

// The face name a font id is registered under (code page 932 in, code page 932 out): a
// proportional installed face becomes the fixed-pitch Windows name of its style, "@"
// kept for a vertical face.
inline std::string RegisteredFace(const std::string& face) {
    if (InstalledPitch(face) != platform::kVariablePitch) return face;
    std::string name = face.starts_with('@') ? "@" : "";
    name += platform::FindDbcs(face, "明朝") != std::string::npos ? "ＭＳ 明朝" : "ＭＳ ゴシック";
    return name;
}

// ---------------------------------------------------------------- geometry

struct Pt {
    double x = 0, y = 0;
};

// An affine map in the placements' order: scale, rotate, translate, then the enclosing
// placement's map.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;  // x' = a x + c y + e, y' = b x + d y + f

    Pt operator()(Pt p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }

    static Affine Placement(double tx, double ty, double rotation, double sx, double sy) {
        const double cs = std::cos(rotation), sn = std::sin(rotation);
        return {sx * cs, sx * sn, -sy * sn, sy * cs, tx, ty};
    }
    // First `this`, then `outer`.
    Affine Then(const Affine& outer) const {
        return {outer.a * a + outer.c * b,           outer.b * a + outer.d * b,
                outer.a * c + outer.c * d,           outer.b * c + outer.d * d,
                outer.a * e + outer.c * f + outer.e, outer.b * e + outer.d * f + outer.f};
    }
    // A length: the factor the diagonal (0,0)-(100,100) is stretched by.
    double Length(double l) const {
        const Pt t0 = (*this)({0, 0}), t1 = (*this)({100, 100});
        const double base = std::hypot(t1.x - t0.x, t1.y - t0.y);
        return base <= 0.00001 ? 0.0 : l * base / std::hypot(100.0, 100.0);
    }
    // An angle: turned by the direction of the image of that diagonal, less π/4.
    double Angle(double angle) const {
        const Pt t0 = (*this)({0, 0}), t1 = (*this)({100, 100});
        return angle + Direction(t1.x - t0.x, t1.y - t0.y) - kPi / 4;
    }
    static double Direction(double dx, double dy) {
        if (std::fabs(dx) > 0.00001) {
            const double a = std::atan2(dy, dx);
            return a < 0 ? a + 2 * kPi : a;
        }
        return dy > 0 ? kPi / 2 : dy == 0 ? 0.0 : 3 * kPi / 2;
    }
};

inline Json PointJson(Pt p) { return Json::array({p.x, p.y}); }
inline Pt PointOf(const Json& j) { return {j.at(0).get<double>(), j.at(1).get<double>()}; }

// The cubic Bézier sampling: the start point, n = trunc(|P0P1| + |P1P2| + |P2P3| + 1)
// points per segment, then the end point once more.
inline std::vector<Pt> SampleBezier(const std::vector<Pt>& control) {
    std::vector<Pt> out;
    if (control.empty()) return out;
    out.push_back(control[0]);
    for (std::size_t s = 0; s + 3 < control.size(); s += 3) {
        const Pt p0 = control[s], p1 = control[s + 1], p2 = control[s + 2], p3 = control[s + 3];
        const auto dist = [](Pt u, Pt v) { return std::hypot(v.x - u.x, v.y - u.y); };
        const int n = static_cast<int>(dist(p0, p1) + dist(p1, p2) + dist(p2, p3) + 1);
        for (int i = 1; i <= n; ++i) {
            const double t = static_cast<double>(i) / n, u = 1 - t;
            out.push_back(
                {u * u * u * p0.x + 3 * t * u * u * p1.x + 3 * t * t * u * p2.x + t * t * t * p3.x,
                 u * u * u * p0.y + 3 * t * u * u * p1.y + 3 * t * t * u * p2.y +
                     t * t * t * p3.y});
        }
    }
    if (control.size() >= 4) out.push_back(out.back());
    return out;
}

inline double Reduce2Pi(double a) {
    a -= 2 * kPi * std::trunc(a / (2 * kPi));
    return a < 0 ? a + 2 * kPi : a;
}

// ---------------------------------------------------------------- the model

// The array under `key`, or an empty one: a reference into `j`, so that pointers to its
// rows stay valid as long as `j` does.
inline const Json& ArrayOf(const Json& j, const char* key) {
    static const Json empty = Json::array();
    const auto it = j.find(key);
    return it != j.end() && it->is_array() ? *it : empty;
}

class ConversionModel {
  public:
    ConversionModel(const Json& source, int sourceKind) : src_(source) {
        for (const auto& e : ArrayOf(source, "elements"))
            byPosition_[e.at("position").get<int>()] = &e;
        for (const auto& p : ArrayOf(source, "placements"))
            placements_[p.at("position").get<int>()] = &p;
        for (const auto& d : ArrayOf(source, "definitions"))
            definitions_[d.at("position").get<int>()] = &d;
        extension_.push_back({{"tag", 1}, {"sourceKind", sourceKind}});
        for (const auto& layer : source.value("layers", Json::array())) {
            if (layer.value("skip", 0) != 0) continue;
            extension_.push_back({{"tag", 2},
                                  {"layer", layer.at("number")},
                                  {"name", layer.value("name", "")},
                                  {"rgb", Rgb(layer.value("colourCode", 0))},
                                  {"width", Width(layer.value("widthCode", 0))}});
        }
        for (const auto& e : ArrayOf(source, "elements")) {
            layerOverride_ = 0;
            status_ = 0;
            Convert(e, e.at("kind").get<int>(), Context{});
            if (status_ != 0)
                failures_.push_back({{"position", e.at("position")}, {"kind", e.at("kind")}});
        }
        for (int pen : pens_) extension_.push_back(PenEntry(pen));
        for (const auto& [id, face] : fonts_)
            extension_.push_back({{"tag", 4}, {"font", id}, {"face", ToUtf8(face)}});
    }

    const std::vector<Json>& Elements() const { return elements_; }
    const std::vector<Json>& Extension() const { return extension_; }
    // The top-level elements whose conversion ends with status 11 (a pen whose width or
    // colour cannot be looked up), in walk order: {"position", "kind"}.
    const std::vector<Json>& Failures() const { return failures_; }

    // The bulk registration's lines, code page 932.
    std::vector<std::string> RegistrationLines() const {
        std::vector<std::string> lines;
        lines.push_back("1.ペン番号による色・線幅バッファのまとめて登録\n");
        char buf[256];
        int n = 0;
        for (int pen : pens_) {
            const Json entry = PenEntry(pen);
            std::snprintf(buf, sizeof buf,
                          " (%2d) pen[%3d] r[%3d] g[%3d] b[%3d] width[%lf] rgbCD[%d] widthCD[%d]\n",
                          ++n, pen, entry["rgb"][0].get<int>(), entry["rgb"][1].get<int>(),
                          entry["rgb"][2].get<int>(), entry["width"].get<double>(),
                          entry["colourCode"].get<int>(), entry["widthCode"].get<int>());
            lines.push_back(buf);
        }
        lines.push_back("1.文字属性フォントIDによるTrueTypeフォント名バッファのまとめて登録\n");
        n = 0;
        for (const auto& [id, face] : fonts_) {
            std::snprintf(buf, sizeof buf, " (%2d) font[%3d] fontName[%s]\n", ++n, id,
                          face.c_str());
            lines.push_back(buf);
        }
        return lines;
    }

  private:
    struct Context {
        Affine transform;
        bool penOverride = false;
        int overridePen = 0;
    };

    // ---- tables of the source
    const Json* Find(const char* table, const char* key, int value) const {
        for (const auto& row : ArrayOf(src_, table))
            if (row.value(key, 0) == value) return &row;
        return nullptr;
    }
    Json Rgb(int colourCode) const {
        const Json* c = Find("colours", "code", colourCode);
        return c ? c->at("rgb") : Json::array({0, 0, 0});
    }
    // Widths are single-precision in the drawing and widened on their way.
    double Width(int widthCode) const {
        const Json* w = Find("widths", "code", widthCode);
        return w ? static_cast<double>(w->at("width").get<float>()) : 0.0;
    }
    Json PenEntry(int pen) const {
        const Json* p = Find("pens", "pen", pen);
        const int colourCode = p ? p->value("colourCode", 0) : 0;
        const int widthCode = p ? p->value("widthCode", 0) : 0;
        return {{"tag", 3},
                {"pen", pen},
                {"rgb", Rgb(colourCode)},
                {"width", Width(widthCode)},
                {"colourCode", colourCode},
                {"widthCode", widthCode}};
    }
    std::string FaceOf(int font) const {
        const Json* f = Find("fonts", "font", font);
        return f ? ToCp932(f->value("face", "")) : std::string();
    }

    // A pen is registered once its width and colour are found; otherwise the element's
    // status is 11 (`counts`: the element's status follows the registration).
    void RegisterPen(int pen, bool counts = true) {
        const Json* p = Find("pens", "pen", pen);
        const bool found = p != nullptr && Find("widths", "code", p->value("widthCode", 0)) &&
                           Find("colours", "code", p->value("colourCode", 0));
        if (!found) {
            if (counts) status_ = 11;
            return;
        }
        for (int known : pens_)
            if (known == pen) return;
        pens_.push_back(pen);
    }
    void RegisterFont(int font) {
        if (font < 100) return;
        for (const auto& f : fonts_)
            if (f.first == font) return;
        fonts_.emplace_back(font, RegisteredFace(FaceOf(font)));
    }

    // ---- the common fields of a record
    Json Head(const Json& e, int kind, const Context& c) const {
        Json j = {{"kind", kind},
                  {"layer", layerOverride_ > 0 ? layerOverride_ : e.value("layer", 1)},
                  {"second", e.value("second", 0)}};
        j["pen"] = Pen(e, c);
        return j;
    }
    int Pen(const Json& e, const Context& c) const {
        return c.penOverride ? c.overridePen : e.value("pen", 0);
    }
    // The line attribute as the server keeps it: the three values for a patterned type,
    // nothing for the solid ones.
    static void LineValues(const Json& e, Json& j) {
        const int type = e.value("lineType", 0);
        j["lineType"] = type;
        Json values = Json::array();
        if (type > 1) {
            const Json src = e.value("values", Json::array());
            for (std::size_t i = 0; i < 3; ++i)
                values.push_back(i < src.size() ? static_cast<double>(src[i].get<float>()) : 0.0);
            while (!values.empty() && values.back().get<double>() == 0.0)
                values.erase(values.size() - 1);
        }
        j["segments"] = type > 1 ? 3 : 0;
        j["values"] = values;
    }
    static Json Points(const Json& e, const Affine& t) {
        Json out = Json::array();
        for (const auto& p : e.value("points", Json::array()))
            out.push_back(PointJson(t(PointOf(p))));
        return out;
    }
    static Json Arrow(const Json& e) {
        const int type = e.value("arrowType", 0);
        return {{"arrowType", type},
                {"arrowEnds", e.value("arrowEnds", 0)},
                {"arrowSize", type == 0 ? 1.3 : e.value("arrowSize", 0.0)}};
    }
    // A hidden copy (negative kind) gets no attributes: only its geometry is compared.
    std::size_t Put(Json j) {
        if (j.value("kind", 0) < 0) {
            for (const char* k : {"pen", "lineType", "segments", "values", "paintNumber", "ppat",
                                  "arrowType", "arrowEnds", "arrowSize", "font", "height"})
                j.erase(k);
        }
        elements_.push_back(std::move(j));
        return elements_.size() - 1;
    }

    // The text attribute of kinds 7 and 8: the extension entry when the ratio or d7 or
    // d9 say something, then the font.
    void TextAttribute(const Json& e, std::size_t element, double ratio, int font) {
        const double d7 = e.value("d7", 0.0), d9 = e.value("d9", 0.0);
        if (ratio != 1.0 || d7 != 0.0 || d9 != 0.0)
            extension_.push_back({{"tag", 6},
                                  {"elementIndex", element},
                                  {"ratio", ratio},
                                  {"flag", d7 != 0.0 ? 1 : 0},
                                  {"d7", d7},
                                  {"d9", d9}});
        RegisterFont(font);
    }

    void Convert(const Json& e, int kind, const Context& c) {
        const Affine& t = c.transform;
        const int base = std::abs(kind);
        Json j = Head(e, kind, c);
        switch (base) {
            case 1:
                j["points"] = Points(e, t);
                Put(j);
                RegisterPen(Pen(e, c));
                return;
            case 2:
            case 3:
                LineValues(e, j);
                j["points"] = Points(e, t);
                break;
            case 4:
                LineValues(e, j);
                j["points"] = Points(e, t);
                j["radius"] = t.Length(e.value("radius", 0.0));
                break;
            case 5: {
                LineValues(e, j);
                j["points"] = Points(e, t);
                j["radius"] = t.Length(e.value("radius", 0.0));
                const int paint = e.value("paintNumber", 0);
                j["paintNumber"] = paint;
                j["ppat"] = e.value("ppat", 0);
                Put(j);
                const Json* pc = Find("paintColours", "paintNumber", paint);
                extension_.push_back({{"tag", 5},
                                      {"paintNumber", paint},
                                      {"rgb", pc ? pc->at("rgb") : Json::array({0, 0, 0})},
                                      {"width", 0.13},
                                      {"colourCode", paint},
                                      {"widthCode", 1}});
                RegisterPen(Pen(e, c));
                return;
            }
            case 6:
                LineValues(e, j);
                j["points"] = Points(e, t);
                j["paintNumber"] = e.value("paintNumber", 0);
                j["ppat"] = e.value("ppat", 0);
                break;
            case 7: {
                const int font = e.value("font", 0);
                double height = t.Length(e.value("height", 0.0));
                double ratio = e.value("ratio", 1.0);
                double angle = e.value("angle", 0.0);
                if (FaceOf(font).starts_with('@')) {
                    angle = 0.0;
                    height *= ratio;
                    ratio = 1.0 / ratio;
                }
                j["font"] = font;
                j["height"] = height;
                j["points"] = Points(e, t);
                j["angle"] = angle;
                j["text"] = e.value("text", "");
                const std::size_t at = Put(j);
                RegisterPen(Pen(e, c), false);
                TextAttribute(e, at, ratio, font);
                return;
            }
            case 8: {
                const int font = e.value("font", 0);
                j["font"] = font;
                j["height"] = e.value("height", 0.0);
                j["points"] = Points(e, t);
                j["size"] = t.Angle(e.value("size", 0.0));
                j["text"] = e.value("text", "");
                const std::size_t at = Put(j);
                RegisterPen(Pen(e, c), false);
                TextAttribute(e, at, e.value("ratio", 1.0), font);
                return;
            }
            case 9:
                j["mark"] = e.value("mark", 0);
                j["size"] = e.value("size", 0.0);
                j["points"] = Points(e, t);
                break;
            case 10:
            case 11:
            case 12:
                LineValues(e, j);
                j.update(Arrow(e));
                j["points"] = Points(e, t);
                break;
            case 17: {
                LineValues(e, j);
                Json items = Json::array();
                for (const auto& item : e.value("items", Json::array())) {
                    Json lengths = Json::array();
                    for (const auto& l : item.at("lengths"))
                        lengths.push_back(
                            static_cast<double>(static_cast<float>(t.Length(l.get<double>()))));
                    items.push_back({{"at", PointJson(t(PointOf(item.at("at"))))},
                                     {"angle", t.Angle(item.value("angle", 0.0))},
                                     {"lengths", lengths}});
                }
                j["items"] = items;
                break;
            }
            case 18:
                LineValues(e, j);
                j["points"] = Points(e, t);
                for (const char* k : {"r1", "r2", "offset1", "offset2", "a"})
                    j[k] = t.Length(e.value(k, 0.0));
                // The four further values are two more points.
                {
                    const Json f = e.value("further", Json::array({0.0, 0.0, 0.0, 0.0}));
                    const Pt p1 = t({f[0].get<double>(), f[1].get<double>()});
                    const Pt p2 = t({f[2].get<double>(), f[3].get<double>()});
                    j["further"] = Json::array({p1.x, p1.y, p2.x, p2.y});
                }
                break;
            case 19:
                j["font"] = -1;
                j["height"] = e.value("height", 0.0);
                j["fourth"] = e.value("fourth", 0);
                j["points"] = Points(e, t);
                j["angle"] = t.Angle(e.value("angle", 0.0));
                break;
            case 20:
                j.erase("pen");
                for (const char* k : {"ints1", "block", "word", "flags", "ints2", "gap", "file"})
                    if (e.contains(k)) j[k] = e[k];
                Put(j);
                return;
            case 21:
            case 22:
                Put({{"kind", kind}});
                return;
            case 25:
                Place(e.at("position").get<int>(), c);
                return;
            case 26:
                Ellipse(e, j, c);
                RegisterPen(Pen(e, c));
                return;
            case 27: {
                std::vector<Pt> control;
                for (const auto& p : e.value("points", Json::array()))
                    control.push_back(t(PointOf(p)));
                Json points = Json::array();
                for (const Pt& p : SampleBezier(control)) points.push_back(PointJson(p));
                Curve(e, j, c, {{"curve", "points"}, {"points", points}});
                RegisterPen(Pen(e, c));
                return;
            }
            default:  // groups, definition members at the top, kinds outside the walk
                return;
        }
        Put(j);
        RegisterPen(Pen(e, c));
    }

    // A curve's runs: polyline records with the element's line values and the pen as
    // their paint number.
    void Curve(const Json& e, Json& head, const Context& c, Json curve) {
        head["kind"] = 6;
        LineValues(e, head);
        head["paintNumber"] = Pen(e, c);
        head["ppat"] = 0;
        curve["record"] = head;
        Put(curve);
    }

    void Ellipse(const Json& e, Json& head, const Context& c) {
        const Affine& t = c.transform;
        const bool ccw = e.value("direction", 0) != 0;
        const double a1 = t.Angle(e.value("startAngle", 0.0));
        const double a2 = t.Angle(e.value("endAngle", 0.0));
        const double sweepRaw = ccw ? a2 - a1 : a1 - a2;
        const bool full = std::fabs(sweepRaw - 2 * kPi) < 1e-7;
        const double r1 = Reduce2Pi(a1), r2 = Reduce2Pi(a2);
        double sweep = 2 * kPi;
        if (!full) {
            sweep = ccw ? r2 - r1 : r1 - r2;
            if (sweep < 0) sweep += 2 * kPi;
        }
        const Pt centre = t(PointOf(e.at("points").at(0)));
        Curve(e, head, c,
              {{"curve", "ellipse"},
               {"centre", PointJson(centre)},
               {"rx", t.Length(e.value("rx", 0.0))},
               {"ry", t.Length(e.value("ry", 0.0))},
               {"rotation", t.Angle(e.value("rotation", 0.0))},
               {"start", r1},
               {"sweep", ccw ? sweep : -sweep}});
    }

    void Place(int position, const Context& outer) {
        const auto p = placements_.find(position);
        if (p == placements_.end()) return;
        const Json& placement = *p->second;
        const auto d = definitions_.find(placement.at("definition").get<int>());
        layerOverride_ = placement.value("layerOverride", 0);
        Context inner;
        inner.penOverride = placement.value("penFlag", 1) == 0;
        inner.overridePen = placement.value("overridePen", 0);
        const Json translate = placement.value("translate", Json::array({0.0, 0.0}));
        const Json scale = placement.value("scale", Json::array({1.0, 1.0}));
        inner.transform = Affine::Placement(translate[0].get<double>(), translate[1].get<double>(),
                                            placement.value("rotation", 0.0),
                                            scale[0].get<double>(), scale[1].get<double>())
                              .Then(outer.transform);
        if (d == definitions_.end()) return;
        for (const auto& m : d->second->value("members", Json::array())) {
            const auto member = byPosition_.find(m.get<int>());
            if (member == byPosition_.end()) continue;
            status_ = 0;  // the placement's status is its last member's
            Convert(*member->second, member->second->at("kind").get<int>() - 50, inner);
        }
    }

    const Json& src_;
    std::map<int, const Json*> byPosition_, placements_, definitions_;
    int layerOverride_ = 0;
    int status_ = 0;  // of the element being converted (of a placement: its last member's)
    std::vector<Json> elements_;
    std::vector<Json> extension_;
    std::vector<Json> failures_;
    std::vector<int> pens_;
    std::vector<std::pair<int, std::string>> fonts_;  // code page 932 faces
};

}  // namespace e2e
