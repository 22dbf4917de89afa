// What the walk tests share: a drawing with the pens, colours, attributes and fonts the
// elements use, element builders over the PDB form library, and the conversion of a
// drawing through the real open, walk and close into a PDB read back with its extension
// file merged.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "OpenFixture.h"
#include "convert/DrawingOpen.h"
#include "convert/ElementWalk.h"
#include "pdbform/Element.h"
#include "pelmar/Pelmar.h"
#include "support/tables/PdbTables.h"

namespace walk_test {

using open_test::OpenFixture;

// Attribute ids of the drawing WalkDrawing() makes.
inline constexpr std::int16_t kSolidLine = 1;       // pen 1, type 2, values 0.5 1.5 2.5
inline constexpr std::int16_t kThinLine = 2;        // pen 2, type 3, values 0.25
inline constexpr std::int16_t kDashedLine = 3;      // pen 1, type 5
inline constexpr std::int16_t kUnknownPenLine = 4;  // pen 99, which the drawing lacks
inline constexpr std::int16_t kPointPen2 = 1;
inline constexpr std::int16_t kFacePaint3 = 1;
inline constexpr std::int16_t kMark4 = 1;
inline constexpr std::int16_t kPlainText = 1;     // font 100, height 3.5, ratio 1
inline constexpr std::int16_t kVerticalText = 2;  // font 101 ("@" face), height 2, ratio 4
inline constexpr std::int16_t kSlantedText = 3;   // font 100, height 4, d7 0.5, d9 0.25
inline constexpr std::int16_t kArrowType0 = 1;    // type 0, both ends, size 9
inline constexpr std::int16_t kArrowType2 = 2;    // type 2, start, size 2.5

inline pdbform::LineAttribute Line(std::int16_t pen, std::int16_t type,
                                   std::initializer_list<float> values) {
    pdbform::LineAttribute line;
    line.pen = pen;
    line.lineType = type;
    std::copy(values.begin(), values.end(), line.floats.begin());
    return line;
}

inline pdbform::PdbFile WalkDrawing() {
    pdbform::PdbFile file = open_test::NewDrawing();  // colours 1, 2; width 1
    file.layers = {open_test::MakeLayer(1, "外形", 1, 1), open_test::MakeLayer(2, "寸法", 2, 1),
                   open_test::MakeLayer(4, "上書き", 1, 1)};
    file.pens.AppendRaw({1, 1, 1});
    file.pens.AppendRaw({2, 1, 2});
    file.pens.AppendRaw({7, 1, 2});
    file.lineAttributes.AppendRaw(Line(1, 2, {0.5f, 1.5f, 2.5f}));
    file.lineAttributes.AppendRaw(Line(2, 3, {0.25f}));
    pdbform::LineAttribute dashed = Line(1, 5, {1, 0.5f, 2, 0.5f, 1, 0.5f, 2, 0.5f});
    dashed.segmentCount = 4;
    file.lineAttributes.AppendRaw(dashed);
    file.lineAttributes.AppendRaw(Line(99, 2, {}));
    file.pointAttributes.AppendRaw({2});
    file.faceAttributes.AppendRaw({3, 1});
    file.paintColours.AppendRaw({3, 120, 180, 255});
    file.markAttributes.AppendRaw({1, 4, 2.5});
    file.symbolAttributes.AppendRaw({1, 100, 3.5, 1, 0, 0, 0});
    file.symbolAttributes.AppendRaw({2, 101, 2, 4, 0, 0, 0});
    file.symbolAttributes.AppendRaw({1, 100, 4, 1, 0.5, 0.75, 0.25});
    file.arrowAttributes.AppendRaw({0, 3, 9});
    file.arrowAttributes.AppendRaw({2, 1, 2.5});
    file.fonts.AppendRaw({100, 0, 0, "ＭＳ ゴシック"});
    file.fonts.AppendRaw({101, 0, 0, "@ＭＳ ゴシック"});
    return file;
}

// An element of `kind` with its header words and `values` as doubles from fixed byte
// `at` on.
inline pdbform::Element Elem(std::int16_t kind, std::int16_t layer, std::int16_t aid,
                             std::initializer_list<double> values = {}, std::size_t at = 6) {
    pdbform::Element e =
        pdbform::MakeElement(kind, layer, static_cast<std::int16_t>(kind * 3), aid);
    for (double v : values) {
        EXPECT_TRUE(StoreF64(e.fixed, at, v)) << "kind " << kind;
        at += 8;
    }
    return e;
}
inline void SetI16(pdbform::Element& e, std::size_t at, std::int16_t value) {
    EXPECT_TRUE(StoreI16(e.fixed, at, value));
}
inline void SetPoints(pdbform::Element& e, const std::vector<double>& xy) {
    e.rest.assign(xy.size() * 8, 0);
    for (std::size_t i = 0; i < xy.size(); ++i) EXPECT_TRUE(StoreF64(e.rest, 8 * i, xy[i]));
}
// A text of kind 7 or 8 whose length word is `length` (the text's size by default).
inline void SetText(pdbform::Element& e, const std::string& text,
                    std::optional<std::int16_t> length = std::nullopt) {
    e.rest.assign(text.begin(), text.end());
    const std::size_t at = pdbform::BaseKind(e.kind) == 7 ? 46 : 30;
    SetI16(e, at, length.value_or(static_cast<std::int16_t>(text.size())));
}

inline double F64(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    double v = 0;
    EXPECT_TRUE(LoadF64(bytes, at, v)) << at;
    return v;
}
inline std::int16_t I16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    std::int16_t v = 0;
    EXPECT_TRUE(LoadI16(bytes, at, v)) << at;
    return v;
}

class WalkFixture : public OpenFixture {
  protected:
    static constexpr const char* kDrawing = "C:\\WORK\\WALK.000";
    static constexpr const char* kPdb = "C:\\WORK\\WALK.PDB";

    // Saves and opens the drawing: the PDB session is open, ready for a walk.
    void Open(pdbform::PdbFile& drawing) {
        SaveDrawing(drawing, kDrawing);
        ASSERT_EQ(PDB_drfio_init_put_layer(kDrawing, kPdb, handle_, 1), 0);
    }
    // Closes the session and the drawing, merges the extension file and loads the PDB.
    pdbform::PdbFile CloseAndLoad() { return CloseAndLoadPdb(kPdb); }
    // The whole walk of `drawing`; `status` gets the walk's result.
    pdbform::PdbFile Convert(pdbform::PdbFile& drawing, int& status) {
        status = -1;
        Open(drawing);
        status = Walk_AllElements(handle_);
        return CloseAndLoad();
    }
    static std::vector<const pdbform::Element*> Elements(const pdbform::PdbFile& pdb) {
        std::vector<const pdbform::Element*> out;
        for (const auto& [position, element] : pdb.Elements()) out.push_back(&element);
        return out;
    }
    // The extension entries of `tag`.
    static std::vector<std::vector<std::uint8_t>> Extension(const pdbform::PdbFile& pdb,
                                                            std::uint16_t tag) {
        std::vector<std::vector<std::uint8_t>> out;
        for (const auto& entry : pdb.extension) {
            if (entry.tag == tag) out.push_back(entry.bytes);
        }
        return out;
    }
};

}  // namespace walk_test
