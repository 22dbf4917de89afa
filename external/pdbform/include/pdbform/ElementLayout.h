// The named fields of each element kind: where they lie in the fixed part, what the
// variable part holds, and which attribute table the attribute id refers to.
//
// One description shared by everything that shows or builds elements field by field
// (pdbdump, the quillon tool), so the layouts of the form are written down once.
// The fields listed for a kind start after the three header words (offset 6) and
// cover the rest of its fixed part exactly, without gaps or overlaps. Kinds the form
// does not describe, and the stop marks (which have no fixed part), list no fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace pdbform {

enum class FieldType : std::uint8_t {
    kPoint,       // two f64, x then y: one coordinate pair of the element
    kF64,         // `count` f64 values
    kI16,         // one i16
    kI32,         // `count` i32 values
    kU8,          // one u8
    kBytes,       // `count` bytes whose meaning is the product's, passed through
    kName,        // code page 932 text ending with a NUL inside a field of `count` bytes
    kTextLength,  // i16: byte count of the text held in the variable part
    kFaceId,      // i16: id in the face attribute table (0 = none)
    kArrowId,     // i16: id in the arrow attribute table (0 = none)
};

struct FieldSpec {
    const char* name;
    FieldType type;
    std::uint16_t offset;  // in the fixed part, header words included
    std::uint16_t count;   // values for kF64 / kI32, bytes for kBytes / kName, else 1
};

// Bytes a field occupies in the fixed part.
[[nodiscard]] std::size_t FieldSize(const FieldSpec& field);

// The fields after the header words of drawing kind `baseKind` (BaseKind of the stored
// kind), in offset order; empty for the stop marks, kinds 13 and 25 (header words only)
// and kinds the form does not describe.
[[nodiscard]] std::span<const FieldSpec> FixedFields(int baseKind);

// What the variable part of a kind holds.
enum class VariableLayout : std::uint8_t {
    kNone,           // nothing
    kPoints,         // 16-byte points (x, y): kinds 6, 10, 27
    kText,           // code page 932 text, its byte count in the kTextLength field: 7, 8
    kBoundaryItems,  // 50-byte items (i16 code, six f64): fill 16, paint area 29
    kContourItems,   // 32-byte items (x, y, f64 angle, two f32 lengths): 17
    kGroup,          // names of 16 and 120 bytes, then u32 element numbers: 13
    kUnknown,        // not described: kept as bytes
};
[[nodiscard]] VariableLayout VariableLayoutOf(int baseKind);

inline constexpr std::size_t kPointSize = 16;
inline constexpr std::size_t kBoundaryItemSize = 50;
inline constexpr std::size_t kBoundaryItemValues = 6;
inline constexpr std::size_t kContourItemSize = 32;
inline constexpr std::size_t kGroupShortNameSize = 16;
inline constexpr std::size_t kGroupLongNameSize = 120;

// The attribute table that the header word `aid` of a kind refers to.
enum class AttributeTable : std::uint8_t { kNone, kLine, kPoint, kMark, kSymbol };
[[nodiscard]] AttributeTable AttributeTableOf(int baseKind);

}  // namespace pdbform
