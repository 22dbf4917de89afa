// The view of a rendered drawing: the bounds of everything drawn, in drawing units, and
// the transform that fits them into a picture of a given width.
//
// Drawing coordinates have y pointing up; picture coordinates have y pointing down. The
// view keeps the drawing's proportions, leaves a margin of 5 % of the picture's width
// (at least 4 pixels) on every side and centres the drawing. A drawing that draws
// nothing, or whose bounds have no extent, gets a view of at least 1 drawing unit around
// what it has (an empty drawing: the square from (0, 0) to (1, 1)).
#pragma once

#include <cairo.h>

namespace quillon_tool {

class Bounds {
  public:
    // Adds a point; a value that is not finite is ignored.
    void Add(double x, double y);
    [[nodiscard]] bool Empty() const { return empty_; }
    [[nodiscard]] double MinX() const { return minX_; }
    [[nodiscard]] double MinY() const { return minY_; }
    [[nodiscard]] double MaxX() const { return maxX_; }
    [[nodiscard]] double MaxY() const { return maxY_; }

  private:
    bool empty_ = true;
    double minX_ = 0, minY_ = 0, maxX_ = 0, maxY_ = 0;
};

// The largest picture side, in pixels, that `quillon render` makes.
inline constexpr int kMaxPictureSide = 16384;
inline constexpr int kMinPictureSide = 16;

struct View {
    int width = 0, height = 0;   // pixels
    double scale = 1;            // pixels per drawing unit
    cairo_matrix_t toPicture{};  // drawing units -> pixels
};

// The view that fits `bounds` into a picture `width` pixels wide (clamped to
// kMinPictureSide-kMaxPictureSide); its height follows the drawing's proportions and is
// clamped the same way (a very tall drawing then gets a smaller scale). A scale that a
// picture cannot hold (bounds spanning more than about 1e300 units) is refused: false.
[[nodiscard]] bool FitView(const Bounds& bounds, int width, View& view);

}  // namespace quillon_tool
