// Placements, definitions, paint areas and fill holes: the records that tie an
// element to other elements by position.
#pragma once

#include <cstdint>
#include <vector>

namespace pdbform {

// The placement of a kind-25 element: where its definition's members are drawn.
struct Placement {
    std::int16_t layerOverride = 0;
    std::int16_t overridePen = 0;
    std::uint8_t penFlag = 1;  // 0 = the override pen applies
    double translateX = 0, translateY = 0, rotation = 0, scaleX = 1, scaleY = 1;
    std::uint32_t definition = 0;  // position of the element holding the definition
    bool operator==(const Placement&) const = default;
};

// A definition: the positions of its member elements, in drawing order.
struct Definition {
    std::vector<std::uint32_t> members;
    bool operator==(const Definition&) const = default;
};

struct PaintAreaHole {
    bool visible = true;
    std::vector<std::uint32_t> elements;  // hole boundary element positions
    bool operator==(const PaintAreaHole&) const = default;
};

// A paint area (kind 29): its boundary elements and holes, by position.
struct PaintArea {
    bool visible = true;
    std::vector<std::uint32_t> boundary;
    std::vector<PaintAreaHole> holes;
    bool operator==(const PaintArea&) const = default;
};

// One piece of a fill's hole outline. Codes: 1 line (4 values), 2 arc (6),
// 3 circle (3), 4 polygon (points), 5 curve (points), 6 elliptic arc (7).
struct HolePiece {
    std::uint16_t code = 0;
    std::vector<double> values;
    std::vector<double> points;  // x, y pairs (codes 4 and 5 only)
    bool operator==(const HolePiece&) const = default;
};

// The holes of a fill (kind 16): each hole a list of pieces.
struct FillHoles {
    std::vector<std::vector<HolePiece>> holes;
    bool operator==(const FillHoles&) const = default;
};

// The number of values a hole piece of `code` carries, or -1 for an unknown code.
[[nodiscard]] int HolePieceValueCount(std::uint16_t code);

}  // namespace pdbform
