// The tagged entries of the extension area (and of the extension file it is merged
// from): tag numbers and the content sizes of the fixed-size entries. The library keeps
// every entry as its tag and bytes; these names are for the programs that write and
// read the content (the PDB writer, the tools).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pdbform::ext {

enum Tag : std::uint16_t {
    kTagHead = 1,         // i32 source data kind
    kTagLayer = 2,        // i16 layer, 16-byte name, u8 r, g, b, 0, f64 width
    kTagPen = 3,          // i16 pen, u8 r, g, b, 0, f64 width, i32 colour code, i32 width code
    kTagFont = 4,         // i16 font id, 32-byte face name
    kTagPaintPen = 5,     // as a pen, keyed by the paint number
    kTagSymbol = 6,       // u32 element, f64 ratio, i32 flag, f64 d7, f64 d9
    kTagLinePattern = 7,  // u32 element, u8 segments, u8 m, m x f32
    kTagHolePiece = 8,    // u32 element, u16 hole, u16 piece index, the piece record
    kTagHoleEnd = 9,      // u32 element, u16 hole, u16 piece count
};

// Content sizes of the fixed-size entries, and the fields inside them.
inline constexpr std::size_t kHeadSize = 4;
inline constexpr std::size_t kLayerSize = 2 + 16 + 4 + 8;
inline constexpr std::size_t kPenSize = 2 + 4 + 8 + 4 + 4;
inline constexpr std::size_t kFontSize = 2 + 32;
inline constexpr std::size_t kSymbolSize = 4 + 8 + 4 + 8 + 8;
inline constexpr std::size_t kHoleEndSize = 4 + 2 + 2;
inline constexpr std::size_t kHolePieceHeadSize = 4 + 2 + 2;  // before the piece record
inline constexpr std::size_t kLayerNameField = 16;
inline constexpr std::size_t kFaceNameField = 32;
inline constexpr std::size_t kMinPatternFloats = 8;
static_assert(kLayerSize == 30 && kPenSize == 22 && kFontSize == 34 && kSymbolSize == 32);

}  // namespace pdbform::ext
