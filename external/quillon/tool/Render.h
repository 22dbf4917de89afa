// quillon render: a picture of a drawing or a PDB, as PNG or SVG.
//
//   quillon render FILE OUT.svg|OUT.png [--width PIXELS]
//
// FILE is any file in PDB form; it is loaded whole and checked first, so a damaged file
// is refused with the loader's reason and nothing is drawn. The picture is `PIXELS`
// wide (default 1024, 16-16384), as high as the drawing's proportions need (at most
// 16384), on a white background, with the drawing's bounds fitted inside a margin and
// y pointing up (RenderView.h). What each element looks like: RenderPainter.h. The
// format follows OUT's extension (.png or .svg, any case); OUT is replaced atomically.
#pragma once

#include <string>
#include <vector>

#include "pdbform/PdbFile.h"

namespace quillon_tool {

inline constexpr int kDefaultRenderWidth = 1024;

enum class PictureFormat { kPng, kSvg };

struct RenderRequest {
    PictureFormat format = PictureFormat::kPng;
    int width = kDefaultRenderWidth;
};

// Draws `file` (already loaded) into `out` as a whole PNG or SVG document. False with
// `why` when the picture cannot be made (bounds that no picture can hold, placements
// that expand past the drawing budget, cairo out of memory).
[[nodiscard]] bool RenderPicture(const pdbform::PdbFile& file, const RenderRequest& request,
                                 std::string& out, std::string& why);

// The command: args are those after "render". Exit 0 done; 1 a file that cannot be
// read, is not in PDB form, or a picture that cannot be made or written (reason on
// standard error); 2 a wrong command line (usage on standard error).
[[nodiscard]] int RunRender(const std::vector<std::string>& args);

}  // namespace quillon_tool
