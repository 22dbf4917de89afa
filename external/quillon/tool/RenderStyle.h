// What an element looks like when it is drawn: the colour and width of its pen, the
// colour of its paint number, its dash pattern, its font and whether its layer is shown.
//
// Built once per file from its tables. A converted PDB carries the pens, paint pens,
// fonts and line patterns that the conversion registered in its extension area; those
// entries are looked up first (the first entry of a pen or font wins, as the
// conversion registers each only once), then the drawing's own tables:
//   pen     -> extension pen entry (tag 3), else pens -> colours + widths
//   paint   -> extension paint pen (tag 5), else paint colours
//   font    -> extension font entry (tag 4), else fonts
//   pattern -> extension line pattern of the element number (tag 7), else the line
//              attribute's floats (type 5: the eight floats as four dash-gap pairs;
//              type 6: the first `segments` floats in pairs, at most 127 pairs)
// Extension entries whose bytes do not have their tag's size are passed over.
// A pen that no table names is black with width 0 (drawn one pixel wide); a paint
// number that no table names is mid grey.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "pdbform/PdbFile.h"

namespace quillon_tool {

struct Rgb {
    double r = 0, g = 0, b = 0;  // 0-1
};

struct PenStyle {
    Rgb colour;
    double width = 0;  // in drawing units; 0 = the thinnest line
};

class RenderStyle {
  public:
    explicit RenderStyle(const pdbform::PdbFile& file);

    [[nodiscard]] PenStyle Pen(std::int16_t pen) const;
    [[nodiscard]] Rgb Paint(std::int16_t paintNumber) const;
    // Code page 932 face name of `fontId`; empty when no table names it.
    [[nodiscard]] std::string FaceName(std::int16_t fontId) const;
    // False for a layer whose entry has the skip flag set; layers without an entry
    // (and layer 0) are shown.
    [[nodiscard]] bool LayerShown(std::int16_t layer) const;
    // The dash-gap pairs (drawing units, all >= 0) of an element of `lineType` 5 or 6
    // with line attribute `attribute`, for the element numbered `elementNumber`;
    // empty for a solid line (other types, no attribute, lengths that add up to 0).
    [[nodiscard]] std::vector<double> DashPattern(std::int16_t lineType,
                                                  const pdbform::LineAttribute* attribute,
                                                  std::uint32_t elementNumber) const;

  private:
    std::map<std::int16_t, PenStyle> pens_;
    std::map<std::int16_t, Rgb> paints_;
    std::map<std::int16_t, std::string> fonts_;
    std::set<std::int16_t> skippedLayers_;
    std::map<std::int16_t, PenStyle> extensionPens_;
    std::map<std::int16_t, PenStyle> extensionPaints_;
    std::map<std::int16_t, std::string> extensionFonts_;
    struct Pattern {
        std::uint8_t segments = 0;
        std::vector<float> floats;
    };
    std::map<std::uint32_t, Pattern> extensionPatterns_;
};

}  // namespace quillon_tool
