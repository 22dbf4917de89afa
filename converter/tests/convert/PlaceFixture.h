// What the placement and curve tests share: drawings built with the PDB form library
// (lines, ellipses, Bézier curves, placements and definitions), converted by the real
// walk against the real server, and the polyline and line elements of the PDB read back.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "OpenFixture.h"
#include "convert/DrawingOpen.h"
#include "convert/ElementWalk.h"
#include "convert/WalkContext.h"
#include "support/geometry/Transform.h"

namespace place_test {

using open_test::OpenFixture;

// Line attribute ids of Drawing(): solid with pen 1, solid with pen 2, dashed (type 5).
constexpr std::int16_t kSolidPen1 = 1;
constexpr std::int16_t kSolidPen2 = 2;
constexpr std::int16_t kDashed = 3;

// A converted element that carries points: its kind as stored, layer, pen and points.
struct Converted {
    int kind = 0;
    int layer = 0;
    int pen = 0;
    int lineType = 0;
    std::vector<double> values;  // line attribute values
    std::vector<double> xy;
};

class PlaceFixture : public OpenFixture {
  protected:
    static constexpr const char* kDrawing = "C:\\WORK\\PLACE.000";
    static constexpr const char* kPdb = "C:\\WORK\\PLACE.PDB";

    static pdbform::PdbFile Drawing() {
        pdbform::PdbFile file = open_test::NewDrawing();
        for (std::int16_t n = 1; n <= 3; ++n) {
            file.layers.push_back(open_test::MakeLayer(n, "L" + std::to_string(n), 1, 1));
        }
        for (std::int16_t pen : {1, 2, 7}) {
            file.pens.AppendRaw({pen, 1, static_cast<std::int16_t>(pen == 1 ? 1 : 2)});
        }
        file.lineAttributes.AppendRaw({1, 1, 0, {0.25f, 0.5f, 0.75f, 0, 0, 0, 0, 0}});
        file.lineAttributes.AppendRaw({2, 2, 0, {1, 2, 3, 0, 0, 0, 0, 0}});
        file.lineAttributes.AppendRaw({1, 5, 8, {1, 0.5f, 1, 0.5f, 1, 0.5f, 1, 0.5f}});
        return file;
    }
    static std::uint32_t Add(pdbform::PdbFile& file, std::int16_t kind, std::int16_t layer,
                             std::int16_t aid,
                             const std::vector<std::pair<std::size_t, double>>& at,
                             std::vector<std::uint8_t> rest = {}) {
        pdbform::Element e = pdbform::MakeElement(kind, layer, 0, aid);
        for (const auto& [offset, value] : at) EXPECT_TRUE(StoreF64(e.fixed, offset, value));
        e.rest = std::move(rest);
        return file.Append(std::move(e));
    }
    static std::uint32_t AddLine(pdbform::PdbFile& file, std::int16_t kind, std::int16_t layer,
                                 std::int16_t aid, double x1, double y1, double x2, double y2) {
        return Add(file, kind, layer, aid, {{6, x1}, {14, y1}, {22, x2}, {30, y2}});
    }
    // Values: centre x, y, rx, ry, start, end, rotation; then the direction byte.
    static std::uint32_t AddEllipse(pdbform::PdbFile& file, std::int16_t kind, std::int16_t aid,
                                    const std::array<double, 7>& v, bool ccw) {
        std::vector<std::pair<std::size_t, double>> at;
        for (std::size_t i = 0; i < v.size(); ++i) at.push_back({6 + 8 * i, v[i]});
        const std::uint32_t pos = Add(file, kind, 1, aid, at);
        file.FindMutable(pos)->fixed[62] = ccw ? 1 : 0;
        return pos;
    }
    static std::uint32_t AddBezier(pdbform::PdbFile& file, std::int16_t kind, std::int16_t aid,
                                   const std::vector<double>& controls) {
        std::vector<std::uint8_t> rest(controls.size() * 8);
        for (std::size_t i = 0; i < controls.size(); ++i) (void)StoreF64(rest, 8 * i, controls[i]);
        return Add(file, kind, 1, aid, {}, std::move(rest));
    }
    static std::uint32_t AddDefinition(pdbform::PdbFile& file, std::vector<std::uint32_t> members) {
        const std::uint32_t pos = file.Append(pdbform::MakeElement(13, 1, 0, 0));
        file.definitions[pos] = {std::move(members)};
        return pos;
    }
    // A placement element (stored kind 25, or 75 as a member) of `p`.
    static std::uint32_t AddPlacement(pdbform::PdbFile& file, std::int16_t kind,
                                      const pdbform::Placement& p) {
        const std::uint32_t pos = file.Append(pdbform::MakeElement(kind, 1, 0, 0));
        file.placements[pos] = p;
        return pos;
    }

    // Saves and opens the drawing (the PDB session open).
    void Open(pdbform::PdbFile& drawing) {
        SaveDrawing(drawing, kDrawing);
        ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    }
    // Closes the session and the drawing and reads the PDB back.
    pdbform::PdbFile Close() {
        EXPECT_EQ(PdmDb_CloseDrawing(), 0);
        (void)db_close(&handle_);
        return Load(kPdb);
    }
    // The walk over the whole drawing; its status.
    int Walk(pdbform::PdbFile& drawing, pdbform::PdbFile& pdb) {
        Open(drawing);
        const int status = Walk_AllElements(handle_);
        pdb = Close();
        return status;
    }
    // A context on the element at `pos`, its pkd read, as the walk hands it over.
    ElementWalkContext ContextAt(std::uint32_t pos) {
        ElementWalkContext context;
        context.data.resize(kWalkDataInitial);
        Matrix4_Identity(context.transform);
        EXPECT_EQ(db_seek(&handle_, static_cast<std::int32_t>(pos)), 0);
        std::array<std::uint8_t, 2> pkd{};
        EXPECT_EQ(db_get(&handle_, pkd.data(), 2), 0);
        (void)LoadI16(pkd, 0, context.pkd);
        context.pid = static_cast<std::int32_t>(pos);
        return context;
    }

    // Elements of base kind 6 (points from the variable part) or 2 (the two points).
    static std::vector<Converted> Elements(const pdbform::PdbFile& pdb, int baseKind) {
        std::vector<Converted> out;
        for (const auto& [pos, e] : pdb.Elements()) {
            if (pdbform::BaseKind(e.kind) != baseKind) continue;
            Converted c;
            c.kind = e.kind;
            c.layer = e.Layer();
            if (const auto* line = pdb.lineAttributes.Get(e.AttributeId())) {
                c.pen = line->pen;
                c.lineType = line->lineType;
                c.values = {line->floats[0], line->floats[1], line->floats[2]};
            }
            const std::vector<std::uint8_t>& bytes = baseKind == 2 ? e.fixed : e.rest;
            for (std::size_t at = baseKind == 2 ? 6 : 0; at + 8 <= bytes.size(); at += 8) {
                double v = 0;
                (void)LoadF64(bytes, at, v);
                c.xy.push_back(v);
            }
            out.push_back(std::move(c));
        }
        return out;
    }
};

// p carried by a placement: scaled, turned, moved (written out, not through a matrix).
inline std::array<double, 2> Place(const pdbform::Placement& p, double x, double y) {
    const double sx = x * p.scaleX, sy = y * p.scaleY;
    return {p.translateX + sx * std::cos(p.rotation) - sy * std::sin(p.rotation),
            p.translateY + sx * std::sin(p.rotation) + sy * std::cos(p.rotation)};
}

}  // namespace place_test
