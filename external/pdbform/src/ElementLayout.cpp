#include "pdbform/ElementLayout.h"

#include <array>

namespace pdbform {
namespace {

using T = FieldType;

// Offsets follow the fixed-part table of the form: every kind's fields start at
// byte 6, right after the layer, second and attribute-id words.
constexpr std::array<FieldSpec, 1> kPointOnly{{{"p", T::kPoint, 6, 1}}};
constexpr std::array<FieldSpec, 2> kLine{{{"p1", T::kPoint, 6, 1}, {"p2", T::kPoint, 22, 1}}};
constexpr std::array<FieldSpec, 3> kArc{
    {{"p1", T::kPoint, 6, 1}, {"p2", T::kPoint, 22, 1}, {"p3", T::kPoint, 38, 1}}};
constexpr std::array<FieldSpec, 2> kCircle{{{"c", T::kPoint, 6, 1}, {"radius", T::kF64, 22, 1}}};
constexpr std::array<FieldSpec, 3> kPaintedCircle{
    {{"face", T::kFaceId, 6, 1}, {"c", T::kPoint, 8, 1}, {"radius", T::kF64, 24, 1}}};
constexpr std::array<FieldSpec, 1> kFaceOnly{{{"face", T::kFaceId, 6, 1}}};
constexpr std::array<FieldSpec, 4> kText{{{"p1", T::kPoint, 6, 1},
                                          {"p2", T::kPoint, 22, 1},
                                          {"angle", T::kF64, 38, 1},
                                          {"textLength", T::kTextLength, 46, 1}}};
constexpr std::array<FieldSpec, 3> kCircled{
    {{"p", T::kPoint, 6, 1}, {"size", T::kF64, 22, 1}, {"textLength", T::kTextLength, 30, 1}}};
constexpr std::array<FieldSpec, 1> kArrowOnly{{{"arrow", T::kArrowId, 6, 1}}};
constexpr std::array<FieldSpec, 3> kDimension{
    {{"p1", T::kPoint, 6, 1}, {"p2", T::kPoint, 22, 1}, {"arrow", T::kArrowId, 38, 1}}};
constexpr std::array<FieldSpec, 4> kArcDimension{{{"p1", T::kPoint, 6, 1},
                                                  {"p2", T::kPoint, 22, 1},
                                                  {"p3", T::kPoint, 38, 1},
                                                  {"arrow", T::kArrowId, 54, 1}}};
// The clothoid's parameter A, start point, start radius and offset, end point, end
// radius and offset, then four further values of the product.
constexpr std::array<FieldSpec, 8> kClothoid{{{"a", T::kF64, 6, 1},
                                              {"p1", T::kPoint, 14, 1},
                                              {"r1", T::kF64, 30, 1},
                                              {"offset1", T::kF64, 38, 1},
                                              {"p2", T::kPoint, 46, 1},
                                              {"r2", T::kF64, 62, 1},
                                              {"offset2", T::kF64, 70, 1},
                                              {"further", T::kF64, 78, 4}}};
constexpr std::array<FieldSpec, 3> kSymbol{
    {{"fourth", T::kI16, 6, 1}, {"p", T::kPoint, 8, 1}, {"angle", T::kF64, 24, 1}}};
// The image: two i32, 24 bytes, an i16, four bytes, five i32, four bytes, and from
// byte 68 the file name with its NUL (257 bytes up to the end of the fixed part).
constexpr std::array<FieldSpec, 7> kImage{{{"ints1", T::kI32, 6, 2},
                                           {"block", T::kBytes, 14, 24},
                                           {"word", T::kI16, 38, 1},
                                           {"flags", T::kBytes, 40, 4},
                                           {"ints2", T::kI32, 44, 5},
                                           {"gap", T::kBytes, 64, 4},
                                           {"file", T::kName, 68, 257}}};
constexpr std::array<FieldSpec, 7> kEllipse{{{"c", T::kPoint, 6, 1},
                                             {"rx", T::kF64, 22, 1},
                                             {"ry", T::kF64, 30, 1},
                                             {"startAngle", T::kF64, 38, 1},
                                             {"endAngle", T::kF64, 46, 1},
                                             {"rotation", T::kF64, 54, 1},
                                             {"direction", T::kU8, 62, 1}}};
constexpr std::array<FieldSpec, 1> kBezier{{{"extra", T::kBytes, 6, 9}}};
constexpr std::array<FieldSpec, 2> kPaintArea{
    {{"face", T::kFaceId, 6, 1}, {"extra", T::kBytes, 8, 20}}};

}  // namespace

std::size_t FieldSize(const FieldSpec& field) {
    switch (field.type) {
        case FieldType::kPoint:
            return 16;
        case FieldType::kF64:
            return 8u * field.count;
        case FieldType::kI32:
            return 4u * field.count;
        case FieldType::kU8:
            return 1;
        case FieldType::kBytes:
        case FieldType::kName:
            return field.count;
        case FieldType::kI16:
        case FieldType::kTextLength:
        case FieldType::kFaceId:
        case FieldType::kArrowId:
            return 2;
    }
    return 0;
}

std::span<const FieldSpec> FixedFields(int baseKind) {
    switch (baseKind) {
        case 1:
        case 9:
            return kPointOnly;
        case 2:
            return kLine;
        case 3:
            return kArc;
        case 4:
            return kCircle;
        case 5:
            return kPaintedCircle;
        case 6:
        case 16:
            return kFaceOnly;
        case 7:
            return kText;
        case 8:
            return kCircled;
        case 10:
            return kArrowOnly;
        case 11:
            return kDimension;
        case 12:
            return kArcDimension;
        case 18:
            return kClothoid;
        case 19:
            return kSymbol;
        case 20:
            return kImage;
        case 26:
            return kEllipse;
        case 27:
            return kBezier;
        case 29:
            return kPaintArea;
        default:
            return {};
    }
}

VariableLayout VariableLayoutOf(int baseKind) {
    switch (baseKind) {
        case 6:
        case 10:
        case 27:
            return VariableLayout::kPoints;
        case 7:
        case 8:
            return VariableLayout::kText;
        case 16:
        case 29:
            return VariableLayout::kBoundaryItems;
        case 17:
            return VariableLayout::kContourItems;
        case 13:
            return VariableLayout::kGroup;
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 9:
        case 11:
        case 12:
        case 18:
        case 19:
        case 20:
        case 21:
        case 22:
        case 25:
        case 26:
            return VariableLayout::kNone;
        default:
            return VariableLayout::kUnknown;
    }
}

AttributeTable AttributeTableOf(int baseKind) {
    switch (baseKind) {
        case 1:
            return AttributeTable::kPoint;
        case 9:
            return AttributeTable::kMark;
        case 7:
        case 8:
        case 19:
            return AttributeTable::kSymbol;
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 10:
        case 11:
        case 12:
        case 16:
        case 17:
        case 18:
        case 26:
        case 27:
        case 29:
            return AttributeTable::kLine;
        default:
            return AttributeTable::kNone;
    }
}

}  // namespace pdbform
