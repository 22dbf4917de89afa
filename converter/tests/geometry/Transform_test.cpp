// Matrices, transforms and the element layouts they are applied to, and the
// little-endian byte helpers underneath.
#include "support/geometry/Transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "support/ByteOrder.h"
#include "support/geometry/ElementTransform.h"

namespace {

constexpr double kEps = 1e-12;

TEST(GeoByteOrder, LittleEndianLayoutAndBounds) {
    std::vector<std::uint8_t> buf(10, 0xEE);
    ASSERT_TRUE(StoreF64(buf, 1, 1.0));
    EXPECT_EQ(buf, (std::vector<std::uint8_t>{0xEE, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0xEE}));
    ASSERT_TRUE(StoreI16(buf, 8, -2));
    EXPECT_EQ(buf[8], 0xFE);
    EXPECT_EQ(buf[9], 0xFF);
    std::int16_t s = 0;
    ASSERT_TRUE(LoadI16(buf, 8, s));
    EXPECT_EQ(s, -2);
    ASSERT_TRUE(StoreF32(buf, 0, -0.5f));
    EXPECT_EQ(buf[3], 0xBF);
    float f = 0;
    ASSERT_TRUE(LoadF32(buf, 0, f));
    EXPECT_EQ(f, -0.5f);
    std::int32_t i = 0;
    ASSERT_TRUE(StoreI32(buf, 4, -123456789));
    ASSERT_TRUE(LoadI32(buf, 4, i));
    EXPECT_EQ(i, -123456789);

    // Out of range: nothing read, nothing written, no wrap-around near SIZE_MAX.
    const std::vector<std::uint8_t> before = buf;
    double d = 42;
    EXPECT_FALSE(LoadF64(buf, 3, d));
    EXPECT_EQ(d, 42);
    EXPECT_FALSE(StoreF64(buf, 3, 7.0));
    EXPECT_FALSE(StoreI16(buf, 9, 1));
    EXPECT_FALSE(LoadI16(buf, SIZE_MAX, s));
    EXPECT_FALSE(StoreU32(buf, SIZE_MAX - 1, 1));
    EXPECT_EQ(buf, before);
}

TEST(GeoMatrix, MultiplyIsThePlainProductAndMayAlias) {
    Matrix4 a, b, out;
    for (int k = 0; k < 16; ++k) {
        a[k] = k;
        b[k] = k + 1;
    }
    Matrix4_Multiply(a, b, out);
    EXPECT_EQ(out[0], 0 * 1 + 1 * 5 + 2 * 9 + 3 * 13);
    EXPECT_EQ(out[1 * 4 + 2], 4 * 3 + 5 * 7 + 6 * 11 + 7 * 15);
    Matrix4 aliased = a;
    Matrix4_Multiply(aliased, b, aliased);
    EXPECT_EQ(aliased, out);
    Matrix4 id;
    Matrix4_Identity(id);
    Matrix4_Multiply(id, b, out);
    EXPECT_EQ(out, b);
}

TEST(GeoMatrix, ComposeScalesThenRotatesThenMoves) {
    Matrix4 m;
    Matrix_Compose(m, 5, -3, kPi / 2, 2, 3);
    // Hand-computed S · R · T.
    const double expected[16] = {0, 2, 0, 0, -3, 0, 0, 0, 0, 0, 1, 0, 5, -3, 0, 1};
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(m[k], expected[k], kEps) << "element " << k;
    const Point p = Xform_Point(m, {1, 1});
    EXPECT_NEAR(p.x, 2, kEps);
    EXPECT_NEAR(p.y, -1, kEps);

    // A negative rotation is reduced into one turn first: the same matrix.
    Matrix4 neg, pos;
    Matrix_Compose(neg, 0, 0, -kPi / 6, 1, 1);
    Matrix_Compose(pos, 0, 0, 11 * kPi / 6, 1, 1);
    for (int k = 0; k < 16; ++k) EXPECT_NEAR(neg[k], pos[k], kEps);

    // A placement inside a placement: M_inner · M_outer carries the inner one first.
    Matrix4 inner, outer, both;
    Matrix_Compose(inner, 10, 0, 0, 1, 1);
    Matrix_Compose(outer, 0, 0, kPi / 2, 2, 2);
    Matrix4_Multiply(inner, outer, both);
    const Point q = Xform_Point(both, {1, 0});
    EXPECT_NEAR(q.x, 0, kEps);
    EXPECT_NEAR(q.y, 22, kEps);
}

TEST(GeoMatrix, PointLengthAndAngleThroughAMatrix) {
    Matrix4 m;
    Matrix_Compose(m, 7, 8, 0.7, 2.5, 2.5);
    EXPECT_NEAR(Xform_Length(m, 4), 10, 1e-12);
    EXPECT_NEAR(Xform_Angle(m, 1), 1.7, 1e-12);
    Matrix_Compose(m, 0, 0, 6.0, 1, 1);
    // The direction of the diagonal's image is reduced into [0, 2π); the result is not.
    EXPECT_NEAR(Xform_Angle(m, 1), 1 + 6 - kTwoPi, 1e-12);
    EXPECT_NEAR(Xform_Angle(m, 6.2), 6.2 + 6 - kTwoPi, 1e-12);

    Matrix4 flat;
    Matrix_Compose(flat, 3, 3, 0, 0, 0);
    EXPECT_EQ(Xform_Length(flat, 5), 0.0);  // a degenerate matrix, not a division by 0

    Matrix4 persp;
    Matrix4_Identity(persp);
    persp[15] = 2;
    const Point half = Xform_Point(persp, {4, 6});
    EXPECT_EQ(half.x, 2);
    EXPECT_EQ(half.y, 3);
    persp[15] = 0.000001;
    const Point zero = Xform_Point(persp, {4, 6});
    EXPECT_EQ(zero.x, 0);
    EXPECT_EQ(zero.y, 0);
    persp[15] = 1;
    persp[11] = 1;
    const Point withZ = Xform_Point(persp, {4, 6}, 1.0);
    EXPECT_EQ(withZ.x, 2);
}

// An element buffer with a filler everywhere, fields written at the given offsets.
struct Fields {
    std::vector<std::size_t> points, lengths, angles;
};

TEST(GeoElementTransform, EveryTypeCarriesExactlyItsFields) {
    const std::vector<std::pair<int, Fields>> table = {
        {1, {{8}, {}, {}}},
        {9, {{8}, {}, {}}},
        {2, {{8, 24}, {}, {}}},
        {7, {{8, 24}, {}, {}}},
        {3, {{8, 24, 40}, {}, {}}},
        {4, {{8}, {24}, {}}},
        {5, {{10}, {26}, {}}},
        {8, {{8}, {}, {24}}},
        {11, {{10, 26}, {}, {}}},
        {12, {{10, 26, 42}, {}, {}}},
        {18, {{16, 48, 80, 96}, {32, 64, 40, 72, 8}, {}}},
        {19, {{10}, {}, {26}}},
    };
    Matrix4 m;
    Matrix_Compose(m, 10, 20, kPi / 2, 2, 2);  // (x, y) -> (10 − 2y, 20 + 2x)
    for (const auto& [type, f] : table) {
        std::vector<std::uint8_t> e(120, 0xA5);
        double v = 1;
        for (std::size_t off : f.points) {
            ASSERT_TRUE(StoreF64(e, off, v) && StoreF64(e, off + 8, v + 1));
            v += 2;
        }
        for (std::size_t off : f.lengths) ASSERT_TRUE(StoreF64(e, off, 3.0));
        for (std::size_t off : f.angles) ASSERT_TRUE(StoreF64(e, off, 0.25));
        std::vector<bool> field(e.size(), false);
        for (std::size_t off : f.points) std::fill_n(field.begin() + off, 16, true);
        for (std::size_t off : f.lengths) std::fill_n(field.begin() + off, 8, true);
        for (std::size_t off : f.angles) std::fill_n(field.begin() + off, 8, true);

        ASSERT_EQ(Elem_TransformPoints(type, e, m), kGeomOk) << "type " << type;
        v = 1;
        for (std::size_t off : f.points) {
            double x = 0, y = 0;
            ASSERT_TRUE(LoadF64(e, off, x) && LoadF64(e, off + 8, y));
            EXPECT_NEAR(x, 10 - 2 * (v + 1), 1e-9) << "type " << type << " point at " << off;
            EXPECT_NEAR(y, 20 + 2 * v, 1e-9) << "type " << type << " point at " << off;
            v += 2;
        }
        for (std::size_t off : f.lengths) {
            double l = 0;
            ASSERT_TRUE(LoadF64(e, off, l));
            EXPECT_NEAR(l, 6.0, 1e-9) << "type " << type << " length at " << off;
        }
        for (std::size_t off : f.angles) {
            double a = 0;
            ASSERT_TRUE(LoadF64(e, off, a));
            EXPECT_NEAR(a, 0.25 + kPi / 2, 1e-9) << "type " << type << " angle at " << off;
        }
        for (std::size_t k = 0; k < e.size(); ++k) {
            if (!field[k]) {
                EXPECT_EQ(e[k], 0xA5) << "type " << type << " byte " << k;
            }
        }
    }
}

TEST(GeoElementTransform, ShortElementsAndOtherTypesStayUntouched) {
    Matrix4 m;
    Matrix_Compose(m, 10, 20, 1, 2, 2);
    std::vector<std::uint8_t> shortClothoid(111, 0x11);  // last field ends at 112
    const auto before = shortClothoid;
    EXPECT_EQ(Elem_TransformPoints(18, shortClothoid, m), kGeomDataTooShort);
    EXPECT_EQ(shortClothoid, before);
    std::vector<std::uint8_t> shortPoint(23, 0x11);
    EXPECT_EQ(Elem_TransformPoints(1, shortPoint, m), kGeomDataTooShort);
    EXPECT_EQ(Elem_TransformPoints(1, {}, m), kGeomDataTooShort);
    for (int type : {0, 6, 10, 13, 16, 17, 20, 25, 26, 27, -1}) {
        std::vector<std::uint8_t> e(64, 0x22);
        EXPECT_EQ(Elem_TransformPoints(type, e, m), kGeomOk);
        EXPECT_EQ(e, std::vector<std::uint8_t>(64, 0x22)) << "type " << type;
    }
}

TEST(GeoElementTransform, VariablePartsByType) {
    Matrix4 m;
    Matrix_Compose(m, 100, 0, 0, 3, 3);  // (x, y) -> (3x + 100, 3y)

    // Points of a polyline or leader; a partial point at the end stays as it is.
    for (int type : {6, 10}) {
        std::vector<std::uint8_t> d(16 * 2 + 9, 0x33);
        ASSERT_TRUE(StoreF64(d, 0, 1) && StoreF64(d, 8, 2) && StoreF64(d, 16, -1) &&
                    StoreF64(d, 24, 5));
        ASSERT_EQ(Elem_TransformVarData(type, d, m), kGeomOk);
        double v[4];
        for (int k = 0; k < 4; ++k) ASSERT_TRUE(LoadF64(d, 8 * k, v[k]));
        EXPECT_EQ(v[0], 103);
        EXPECT_EQ(v[1], 6);
        EXPECT_EQ(v[2], 97);
        EXPECT_EQ(v[3], 15);
        for (std::size_t k = 32; k < d.size(); ++k) EXPECT_EQ(d[k], 0x33);
    }

    // Fill boundary items: 50 bytes each, by item code.
    const std::vector<std::pair<std::int16_t, std::vector<std::size_t>>> items = {
        {2, {2, 18}}, {6, {2, 18}}, {3, {2, 18, 34}}, {4, {2}}, {9, {}}};
    std::vector<std::uint8_t> fill(50 * items.size(), 0);
    for (std::size_t i = 0; i < items.size(); ++i) {
        ASSERT_TRUE(StoreI16(fill, 50 * i, items[i].first));
        for (std::size_t off = 2; off + 8 <= 50; off += 8)
            ASSERT_TRUE(StoreF64(fill, 50 * i + off, 1.0));
    }
    ASSERT_EQ(Elem_TransformVarData(16, fill, m), kGeomOk);
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::vector<double> got;
        for (std::size_t off = 2; off + 8 <= 50; off += 8) {
            double v = 0;
            ASSERT_TRUE(LoadF64(fill, 50 * i + off, v));
            got.push_back(v);
        }
        std::vector<double> want(got.size(), 1.0);
        for (std::size_t off : items[i].second) {
            want[(off - 2) / 8] = 103;
            want[(off - 2) / 8 + 1] = 3;
        }
        if (items[i].first == 4) want[2] = 3;  // the circle's radius
        EXPECT_EQ(got, want) << "item code " << items[i].first;
    }

    // Contour items: point, angle, two single-precision lengths.
    Matrix4 turn;
    Matrix_Compose(turn, 0, 0, 0.5, 2, 2);
    std::vector<std::uint8_t> contour(32, 0);
    ASSERT_TRUE(StoreF64(contour, 0, 1) && StoreF64(contour, 8, 0) && StoreF64(contour, 16, 0.1) &&
                StoreF32(contour, 24, 1.5f) && StoreF32(contour, 28, 4.0f));
    ASSERT_EQ(Elem_TransformVarData(17, contour, turn), kGeomOk);
    double x = 0, y = 0, a = 0;
    float t1 = 0, t2 = 0;
    ASSERT_TRUE(LoadF64(contour, 0, x) && LoadF64(contour, 8, y) && LoadF64(contour, 16, a) &&
                LoadF32(contour, 24, t1) && LoadF32(contour, 28, t2));
    EXPECT_NEAR(x, 2 * std::cos(0.5), 1e-12);
    EXPECT_NEAR(y, 2 * std::sin(0.5), 1e-12);
    EXPECT_NEAR(a, 0.6, 1e-12);
    EXPECT_FLOAT_EQ(t1, 3.0f);
    EXPECT_FLOAT_EQ(t2, 8.0f);
}

}  // namespace
