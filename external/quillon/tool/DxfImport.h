// A DXF drawing as a JSON source of the quillon schema (docs/quillon.md, "import"), so
// that the drawing it makes passes the same checks as any other source.
//
// DxfToSource reads the whole file `dxf` (text DXF of any version; checked first by
// CheckDxf) through dxflib and maps it:
//   LINE 2; ARC 3 (start, mid-angle point, end); CIRCLE 4; POINT 1; LWPOLYLINE and 2D
//   POLYLINE 6 (closed: the first point again at the end; bulges sampled with a chord
//   error of at most 0.01); TEXT 7, MTEXT 7 per line (formatting codes removed); ELLIPSE
//   26; SPLINE 27 (cubic Bézier segments); INSERT 25 with its block as a definition
//   (kind 13 and members of kind + 50, nested blocks first); solid HATCH 16, or 29 with
//   hidden boundary elements when it has holes. Layers keep their ACI or true colour and
//   lineweight (pens by colour and width); linetypes with dashes become line types 5
//   (four dash-gap pairs) or 6 (other counts), scaled by $LTSCALE and the entity's scale;
//   $INSUNITS goes to the head texts (systemNumber the code, systemName its unit).
// Returns false with `why` for a file that is not sound DXF or too large to hold;
// whatever it cannot carry is counted in `report` and left out.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "JsonValues.h"

namespace quillon_tool {

struct DxfImportReport {
    // What was left out, "KIND" or "KIND (why)", with how many.
    std::map<std::string, std::size_t> leftOut;
    std::size_t replacedCharacters = 0;   // UTF-8 characters code page 932 lacks
    std::size_t cutNames = 0;             // layer names cut to 16 bytes
    std::size_t approximatedSplines = 0;  // rational or of degree above 3
    std::size_t coarseBulges = 0;         // arcs that needed more than the sampling limit

    // The report as lines for standard error, one per kind, without newlines.
    [[nodiscard]] std::vector<std::string> Lines() const;
};

[[nodiscard]] bool DxfToSource(std::string_view dxf, Json& source, DxfImportReport& report,
                               std::string& why);

// Largest DXF file the import reads.
inline constexpr std::size_t kMaxDxfSize = 256u << 20;

}  // namespace quillon_tool
