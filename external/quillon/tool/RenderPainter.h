// The element painter: draws every element of a file in PDB form onto a cairo context,
// or measures where they lie.
//
// Top-level elements are visited in position order. Not drawn: hidden elements
// (negative stored kind: the boundary copies of paint areas), placement members at the
// top level (stored kinds 51-99: they are drawn through their placement), elements
// whose layer has the skip flag, groups, stop marks and kinds the form does not
// describe. A placement (kind 25) draws the members of its definition through the
// placement's transform (scale, then rotation, then translation, then the enclosing
// transform), with its layer override (when > 0, for every member below it) and its
// pen override (pen flag 0).
//
// What each kind looks like:
//   1 point: a dot of the pen's colour, 3 pixels across (or the pen's width);
//   2 line, 3 arc through three points, 4 circle, 6 polyline, 17 contour (cubic pieces
//     with the items' tangents), 18 clothoid, 26 ellipse / elliptic arc (direction byte
//     non-zero: counter-clockwise), 27 Bézier: stroked with the line attribute's pen,
//     dashed for line types 5 and 6;
//   5 painted circle: filled with its paint colour, then outlined;
//   7 text: from its first point along its angle (radians), glyphs `height` high and
//     stretched by `ratio`; a vertical ("@") face runs the text downwards;
//   8 circled string: a circle of diameter `size` with the text centred in it;
//   9 mark: by mark number, `size` across: 1 dot, 2 plus, 3 cross, 4 circle, 5 square,
//     6 triangle, 7 filled circle, others a plus;
//   10 leader, 11 dimension line, 12 arc dimension line: the line with arrows at the
//     ends its arrow attribute names (1 start, 2 end, 3 both), `arrowSize` long
//     (type 0: 1.3): type 2 a filled triangle, 3 a dot, 4 a slash, others open;
//   16 fill: its boundary items (2 and 6 lines, 3 arcs, 4 circles) and the holes that
//     the file keeps for it (fill holes, or a converted PDB's hole pieces), filled with
//     the paint colour by the even-odd rule; a fill whose head item has code -4 (a
//     converted paint area) takes its outline and holes from the groups it names;
//   19 symbol: the character whose code is the fourth header word, `height` high,
//     centred on its point and turned by its angle (a frame when the code is no
//     character);
//   20 image: a frame (x, y, width, height in drawing units from its second group of
//     integers; else the picture's size from the first) with the file name inside;
//   29 paint area: the outline of its boundary elements with its holes, filled as 16.
// Hatched regions (negative ppat) are outlined and hatched with thin diagonal lines.
//
// Damaged values never reach cairo: an element with a value that is not finite, a
// degenerate transform or a field beyond its record is passed over. Placements that
// expand to more than kMaxDraws element draws end the walk (DrawAll answers false).
#pragma once

#include <cairo.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "RenderCurves.h"
#include "RenderStyle.h"
#include "RenderText.h"
#include "RenderView.h"
#include "pdbform/PdbFile.h"

namespace quillon_tool {

inline constexpr std::uint64_t kMaxDraws = 2'000'000;

class ElementPainter {
  public:
    enum class Mode { kMeasure, kPaint };

    // `toDevice` carries drawing units to the context's device space; `pixelsPerUnit`
    // turns pen widths, dash lengths and pixel sizes into device units (1 when
    // measuring in drawing units).
    ElementPainter(const pdbform::PdbFile& file, const RenderStyle& style, cairo_t* cr, Mode mode,
                   const cairo_matrix_t& toDevice, double pixelsPerUnit);

    // Draws (or measures) every element. False when the placements expand past
    // kMaxDraws, with `why`.
    [[nodiscard]] bool DrawAll(std::string& why);

    // In measure mode: the bounds of everything drawn, in drawing units.
    [[nodiscard]] const Bounds& Measured() const { return bounds_; }

  private:
    struct Context {
        cairo_matrix_t matrix{};  // element coordinates -> device
        double linear = 1;        // length factor of the placements (for dashes)
        bool penOverride = false;
        std::int16_t pen = 0;
        int depth = 0;
    };

    bool Draw(const pdbform::Element& element, std::uint32_t position, int baseKind,
              const Context& ctx);
    void DrawPlacement(std::uint32_t position, const Context& ctx);

    // Element kinds.
    void Point(const pdbform::Element& e, const Context& ctx);
    void Curve(const pdbform::Element& e, std::uint32_t position, int kind, const Context& ctx);
    void PaintedCircle(const pdbform::Element& e, std::uint32_t position, const Context& ctx);
    void Text(const pdbform::Element& e, const Context& ctx);
    void CircledString(const pdbform::Element& e, const Context& ctx);
    void Mark(const pdbform::Element& e, const Context& ctx);
    void Dimension(const pdbform::Element& e, std::uint32_t position, int kind, const Context& ctx);
    void Fill(const pdbform::Element& e, std::uint32_t position, const Context& ctx);
    void PaintArea(const pdbform::Element& e, std::uint32_t position, const Context& ctx);
    void Symbol(const pdbform::Element& e, const Context& ctx);
    void Image(const pdbform::Element& e, const Context& ctx);

    // Paths (built under ctx.matrix in element coordinates).
    [[nodiscard]] bool BuildCurvePath(const pdbform::Element& e, int kind);
    void PolylinePath(const Polyline& points);
    void RingsPath(const std::vector<Polyline>& rings);
    [[nodiscard]] bool ElementOutline(const pdbform::Element& e, RingBuilder& rings);
    void FillHolesOf(std::uint32_t position, RingBuilder& rings);
    [[nodiscard]] bool GroupOutline(std::uint32_t groupNumber, RingBuilder& rings);

    // Output: in paint mode stroke / fill the current path, in measure mode add its
    // extents to the bounds. Both clear the path.
    void Stroke(const Context& ctx, std::int16_t pen, const std::vector<double>& dashes);
    void FillPath(const Context& ctx, const Rgb& colour);
    void Hatch(const Context& ctx, std::int16_t pen);
    void Arrow(const Context& ctx, const Pt& tip, const Pt& from, int type, double size,
               std::int16_t pen);
    void DrawText(const Context& ctx, const cairo_matrix_t& local, std::string_view text,
                  std::string_view face, bool centred, std::int16_t pen);

    [[nodiscard]] bool SetMatrix(const cairo_matrix_t& m);
    // False for radii that cairo cannot draw in reasonable time under the current matrix.
    [[nodiscard]] bool Drawable(double rx, double ry) const;
    [[nodiscard]] std::int16_t PenOf(const Context& ctx, std::int16_t attributePen) const;
    void MeasurePath();

    const pdbform::PdbFile& file_;
    const RenderStyle& style_;
    cairo_t* cr_;
    Mode mode_;
    cairo_matrix_t toDevice_;
    double pixels_;
    Bounds bounds_;
    std::unique_ptr<TextPainter> text_;
    // A converted PDB's hole pieces (extension tag 8) by fill element number: the hole
    // number and the piece record (i16 type, its f64 values), in file order.
    std::map<std::uint32_t, std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>>
        extensionHoles_;
    // The layer override of the placements, as the conversion keeps it: set by a
    // placement, kept after it for the rest of the top-level element, 0 before each
    // top-level element.
    std::int16_t layerOverride_ = 0;
    std::uint64_t draws_ = 0;
    bool budgetExceeded_ = false;
};

}  // namespace quillon_tool
