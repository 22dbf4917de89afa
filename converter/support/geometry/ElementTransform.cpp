// Element transforms. Each type's fields are listed in one table, and the element's
// size is checked against the table's last field before anything is written, so a
// short element is either carried whole or left untouched, never half-transformed.
#include "support/geometry/ElementTransform.h"

#include <algorithm>
#include <vector>

#include "support/ByteOrder.h"
#include "support/geometry/Transform.h"

namespace {

struct FieldLayout {
    std::vector<std::size_t> points;
    std::vector<std::size_t> lengths;
    std::vector<std::size_t> angles;
};

// The layout of each type's fixed fields; nullptr for a type without coordinates.
const FieldLayout* LayoutOf(int type) {
    static const FieldLayout kPoint{{8}, {}, {}};
    static const FieldLayout kTwoPoints{{8, 24}, {}, {}};
    static const FieldLayout kArc{{8, 24, 40}, {}, {}};
    static const FieldLayout kCircle{{8}, {24}, {}};
    static const FieldLayout kPaintedCircle{{10}, {26}, {}};
    static const FieldLayout kCircledString{{8}, {}, {24}};
    static const FieldLayout kDimension{{10, 26}, {}, {}};
    static const FieldLayout kArcDimension{{10, 26, 42}, {}, {}};
    static const FieldLayout kClothoid{{16, 48, 80, 96}, {32, 64, 40, 72, 8}, {}};
    static const FieldLayout kSymbol{{10}, {}, {26}};
    switch (type) {
        case 1:
        case 9:
            return &kPoint;
        case 2:
        case 7:
            return &kTwoPoints;
        case 3:
            return &kArc;
        case 4:
            return &kCircle;
        case 5:
            return &kPaintedCircle;
        case 8:
            return &kCircledString;
        case 11:
            return &kDimension;
        case 12:
            return &kArcDimension;
        case 18:
            return &kClothoid;
        case 19:
            return &kSymbol;
        default:
            return nullptr;
    }
}

// The callers below check the whole field against the buffer first; a load or store
// outside it would return false and change nothing.
void PointAt(std::span<std::uint8_t> buf, std::size_t offset, const Matrix4& m) {
    Point p;
    if (!LoadF64(buf, offset, p.x) || !LoadF64(buf, offset + 8, p.y)) return;
    const Point q = Xform_Point(m, p);
    (void)StoreF64(buf, offset, q.x);
    (void)StoreF64(buf, offset + 8, q.y);
}

void LengthAt(std::span<std::uint8_t> buf, std::size_t offset, const Matrix4& m) {
    double v = 0.0;
    if (LoadF64(buf, offset, v)) (void)StoreF64(buf, offset, Xform_Length(m, v));
}

void FloatLengthAt(std::span<std::uint8_t> buf, std::size_t offset, const Matrix4& m) {
    float v = 0.0f;
    if (LoadF32(buf, offset, v)) {
        (void)StoreF32(buf, offset, static_cast<float>(Xform_Length(m, v)));
    }
}

void AngleAt(std::span<std::uint8_t> buf, std::size_t offset, const Matrix4& m) {
    double v = 0.0;
    if (LoadF64(buf, offset, v)) (void)StoreF64(buf, offset, Xform_Angle(m, v));
}

}  // namespace

std::int32_t Elem_TransformPoints(int type, std::span<std::uint8_t> element, const Matrix4& m) {
    const FieldLayout* layout = LayoutOf(type);
    if (layout == nullptr) return kGeomOk;
    std::size_t end = 0;
    for (std::size_t off : layout->points) end = std::max(end, off + 16);
    for (std::size_t off : layout->lengths) end = std::max(end, off + 8);
    for (std::size_t off : layout->angles) end = std::max(end, off + 8);
    if (element.size() < end) return kGeomDataTooShort;
    for (std::size_t off : layout->points) PointAt(element, off, m);
    for (std::size_t off : layout->lengths) LengthAt(element, off, m);
    for (std::size_t off : layout->angles) AngleAt(element, off, m);
    return kGeomOk;
}

std::int32_t Elem_TransformVarData(int type, std::span<std::uint8_t> data, const Matrix4& m) {
    switch (type) {
        case 6:
        case 10:
            for (std::size_t off = 0; FitsIn(data.size(), off, 16); off += 16)
                PointAt(data, off, m);
            break;
        case 16: {
            constexpr std::size_t kItem = 50;
            for (std::size_t off = 0; FitsIn(data.size(), off, kItem); off += kItem) {
                std::int16_t code = 0;
                (void)LoadI16(data, off, code);
                switch (code) {
                    case 2:
                    case 6:
                        PointAt(data, off + 2, m);
                        PointAt(data, off + 18, m);
                        break;
                    case 3:
                        PointAt(data, off + 2, m);
                        PointAt(data, off + 18, m);
                        PointAt(data, off + 34, m);
                        break;
                    case 4:
                        PointAt(data, off + 2, m);
                        LengthAt(data, off + 18, m);
                        break;
                    default:
                        break;
                }
            }
            break;
        }
        case 17: {
            constexpr std::size_t kItem = 32;
            for (std::size_t off = 0; FitsIn(data.size(), off, kItem); off += kItem) {
                PointAt(data, off, m);
                AngleAt(data, off + 16, m);
                FloatLengthAt(data, off + 24, m);
                FloatLengthAt(data, off + 28, m);
            }
            break;
        }
        default:
            break;
    }
    return kGeomOk;
}
