// The point list. It starts with room for 2 048 points, the size a contour or clothoid
// of a drawing usually needs, and grows (doubling) past it rather than writing beyond
// its end, so a long contour loses nothing.
#include "support/geometry/PointList.h"

#include <new>
#include <vector>

namespace {

constexpr std::size_t kInitialPoints = 2048;

std::vector<double>& List() {
    static std::vector<double> list;
    return list;
}

}  // namespace

std::int32_t PointList_Init() {
    std::vector<double>& list = List();
    list.clear();
    try {
        list.reserve(2 * kInitialPoints);
    } catch (const std::bad_alloc&) {
        return kGeomNoMemory;
    }
    return kGeomOk;
}

PointListView PointList_Get() {
    const std::vector<double>& list = List();
    return {list.data(), static_cast<std::int32_t>(list.size() / 2)};
}

void PointList_Free() { std::vector<double>().swap(List()); }

std::int32_t PointList_AddSegment(Point from, Point to) {
    std::vector<double>& list = List();
    const bool first = list.empty();
    const std::size_t adding = first ? 2 : 1;
    if (list.size() / 2 + adding > static_cast<std::size_t>(kMaxCurvePoints)) {
        return kGeomTooManyPoints;
    }
    try {
        if (list.capacity() - list.size() < 2 * adding) {
            list.reserve(list.size() < 2 * kInitialPoints ? 2 * kInitialPoints : 2 * list.size());
        }
    } catch (const std::bad_alloc&) {
        return kGeomNoMemory;
    }
    // Room is reserved: these never allocate, so the list never holds half a point.
    if (first) {
        list.push_back(from.x);
        list.push_back(from.y);
    }
    list.push_back(to.x);
    list.push_back(to.y);
    return kGeomOk;
}
