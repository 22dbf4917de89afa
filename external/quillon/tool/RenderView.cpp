#include "RenderView.h"

#include <algorithm>
#include <cmath>

namespace quillon_tool {

void Bounds::Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (empty_) {
        minX_ = maxX_ = x;
        minY_ = maxY_ = y;
        empty_ = false;
        return;
    }
    minX_ = std::min(minX_, x);
    maxX_ = std::max(maxX_, x);
    minY_ = std::min(minY_, y);
    maxY_ = std::max(maxY_, y);
}

bool FitView(const Bounds& bounds, int width, View& view) {
    double minX = 0, minY = 0, maxX = 1, maxY = 1;
    if (!bounds.Empty()) {
        minX = bounds.MinX();
        minY = bounds.MinY();
        maxX = bounds.MaxX();
        maxY = bounds.MaxY();
    }
    // A single point or a straight horizontal or vertical run still gets an extent.
    double spanX = maxX - minX, spanY = maxY - minY;
    if (!std::isfinite(spanX) || !std::isfinite(spanY)) return false;
    const double unit = std::max({spanX, spanY, 1.0});
    if (spanX < unit * 1e-6) {
        minX -= 0.5;
        maxX += 0.5;
        spanX = maxX - minX;
    }
    if (spanY < unit * 1e-6) {
        minY -= 0.5;
        maxY += 0.5;
        spanY = maxY - minY;
    }

    const int w = std::clamp(width, kMinPictureSide, kMaxPictureSide);
    const double margin = std::max(4.0, std::floor(w * 0.05));
    double scale = (w - 2 * margin) / spanX;
    double h = std::ceil(spanY * scale + 2 * margin);
    if (!(h <= kMaxPictureSide)) {
        scale = (kMaxPictureSide - 2 * margin) / spanY;
        h = kMaxPictureSide;
    }
    h = std::max<double>(h, kMinPictureSide);
    if (!std::isfinite(scale) || !(scale > 0) || !std::isfinite(scale * spanX)) return false;

    view.width = w;
    view.height = static_cast<int>(h);
    view.scale = scale;
    // Centre the drawing in the picture and turn y upside down.
    const double offsetX = (w - spanX * scale) / 2 - minX * scale;
    const double offsetY = (h + spanY * scale) / 2 + minY * scale;
    if (!std::isfinite(offsetX) || !std::isfinite(offsetY)) return false;
    cairo_matrix_init(&view.toPicture, scale, 0, 0, -scale, offsetX, offsetY);
    return true;
}

}  // namespace quillon_tool
