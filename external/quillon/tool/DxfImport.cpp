// dxflib calls back entity by entity; the callbacks only collect (model space, blocks,
// layers, linetypes), because positions, definitions and placements can be laid out
// only once every block is known. The layout then emits blocks before what places
// them (nested ones first), so that every definition a placement names exists, and
// leaves out a block that would contain itself.
#include "DxfImport.h"

#include <dxflib/dl_creationadapter.h>
#include <dxflib/dl_dxf.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <set>
#include <sstream>

#include "AciColours.h"
#include "Drawing.h"
#include "DxfCheck.h"
#include "DxfCurves.h"
#include "DxfSpline.h"
#include "DxfText.h"
#include "platform/Cp932.h"

namespace quillon_tool {
namespace {

// The converter reads an element's points into a 64 KiB buffer: longer polylines and
// curves are cut into runs that share their joint points.
constexpr std::size_t kMaxRunPoints = 4000;
constexpr std::size_t kMaxPolylinePoints = 1000000;
constexpr int kMaxLayers = 255;
constexpr int kMaxNesting = 63;         // the form refuses placements nested deeper than 64
constexpr int kFont = 100;              // the converter registers font ids from 100 on
constexpr double kDefaultWidth = 0.25;  // mm, DXF's default lineweight

std::string UpperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

Json Pt(Point2 p) { return PointJson(p.x, p.y); }

// What the callbacks collect: runs of ready elements, placements of blocks, and solid
// hatches with holes (laid out later because their elements refer to each other).
struct Item {
    enum Type { kElements, kInsert, kArea } type = kElements;
    std::vector<Json> elements;  // kElements: the elements; kArea: [0] the area
    std::string block;           // kInsert: upper-case block name
    int layer = 1;
    double tx = 0, ty = 0, rotation = 0, sx = 1, sy = 1;
    std::vector<Json> boundary;  // kArea
    std::vector<std::vector<Json>> holes;
};

struct Block {
    std::string name;  // as in the file (UTF-8)
    int flags = 0;
    Point2 base;
    std::vector<Item> items;
};

struct LayerInfo {
    int number = 1;
    Rgb rgb;
    double width = kDefaultWidth;
    std::string linetype;  // upper case
};

class Collector : public DL_CreationAdapter {
  public:
    explicit Collector(DxfImportReport& report) : report_(report) {}

    // --- header and tables ---
    void setVariableString(const std::string& key, const std::string& value, int) override {
        if (key == "$ACADVER") acadVersion_ = value;
        if (key == "$DWGCODEPAGE") codePage_ = value;
        encoding_ = EncodingOf(acadVersion_, codePage_);
    }
    void setVariableInt(const std::string& key, int value, int) override {
        if (key == "$INSUNITS") insUnits_ = value;
    }
    void setVariableDouble(const std::string& key, double value, int) override {
        if (key == "$LTSCALE" && std::isfinite(value) && value > 0) ltScale_ = value;
    }
    void addLinetypeDash(double length) override { pendingDashes_.push_back(length); }
    void addLinetype(const DL_LinetypeData& data) override {
        linetypes_[UpperAscii(data.name)] = std::move(pendingDashes_);
        pendingDashes_.clear();
    }
    void addLayer(const DL_LayerData& data) override {
        LayerInfo info;
        info.rgb = attributes.getColor24() >= 0 ? TrueColourToRgb(attributes.getColor24())
                                                : AciToRgb(attributes.getColor());
        if (attributes.getWidth() >= 0) info.width = attributes.getWidth() / 100.0;
        info.linetype = UpperAscii(attributes.getLinetype());
        Layer(data.name, &info);
    }
    void addBlock(const DL_BlockData& data) override {
        Flush();
        auto& block = blocks_[UpperAscii(data.name)];
        block.name = data.name;
        block.flags = data.flags;
        block.base = {data.bpx, data.bpy};
        block.items.clear();
        current_ = &block.items;
    }
    void endBlock() override {
        Flush();
        current_ = &model_;
    }

    // --- entities ---
    void addPoint(const DL_PointData& d) override {
        if (!Begin("POINT")) return;
        Json e = Element(1, false);
        e["points"] = Json::array({PointJson(d.x, d.y)});
        Add(std::move(e));
    }
    void addLine(const DL_LineData& d) override {
        if (!Begin("LINE")) return;
        Json e = Element(2, true);
        e["points"] = Json::array({PointJson(d.x1, d.y1), PointJson(d.x2, d.y2)});
        Add(std::move(e));
    }
    void addArc(const DL_ArcData& d) override {
        if (!Begin("ARC", true)) return;
        const double a1 = d.angle1 * kPi / 180, a2 = d.angle2 * kPi / 180;
        double sweep = std::fmod(a2 - a1, 2 * kPi);
        if (sweep <= 0) sweep += 2 * kPi;
        const Point2 c{d.cx, d.cy};
        Json e = Element(3, true);
        e["points"] =
            Json::array({Pt(Polar(c, d.radius, a1)), Pt(Polar(c, d.radius, a1 + sweep / 2)),
                         Pt(Polar(c, d.radius, a1 + sweep))});
        Add(std::move(e));
    }
    void addCircle(const DL_CircleData& d) override {
        if (!Begin("CIRCLE", true)) return;
        Json e = Element(4, true);
        e["points"] = Json::array({PointJson(d.cx, d.cy)});
        e["radius"] = DoubleJson(d.radius);
        Add(std::move(e));
    }
    void addEllipse(const DL_EllipseData& d) override {
        if (!Begin("ELLIPSE")) return;
        Json e = Element(26, true);
        double a1 = d.angle1, a2 = d.angle2;
        if (!(a2 > a1)) a2 += 2 * kPi;
        e["points"] = Json::array({PointJson(d.cx, d.cy)});
        const double rx = std::hypot(d.mx, d.my);
        e["rx"] = DoubleJson(rx);
        e["ry"] = DoubleJson(rx * d.ratio);
        e["startAngle"] = DoubleJson(a1);
        e["endAngle"] = DoubleJson(a2);
        e["rotation"] = DoubleJson(std::atan2(d.my, d.mx));
        e["direction"] = 1;
        Add(std::move(e));
    }
    void addPolyline(const DL_PolylineData& d) override {
        // Flags 8, 16, 64: 3D polyline, polygon mesh, polyface mesh.
        if (!Begin("POLYLINE", true)) return;
        if (d.flags & (8 | 16 | 64)) {
            LeftOut("POLYLINE (3D or mesh)");
            return;
        }
        pending_ = Pending::kPolyline;
        pendingAttributes_ = attributes;
        polyClosed_ = (d.flags & 1) != 0;
        vertices_.clear();
        bulges_.clear();
    }
    void addVertex(const DL_VertexData& d) override {
        if (pending_ != Pending::kPolyline) return;
        if (vertices_.size() >= kMaxSplineControlPoints * 64) return;
        vertices_.push_back({d.x, d.y});
        bulges_.push_back(std::isfinite(d.bulge) ? d.bulge : 0.0);
    }
    void endSequence() override { Flush(); }
    void addText(const DL_TextData& d) override {
        if (!Begin("TEXT", true)) return;
        AddText({d.ipx, d.ipy}, d.height, d.xScaleFactor, d.angle, Decode(d.text));
    }
    void addMTextChunk(const std::string& text) override { mtextChunks_ += text; }
    void addMText(const DL_MTextData& d) override {
        std::string content = std::move(mtextChunks_);
        mtextChunks_.clear();
        if (!Begin("MTEXT", true)) return;
        content += d.text;
        const std::vector<std::string> lines = MTextLines(Decode(content));
        const double h = d.height > 0 ? d.height : 2.5;
        const double step = h * 5.0 / 3.0 * (d.lineSpacingFactor > 0 ? d.lineSpacingFactor : 1.0);
        const auto count = static_cast<double>(lines.size());
        // Baseline of the first line below the attachment point: top, middle or bottom.
        const int row = (d.attachmentPoint - 1) / 3;
        double first = -h;
        if (row == 1) first = ((count - 1) * step) / 2.0 - h / 2.0;
        if (row == 2) first = (count - 1) * step;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const double dy = first - static_cast<double>(i) * step;
            const Point2 at{d.ipx - dy * std::sin(d.angle), d.ipy + dy * std::cos(d.angle)};
            AddText(at, h, 1.0, d.angle, lines[i]);
        }
    }
    void addSpline(const DL_SplineData& d) override {
        if (!Begin("SPLINE")) return;
        pending_ = Pending::kSpline;
        pendingAttributes_ = attributes;
        spline_ = SplineInput{};
        spline_.degree = static_cast<int>(d.degree);
        splineHasWeights_ = false;
        splineFitOnly_ = d.nControl == 0 && d.nFit > 0;
    }
    void addControlPoint(const DL_ControlPointData& d) override {
        if (pending_ != Pending::kSpline || spline_.control.size() > kMaxSplineControlPoints)
            return;
        spline_.control.push_back({d.x, d.y});
        spline_.weights.push_back(d.w);
        if (d.w != 1.0) splineHasWeights_ = true;
    }
    void addKnot(const DL_KnotData& d) override {
        if (pending_ != Pending::kSpline || spline_.knots.size() > kMaxSplineControlPoints * 2)
            return;
        spline_.knots.push_back(d.k);
    }
    void addInsert(const DL_InsertData& d) override {
        if (!Begin("INSERT", true)) return;
        const int cols = std::clamp(d.cols, 1, 1000), rows = std::clamp(d.rows, 1, 1000);
        if (static_cast<long>(cols) * rows > 10000) {
            LeftOut("INSERT (more than 10000 cells)");
            return;
        }
        const double rot = d.angle * kPi / 180;
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) {
                if (!Room()) return;
                ++elementCount_;
                Item item;
                item.type = Item::kInsert;
                item.block = UpperAscii(d.name);
                item.layer = LayerNumber();
                const double ox = c * d.colSp, oy = r * d.rowSp;
                item.tx = d.ipx + ox * std::cos(rot) - oy * std::sin(rot);
                item.ty = d.ipy + ox * std::sin(rot) + oy * std::cos(rot);
                item.rotation = rot;
                item.sx = d.sx;
                item.sy = d.sy;
                current_->push_back(std::move(item));
            }
        }
    }
    void addHatch(const DL_HatchData& d) override {
        if (!Begin("HATCH", true)) return;
        if (!d.solid) {
            LeftOut("HATCH (pattern fill)");
            return;
        }
        pending_ = Pending::kHatch;
        pendingAttributes_ = attributes;
        loops_.clear();
    }
    void addHatchLoop(const DL_HatchLoopData&) override {
        if (pending_ == Pending::kHatch) loops_.emplace_back();
    }
    void addHatchEdge(const DL_HatchEdgeData& d) override {
        if (pending_ != Pending::kHatch || loops_.empty()) return;
        AddEdge(d, loops_.back());
    }

    // Entities that are left out, by kind.
    void addXLine(const DL_XLineData&) override { Other("XLINE"); }
    void addRay(const DL_RayData&) override { Other("RAY"); }
    void addTrace(const DL_TraceData&) override { Other("TRACE"); }
    void add3dFace(const DL_3dFaceData&) override { Other("3DFACE"); }
    void addSolid(const DL_SolidData&) override { Other("SOLID"); }
    void addArcAlignedText(const DL_ArcAlignedTextData&) override { Other("ARCALIGNEDTEXT"); }
    void addAttribute(const DL_AttributeData&) override { Other("ATTRIB"); }
    void addDimAlign(const DL_DimensionData&, const DL_DimAlignedData&) override {
        Other("DIMENSION");
    }
    void addDimLinear(const DL_DimensionData&, const DL_DimLinearData&) override {
        Other("DIMENSION");
    }
    void addDimRadial(const DL_DimensionData&, const DL_DimRadialData&) override {
        Other("DIMENSION");
    }
    void addDimDiametric(const DL_DimensionData&, const DL_DimDiametricData&) override {
        Other("DIMENSION");
    }
    void addDimAngular(const DL_DimensionData&, const DL_DimAngular2LData&) override {
        Other("DIMENSION");
    }
    void addDimAngular3P(const DL_DimensionData&, const DL_DimAngular3PData&) override {
        Other("DIMENSION");
    }
    void addDimOrdinate(const DL_DimensionData&, const DL_DimOrdinateData&) override {
        Other("DIMENSION");
    }
    void addLeader(const DL_LeaderData&) override { Other("LEADER"); }
    void addImage(const DL_ImageData&) override { Other("IMAGE"); }

    // Completes the last entity; called once the reader is done.
    void End() { Flush(); }
    // The tables of the source: layers, colours, widths, pens, paint colours, the font,
    // and the drawing units in the head texts.
    void Tables(Json& source);

  private:
    enum class Pending { kNone, kPolyline, kSpline, kHatch };

    std::string Decode(const std::string& raw) const { return DecodeDxfString(raw, encoding_); }

    void LeftOut(const std::string& what) { ++report_.leftOut[what]; }
    void Other(const char* kind) {
        Flush();
        LeftOut(kind);
    }

    // Completes the entity in progress and checks the new one: entities in paper space
    // and (with `planar`) those whose extrusion is not +Z are left out.
    bool Begin(const char* kind, bool planar = false) {
        Flush();
        if (attributes.isInPaperSpace()) {
            LeftOut(std::string(kind) + " (paper space)");
            return false;
        }
        if (planar) {
            const double* n = getExtrusion()->getDirection();
            if (std::fabs(n[0]) > 1e-9 || std::fabs(n[1]) > 1e-9 || n[2] <= 0) {
                LeftOut(std::string(kind) + " (3D: not in the XY plane)");
                return false;
            }
        }
        return true;
    }

    // The layer number of `name`, made on first use (a DXF may use a layer its table
    // lacks); `info` gives the table's values.
    int Layer(const std::string& name, const LayerInfo* info) {
        const std::string key = UpperAscii(name);
        if (auto it = layers_.find(key); it != layers_.end()) return it->second.number;
        LayerInfo layer = info ? *info : LayerInfo{};
        if (!info) layer.rgb = AciToRgb(7);
        if (static_cast<int>(layerOrder_.size()) >= kMaxLayers) {
            LeftOut("LAYER (beyond 255: its entities go to layer 255)");
            layer.number = kMaxLayers;
        } else {
            layer.number = static_cast<int>(layerOrder_.size()) + 1;
            layerOrder_.push_back(key);
            layerNames_.push_back(Decode(name));
        }
        layers_[key] = layer;
        return layer.number;
    }
    int LayerNumber() { return Layer(attributes.getLayer(), nullptr); }
    const LayerInfo& LayerOf(const DL_Attributes& a) {
        Layer(a.getLayer(), nullptr);
        return layers_[UpperAscii(a.getLayer())];
    }

    // A pen for the colour and width of the entity's attributes.
    int PenOf(const DL_Attributes& a) {
        const LayerInfo& layer = LayerOf(a);
        Rgb rgb = layer.rgb;
        if (a.getColor24() >= 0) {
            rgb = TrueColourToRgb(a.getColor24());
        } else if (a.getColor() != 256 && a.getColor() != 0) {
            rgb = AciToRgb(a.getColor());
        }
        double width = layer.width;
        if (a.getWidth() >= 0) width = a.getWidth() / 100.0;
        if (a.getWidth() == -3 || a.getWidth() == -2) width = kDefaultWidth;
        const int colour = Code(colours_, {rgb.r, rgb.g, rgb.b});
        const int widthCode = Code(widths_, {static_cast<int>(std::lround(width * 100))});
        return Code(pens_, {colour, widthCode});
    }
    static int Code(std::map<std::vector<int>, int>& table, const std::vector<int>& key) {
        const auto size = static_cast<int>(table.size());
        return table.emplace(key, size + 1).first->second;
    }

    // The element's kind, layer and attributes: pen for every kind, and for line kinds
    // the line type with its dash pattern.
    Json Element(int kind, bool lineKind) { return ElementWith(kind, lineKind, attributes); }
    Json ElementWith(int kind, bool lineKind, const DL_Attributes& a) {
        Json e;
        e["kind"] = kind;
        e["layer"] = Layer(a.getLayer(), nullptr);
        e["pen"] = PenOf(a);
        if (!lineKind) return e;
        std::string name = UpperAscii(a.getLinetype());
        if (name == "BYLAYER") name = LayerOf(a).linetype;
        const auto it = linetypes_.find(name);
        std::vector<double> pairs;
        if (it != linetypes_.end()) pairs = DashPairs(it->second, ltScale_ * a.getLinetypeScale());
        if (pairs.empty()) {
            e["lineType"] = 1;
            return e;
        }
        Json values = Json::array();
        for (double v : pairs) values.push_back(FloatJson(static_cast<float>(v)));
        e["lineType"] = pairs.size() == 8 ? 5 : 6;
        e["segments"] = pairs.size() == 8 ? 4 : static_cast<int>(pairs.size());
        e["values"] = std::move(values);
        if (pairs.size() > 8) e["floatCount"] = static_cast<int>(pairs.size());
        return e;
    }

    // DXF dashes (positive dash, negative gap, 0 dot) as dash-gap pairs, starting with a
    // dash; empty for a solid line or one with more than 127 pairs.
    std::vector<double> DashPairs(const std::vector<double>& dashes, double scale) {
        std::vector<std::pair<bool, double>> runs;  // (is dash, length)
        for (double d : dashes) {
            if (!std::isfinite(d)) return {};
            const bool dash = d >= 0;
            if (!runs.empty() && runs.back().first == dash) {
                runs.back().second += std::fabs(d);
            } else {
                runs.emplace_back(dash, std::fabs(d));
            }
        }
        if (runs.size() < 2) return {};
        if (!runs.front().first) {  // a pattern that starts with its gap
            runs.push_back(runs.front());
            runs.erase(runs.begin());
            if (runs.size() >= 2 && !runs[runs.size() - 2].first) {
                runs[runs.size() - 2].second += runs.back().second;
                runs.pop_back();
            }
        }
        std::vector<double> pairs;
        for (std::size_t i = 0; i < runs.size(); i += 2) {
            pairs.push_back(runs[i].second * scale);
            pairs.push_back(i + 1 < runs.size() ? runs[i + 1].second * scale : 0.0);
        }
        if (pairs.size() > 254) {
            LeftOut("LTYPE dashes (more than 127 pairs: drawn solid)");
            return {};
        }
        return pairs;
    }

    // False once the drawing holds as many elements as a drawing can: the import then
    // fails instead of growing without bound on a hostile file.
    bool Room() {
        if (elementCount_ < kMaxSourcePosition) return true;
        full_ = true;
        return false;
    }

    void Add(Json element) {
        if (!Room()) return;
        ++elementCount_;
        if (!current_->empty() && current_->back().type == Item::kElements) {
            current_->back().elements.push_back(std::move(element));
            return;
        }
        Item item;
        item.elements.push_back(std::move(element));
        current_->push_back(std::move(item));
    }

    // Elements of `kind` over `points` in runs of at most kMaxRunPoints that share their
    // joints; `step` keeps Bézier runs whole segments (start + 3 per segment).
    void AddRuns(Json base, const std::vector<Point2>& points, std::size_t step) {
        const std::size_t perRun = (kMaxRunPoints - 1) / step * step;
        for (std::size_t from = 0; from + 1 < points.size(); from += perRun) {
            const std::size_t to = std::min(points.size() - 1, from + perRun);
            Json e = base;
            Json pts = Json::array();
            for (std::size_t i = from; i <= to; ++i) pts.push_back(Pt(points[i]));
            e["points"] = std::move(pts);
            Add(std::move(e));
        }
    }

    void AddText(Point2 at, double height, double ratio, double angle, const std::string& utf8) {
        std::size_t replaced = 0;
        std::string text = ToCp932Replacing(utf8, replaced);
        report_.replacedCharacters += replaced;
        constexpr std::size_t kMaxText = 32767;
        if (text.size() > kMaxText) {
            text = platform::CutToBytes(text, kMaxText);
            LeftOut("TEXT (the part beyond 32767 bytes)");
        }
        if (text.empty()) return;
        if (!(height > 0) || !std::isfinite(height)) height = 2.5;
        if (!(ratio > 0) || !std::isfinite(ratio)) ratio = 1.0;
        // The second point ends the baseline: a full-width character (two bytes) is as
        // wide as the text is high.
        const double length = static_cast<double>(text.size()) * height / 2.0 * ratio;
        Json e = Element(7, false);
        e["font"] = kFont;
        e["height"] = DoubleJson(height);
        e["ratio"] = DoubleJson(ratio);
        e["points"] = Json::array({Pt(at), Pt(Polar(at, length, angle))});
        e["angle"] = DoubleJson(angle);
        PutText(e, "text", text);
        Add(std::move(e));
    }

    void AddEdge(const DL_HatchEdgeData& d, Loop& loop) {
        Piece p;
        switch (d.type) {
            case 0: {  // a polyline loop: x, y and bulge per vertex, closed
                const auto& v = d.vertices;
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (v[i].size() < 2 || v[(i + 1) % v.size()].size() < 2) continue;
                    const Point2 a{v[i][0], v[i][1]};
                    const Point2 b{v[(i + 1) % v.size()][0], v[(i + 1) % v.size()][1]};
                    const double bulge = v[i].size() > 2 && std::isfinite(v[i][2]) ? v[i][2] : 0;
                    if (Dist(a, b) == 0) continue;
                    if (std::fabs(bulge) > 1e-12) {
                        loop.push_back(BulgeArc(a, b, bulge));
                    } else {
                        Piece line;
                        line.a = a;
                        line.b = b;
                        loop.push_back(line);
                    }
                }
                return;
            }
            case 1:
                p.a = {d.x1, d.y1};
                p.b = {d.x2, d.y2};
                break;
            case 2: {
                // A clockwise edge stores its angles measured clockwise.
                const double s = d.ccw ? d.angle1 : -d.angle1, e = d.ccw ? d.angle2 : -d.angle2;
                double sweep = d.ccw ? e - s : s - e;
                if (FullTurn(sweep) || sweep > 2 * kPi) {
                    sweep = 2 * kPi;
                } else {
                    sweep = std::fmod(sweep, 2 * kPi);
                    if (sweep <= 0) sweep += 2 * kPi;
                }
                p.type = Piece::kArc;
                p.c = {d.cx, d.cy};
                p.r = d.radius;
                p.start = s;
                p.sweep = d.ccw ? sweep : -sweep;
                p.a = Polar(p.c, p.r, s);
                p.b = Polar(p.c, p.r, s + p.sweep);
                break;
            }
            case 3: {
                p.type = Piece::kEllipse;
                p.c = {d.cx, d.cy};
                p.major = {d.mx, d.my};
                p.ratio = d.ratio;
                p.p0 = d.ccw ? d.angle1 : -d.angle1;
                p.p1 = d.ccw ? d.angle2 : -d.angle2;
                if (d.ccw && !(p.p1 > p.p0)) p.p1 += 2 * kPi;
                if (!d.ccw && !(p.p1 < p.p0)) p.p1 -= 2 * kPi;
                break;
            }
            case 4: {
                SplineInput in;
                in.degree = static_cast<int>(std::min(d.degree, 1000u));
                in.knots = d.knots;
                for (const auto& c : d.controlPoints) {
                    if (c.size() >= 2) in.control.push_back({c[0], c[1]});
                }
                if (d.rational) in.weights = d.weights;
                std::string why;
                p.type = Piece::kBezier;
                if (SplineToBezier(in, p.bezier, why) == SplineResult::kRefused) {
                    LeftOut("HATCH edge (spline: " + why + ")");
                    return;
                }
                break;
            }
            default:
                LeftOut("HATCH edge (unknown type)");
                return;
        }
        loop.push_back(p);
    }

    void Flush() {
        const Pending what = pending_;
        pending_ = Pending::kNone;
        if (what == Pending::kPolyline) FinishPolyline();
        if (what == Pending::kSpline) FinishSpline();
        if (what == Pending::kHatch) FinishHatch();
    }

    void FinishPolyline() {
        const std::size_t n = vertices_.size();
        if (n < 2) {
            LeftOut("POLYLINE (fewer than two vertices)");
            return;
        }
        std::vector<Point2> points{vertices_[0]};
        const std::size_t segments = polyClosed_ ? n : n - 1;
        bool capped = false;
        for (std::size_t i = 0; i < segments; ++i) {
            const Point2 a = vertices_[i], b = vertices_[(i + 1) % n];
            if (std::fabs(bulges_[i]) > 1e-12 && Dist(a, b) > 0) {
                SamplePiece(BulgeArc(a, b, bulges_[i]), points, capped);
            } else {
                points.push_back(b);
            }
            if (points.size() > kMaxPolylinePoints) {
                LeftOut("POLYLINE (more than 1000000 points once sampled)");
                return;
            }
        }
        if (capped) ++report_.coarseBulges;
        Json e = ElementWith(6, true, pendingAttributes_);
        e["paintNumber"] = 0;
        e["ppat"] = 0;
        AddRuns(std::move(e), points, 1);
    }

    void FinishSpline() {
        if (splineFitOnly_) {
            LeftOut("SPLINE (fit points only)");
            return;
        }
        if (!splineHasWeights_) spline_.weights.clear();
        std::vector<Point2> points;
        std::string why;
        const SplineResult r = SplineToBezier(spline_, points, why);
        if (r == SplineResult::kRefused) {
            LeftOut("SPLINE (" + why + ")");
            return;
        }
        if (r == SplineResult::kApproximated) ++report_.approximatedSplines;
        AddRuns(ElementWith(27, true, pendingAttributes_), points, 3);
    }

    // The loop as a closed polygon for containment tests.
    std::vector<Point2> Outline(const Loop& loop) {
        std::vector<Point2> poly;
        bool capped = false;
        for (const Piece& p : loop) {
            // A clockwise edge may be stored from the other end: each piece is joined
            // by whichever of its ends meets the outline so far.
            std::vector<Point2> piece{PieceStart(p)};
            SamplePiece(p, piece, capped);
            if (!poly.empty() &&
                Dist(piece.back(), poly.back()) < Dist(piece.front(), poly.back())) {
                std::reverse(piece.begin(), piece.end());
            }
            poly.insert(poly.end(), piece.begin(), piece.end());
        }
        return poly;
    }

    void FinishHatch();
    Json FillItems(const Loop& loop);
    std::vector<Json> BoundaryElements(const Loop& loop);

    DxfImportReport& report_;
    std::string acadVersion_, codePage_;
    DxfEncoding encoding_ = DxfEncoding::kCp1252;
    int insUnits_ = 0;
    double ltScale_ = 1.0;
    std::vector<double> pendingDashes_;
    std::map<std::string, std::vector<double>> linetypes_;
    std::map<std::string, LayerInfo> layers_;
    std::vector<std::string> layerOrder_, layerNames_;
    std::map<std::vector<int>, int> colours_, widths_, pens_, paints_;

    std::vector<Item> model_;
    std::map<std::string, Block> blocks_;
    std::vector<Item>* current_ = &model_;

    Pending pending_ = Pending::kNone;
    DL_Attributes pendingAttributes_;
    bool polyClosed_ = false;
    std::vector<Point2> vertices_;
    std::vector<double> bulges_;
    SplineInput spline_;
    bool splineHasWeights_ = false, splineFitOnly_ = false;
    std::vector<Loop> loops_;
    std::string mtextChunks_;
    std::size_t elementCount_ = 0;
    bool full_ = false;

    friend class Layout;
    friend bool quillon_tool::DxfToSource(std::string_view, Json&, DxfImportReport&, std::string&);
};

Json Collector::FillItems(const Loop& loop) {
    Json items = Json::array({Json{{"code", 0}, {"values", Json::array()}}});
    const auto item = [&](int code, std::initializer_list<double> v) {
        Json values = Json::array();
        for (double x : v) values.push_back(DoubleJson(x));
        items.push_back(Json{{"code", code}, {"values", std::move(values)}});
    };
    if (loop.size() == 1 && loop[0].type == Piece::kArc && FullTurn(loop[0].sweep)) {
        item(4, {loop[0].c.x, loop[0].c.y, loop[0].r});
        return items;
    }
    bool capped = false;
    for (const Piece& p : loop) {
        if (p.type == Piece::kLine) {
            item(2, {p.a.x, p.a.y, p.b.x, p.b.y});
        } else if (p.type == Piece::kArc && !FullTurn(p.sweep)) {
            const Point2 m = Polar(p.c, p.r, p.start + p.sweep / 2);
            item(3, {p.a.x, p.a.y, m.x, m.y, p.b.x, p.b.y});
        } else {
            std::vector<Point2> pts{PieceStart(p)};
            SamplePiece(p, pts, capped);
            for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
                item(2, {pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y});
            }
        }
    }
    return items;
}

std::vector<Json> Collector::BoundaryElements(const Loop& loop) {
    std::vector<Json> out;
    for (const Piece& p : loop) {
        Json e;
        switch (p.type) {
            case Piece::kLine:
                e = ElementWith(-2, false, pendingAttributes_);
                e["lineType"] = 1;
                e["points"] = Json::array({Pt(p.a), Pt(p.b)});
                break;
            case Piece::kArc:
                if (FullTurn(p.sweep)) {
                    e = ElementWith(-26, false, pendingAttributes_);
                    e["lineType"] = 1;
                    e["points"] = Json::array({Pt(p.c)});
                    e["rx"] = DoubleJson(p.r);
                    e["ry"] = DoubleJson(p.r);
                    e["startAngle"] = 0;
                    e["endAngle"] = DoubleJson(2 * kPi);
                    e["rotation"] = 0;
                    e["direction"] = 1;
                } else {
                    e = ElementWith(-3, false, pendingAttributes_);
                    e["lineType"] = 1;
                    e["points"] =
                        Json::array({Pt(p.a), Pt(Polar(p.c, p.r, p.start + p.sweep / 2)), Pt(p.b)});
                }
                break;
            case Piece::kEllipse: {
                e = ElementWith(-26, false, pendingAttributes_);
                e["lineType"] = 1;
                e["points"] = Json::array({Pt(p.c)});
                const double rx = std::hypot(p.major.x, p.major.y);
                e["rx"] = DoubleJson(rx);
                e["ry"] = DoubleJson(rx * p.ratio);
                e["startAngle"] = DoubleJson(std::min(p.p0, p.p1));
                e["endAngle"] = DoubleJson(std::max(p.p0, p.p1));
                e["rotation"] = DoubleJson(std::atan2(p.major.y, p.major.x));
                e["direction"] = 1;
                break;
            }
            case Piece::kBezier: {
                e = ElementWith(-27, false, pendingAttributes_);
                e["lineType"] = 1;
                Json pts = Json::array();
                for (const Point2& q : p.bezier) pts.push_back(Pt(q));
                e["points"] = std::move(pts);
                break;
            }
        }
        out.push_back(std::move(e));
    }
    return out;
}

void Collector::FinishHatch() {
    std::vector<Loop> loops;
    for (Loop& l : loops_) {
        if (!l.empty()) loops.push_back(std::move(l));
    }
    loops_.clear();
    if (loops.empty()) {
        LeftOut("HATCH (no boundary)");
        return;
    }
    // Depth of each loop = how many other loops hold it: even depths are areas, odd
    // ones holes of the innermost even loop that holds them.
    std::vector<std::vector<Point2>> outlines;
    for (const Loop& l : loops) outlines.push_back(Outline(l));
    const std::size_t n = loops.size();
    std::vector<int> depth(n, 0);
    std::vector<std::size_t> parent(n, n);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            if (i == j || outlines[j].size() < 3 || outlines[i].empty()) continue;
            if (Inside(outlines[i][0], outlines[j])) {
                ++depth[i];
                if (parent[i] == n || depth[j] > depth[parent[i]] ||
                    Inside(outlines[j][0], outlines[parent[i]])) {
                    parent[i] = j;
                }
            }
        }
    }
    const Rgb rgb =
        pendingAttributes_.getColor24() >= 0
            ? TrueColourToRgb(pendingAttributes_.getColor24())
            : (pendingAttributes_.getColor() == 256 || pendingAttributes_.getColor() == 0
                   ? LayerOf(pendingAttributes_).rgb
                   : AciToRgb(pendingAttributes_.getColor()));
    const int paint = Code(paints_, {rgb.r, rgb.g, rgb.b});
    for (std::size_t i = 0; i < n; ++i) {
        if (depth[i] % 2 != 0) continue;
        std::vector<std::size_t> holes;
        for (std::size_t j = 0; j < n; ++j) {
            if (depth[j] == depth[i] + 1 && parent[j] == i) holes.push_back(j);
        }
        Json e = ElementWith(holes.empty() ? 16 : 29, false, pendingAttributes_);
        e["lineType"] = 1;
        e["paintNumber"] = paint;
        e["ppat"] = 1;
        if (holes.empty()) {
            e["items"] = FillItems(loops[i]);
            Add(std::move(e));
            continue;
        }
        e["items"] = Json::array({Json{{"code", -4}, {"values", Json::array()}}});
        if (!Room()) return;
        ++elementCount_;
        Item item;
        item.type = Item::kArea;
        item.elements.push_back(std::move(e));
        item.boundary = BoundaryElements(loops[i]);
        for (std::size_t h : holes) item.holes.push_back(BoundaryElements(loops[h]));
        current_->push_back(std::move(item));
    }
}

// Positions, blocks as definitions, placements and paint areas.
class Layout {
  public:
    Layout(Collector& c, Json& source) : c_(c), source_(source) {}

    bool Run(std::string& why) {
        for (Item& item : c_.model_) Prepare(item, 0);
        for (Item& item : c_.model_) {
            if (!Emit(item, false, nullptr, why)) return false;
        }
        return true;
    }

  private:
    // Emits the blocks that `item` places (and what they place) before it.
    void Prepare(Item& item, int depth) {
        if (item.type != Item::kInsert) return;
        const auto it = c_.blocks_.find(item.block);
        if (it == c_.blocks_.end() || (it->second.flags & (4 | 8)) || state_[item.block] != 0) {
            return;
        }
        if (depth >= kMaxNesting) return;
        state_[item.block] = 1;  // in progress: an insert of it now would be a cycle
        for (Item& inner : it->second.items) Prepare(inner, depth + 1);
        EmitBlock(it->second);
        state_[item.block] = 2;
    }

    void EmitBlock(Block& block) {
        std::size_t replaced = 0;
        const std::string name =
            ToCp932Replacing(DecodeDxfString(block.name, c_.encoding_), replaced);
        const std::uint32_t d = Next();
        Json def;
        def["position"] = d;
        def["kind"] = 13;
        def["layer"] = 1;
        PutText(def, "shortName", platform::CutToBytes(name, 16));
        PutText(def, "longName", platform::CutToBytes(name, 120));
        elements_.push_back(std::move(def));
        Json members = Json::array();
        std::string why;
        for (Item& item : block.items) Emit(item, true, &members, why);
        defined_[UpperAscii(block.name)] = d;
        source_["definitions"].push_back(Json{{"position", d}, {"members", std::move(members)}});
    }

    std::uint32_t Next() {
        if (next_ % 128 == 0) ++next_;
        return next_++;
    }

    void Put(Json e, bool member, Json* members) {
        const std::uint32_t p = Next();
        if (member) {
            const int k = e["kind"].get<int>();
            e["kind"] = k < 0 ? k - 50 : k + 50;
        }
        Json out;
        out["position"] = p;
        for (auto& [key, value] : e.items()) out[key] = value;
        elements_.push_back(std::move(out));
        if (members) members->push_back(p);
    }

    bool Emit(Item& item, bool member, Json* members, std::string& why) {
        if (next_ > kMaxSourcePosition - 4 * 128) {
            why = "more elements than a drawing holds";
            return false;
        }
        switch (item.type) {
            case Item::kElements:
                for (Json& e : item.elements) Put(std::move(e), member, members);
                return true;
            case Item::kInsert: {
                const auto block = c_.blocks_.find(item.block);
                const auto def = defined_.find(item.block);
                if (block == c_.blocks_.end()) {
                    c_.LeftOut("INSERT (undefined block)");
                } else if (block->second.flags & (4 | 8)) {
                    c_.LeftOut("INSERT (external reference)");
                } else if (def == defined_.end()) {
                    c_.LeftOut("INSERT (a block that contains itself or nests deeper than 64)");
                } else {
                    const Point2 base = block->second.base;
                    // The block's base point lands on the insertion point.
                    const double bx = base.x * item.sx, by = base.y * item.sy;
                    const double cr = std::cos(item.rotation), sr = std::sin(item.rotation);
                    const std::uint32_t p = Next();
                    elements_.push_back(
                        Json{{"position", p}, {"kind", member ? 75 : 25}, {"layer", item.layer}});
                    if (members) members->push_back(p);
                    source_["placements"].push_back(Json{
                        {"position", p},
                        {"definition", def->second},
                        {"translate",
                         PointJson(item.tx - (bx * cr - by * sr), item.ty - (bx * sr + by * cr))},
                        {"rotation", DoubleJson(item.rotation)},
                        {"scale", PointJson(item.sx, item.sy)}});
                }
                return true;
            }
            case Item::kArea: {
                Json boundary = Json::array();
                for (Json& e : item.boundary) {
                    boundary.push_back(next_ % 128 == 0 ? next_ + 1 : next_);
                    Put(std::move(e), member, members);
                }
                Json holes = Json::array();
                for (auto& hole : item.holes) {
                    Json list = Json::array();
                    for (Json& e : hole) {
                        list.push_back(next_ % 128 == 0 ? next_ + 1 : next_);
                        Put(std::move(e), member, members);
                    }
                    holes.push_back(Json{{"visible", false}, {"elements", std::move(list)}});
                }
                const std::uint32_t p = next_ % 128 == 0 ? next_ + 1 : next_;
                Put(std::move(item.elements[0]), member, members);
                source_["paintAreas"].push_back(Json{{"position", p},
                                                     {"visible", false},
                                                     {"boundary", std::move(boundary)},
                                                     {"holes", std::move(holes)}});
                return true;
            }
        }
        return true;
    }

  public:
    Json elements_ = Json::array();

  private:
    Collector& c_;
    Json& source_;
    std::uint32_t next_ = 1;
    std::map<std::string, int> state_;
    std::map<std::string, std::uint32_t> defined_;
};

const char* UnitName(int code) {
    static const char* const kNames[] = {"unitless", "in",  "ft",  "mi", "mm",       "cm", "m",
                                         "km",       "uin", "mil", "yd", "angstrom", "nm", "um",
                                         "dm",       "dam", "hm",  "Gm", "au",       "ly", "pc"};
    return code >= 0 && code <= 20 ? kNames[code] : "unknown";
}

}  // namespace

void Collector::Tables(Json& source) {
    source["layers"] = Json::array();
    for (std::size_t i = 0; i < layerOrder_.size(); ++i) {
        const LayerInfo& l = layers_[layerOrder_[i]];
        std::size_t replaced = 0;
        std::string name = ToCp932Replacing(layerNames_[i], replaced);
        report_.replacedCharacters += replaced;
        if (name.size() > 16) {
            name = platform::CutToBytes(name, 16);
            ++report_.cutNames;
        }
        Json layer{{"number", l.number}};
        PutText(layer, "name", name);
        layer["colourCode"] = Code(colours_, {l.rgb.r, l.rgb.g, l.rgb.b});
        layer["widthCode"] = Code(widths_, {static_cast<int>(std::lround(l.width * 100))});
        source["layers"].push_back(std::move(layer));
    }
    if (layerOrder_.empty()) source["layers"].push_back(Json{{"number", 1}, {"name", "0"}});
    // Each table in code order.
    const auto byCode = [](const std::map<std::vector<int>, int>& table) {
        std::vector<std::pair<int, std::vector<int>>> rows;
        for (const auto& [key, code] : table) rows.emplace_back(code, key);
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    source["colours"] = Json::array();
    for (const auto& [code, k] : byCode(colours_)) {
        source["colours"].push_back(Json{{"code", code}, {"rgb", {k[0], k[1], k[2]}}});
    }
    source["widths"] = Json::array();
    for (const auto& [code, k] : byCode(widths_)) {
        source["widths"].push_back(Json{{"code", code}, {"width", FloatJson(k[0] / 100.0f)}});
    }
    source["pens"] = Json::array();
    for (const auto& [pen, k] : byCode(pens_)) {
        source["pens"].push_back(Json{{"pen", pen}, {"widthCode", k[1]}, {"colourCode", k[0]}});
    }
    source["paintColours"] = Json::array();
    for (const auto& [paint, k] : byCode(paints_)) {
        source["paintColours"].push_back(Json{{"paintNumber", paint}, {"rgb", {k[0], k[1], k[2]}}});
    }
    source["fonts"] = Json::array({Json{{"font", kFont}, {"face", "MS Gothic"}}});
    source["headTexts"] = Json{{"systemName", UnitName(insUnits_)}, {"systemNumber", insUnits_}};
}

bool DxfToSource(std::string_view dxf, Json& source, DxfImportReport& report, std::string& why) {
    if (dxf.size() > kMaxDxfSize) {
        why = "larger than " + std::to_string(kMaxDxfSize) + " bytes";
        return false;
    }
    if (!CheckDxf(dxf, why)) return false;
    Collector collector(report);
    // dxflib reports memory exhaustion by an exception; it ends the import here.
    try {
        std::istringstream stream{std::string(dxf)};
        DL_Dxf reader;
        if (!reader.in(stream, &collector)) {
            why = "not readable as DXF";
            return false;
        }
    } catch (const std::exception& e) {
        why = std::string("the DXF reader failed: ") + e.what();
        return false;
    }
    collector.End();
    if (collector.full_) {
        why = "more elements than a drawing holds";
        return false;
    }
    source = Json::object();
    source["definitions"] = Json::array();
    source["placements"] = Json::array();
    source["paintAreas"] = Json::array();
    Layout layout(collector, source);
    if (!layout.Run(why)) return false;
    source["elements"] = std::move(layout.elements_);
    // Pens, colours and paint numbers are all known once every entity is collected.
    collector.Tables(source);
    return true;
}

std::vector<std::string> DxfImportReport::Lines() const {
    std::vector<std::string> lines;
    for (const auto& [what, count] : leftOut) {
        lines.push_back("left out " + std::to_string(count) + " " + what);
    }
    if (replacedCharacters) {
        lines.push_back(std::to_string(replacedCharacters) +
                        " characters that code page 932 cannot hold, replaced by ?");
    }
    if (cutNames) lines.push_back(std::to_string(cutNames) + " layer names cut to 16 bytes");
    if (approximatedSplines) {
        lines.push_back(std::to_string(approximatedSplines) +
                        " SPLINE approximated by cubic segments (rational or of degree above 3)");
    }
    if (coarseBulges) {
        lines.push_back(std::to_string(coarseBulges) +
                        " POLYLINE arcs sampled coarser than 0.01 (more than 10000 steps)");
    }
    return lines;
}

}  // namespace quillon_tool
