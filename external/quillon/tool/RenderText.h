// Texts of a rendered drawing, laid out with Pango in the fonts that the drawing names.
//
// Face names are the Windows names a drawing keeps in its font table (code page 932).
// They map to installed fonts as Tolvane's font lookup maps them: through the value of
// that name under HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\FontSubstitutes in
// the prefix's registry (a ",<character set>" suffix of the target ignored); a name that
// the key does not list is asked of fontconfig as it is. A face name beginning with "@"
// is the vertical-writing form of the face after it: its text runs top to bottom.
// Behind the face, the IPA fonts (Mincho for a name containing "明朝", else Gothic)
// stand in for glyphs the face lacks, so Japanese text always has glyphs.
//
// Text is laid out at a fixed reference size of kTextReference units per em-height and
// the caller scales the cairo matrix by height / kTextReference, so glyph shapes and
// metrics do not depend on hinting at small sizes. Local layout coordinates: origin at
// the start of the first line's baseline, x along the text, y down.
#pragma once

#include <cairo.h>
#include <pango/pangocairo.h>

#include <string>
#include <string_view>

namespace quillon_tool {

inline constexpr double kTextReference = 100.0;

// A rectangle in local layout coordinates.
struct TextBox {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// The installed family (UTF-8, possibly a comma-separated list) for a code page 932 face
// name without its "@".
[[nodiscard]] std::string FontFamilyFor(std::string_view cp932Face);

class TextPainter {
  public:
    explicit TextPainter(cairo_t* cr);
    ~TextPainter();
    TextPainter(const TextPainter&) = delete;
    TextPainter& operator=(const TextPainter&) = delete;

    // Lays out `cp932Text` (invalid bytes shown as "?") in `cp932Face` ("@" = vertical)
    // for the cairo matrix now set, and gives its logical box. Empty text: false.
    [[nodiscard]] bool Prepare(std::string_view cp932Text, std::string_view cp932Face,
                               TextBox& box);
    // Draws the text prepared last with its origin at local (dx, dy), in the cairo
    // source colour, under the cairo matrix now set.
    void Show(double dx, double dy);

  private:
    cairo_t* cr_;
    PangoContext* context_ = nullptr;
    PangoLayout* layout_ = nullptr;
    bool vertical_ = false;
    double rotation_ = 0;  // of the layout against the local coordinates
    double offsetY_ = 0;   // where the layout's top goes, local y
};

// Frees the caches of fontconfig, Pango and cairo at the end of the program, so a leak
// checker sees only what the program itself left. Call once, after every surface and
// context is destroyed.
void ReleaseTextCaches();

}  // namespace quillon_tool
