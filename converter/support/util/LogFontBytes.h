// The byte layouts of a font description as the font enumeration hands it to the
// converter: LOGFONTA (60 bytes) and the extended description (188 bytes), little-endian.
//
//   LOGFONTA  0 height (i32)  4 width  8 escapement  12 orientation  16 weight (i32)
//             20 italic  21 underline  22 strike-out  23 character set
//             24 output precision  25 clip precision  26 quality  27 pitch and family
//             28 face name (32 bytes, NUL-terminated)
//   extended  0 LOGFONTA  60 full name (64)  124 style (32)  156 script (32)
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/Fonts.h"

inline constexpr std::size_t kLogFontSize = 60;
inline constexpr std::size_t kLogFontCharSetOffset = 23;
inline constexpr std::size_t kLogFontPitchAndFamilyOffset = 27;
inline constexpr std::size_t kLogFontFaceNameOffset = 28;
inline constexpr std::size_t kFaceNameSize = 32;
inline constexpr std::size_t kFullNameOffset = 60;
inline constexpr std::size_t kFullNameSize = 64;
inline constexpr std::size_t kStyleOffset = 124;
inline constexpr std::size_t kStyleSize = 32;
inline constexpr std::size_t kScriptOffset = 156;
inline constexpr std::size_t kScriptSize = 32;
inline constexpr std::size_t kFontDescriptionSize = 188;

static_assert(kLogFontFaceNameOffset + kFaceNameSize == kLogFontSize);
static_assert(kFullNameOffset == kLogFontSize);
static_assert(kScriptOffset + kScriptSize == kFontDescriptionSize);

// Writes `font` into `out`. Every name field ends with a NUL inside its size (a name
// that fills its field is cut to one byte less, on a character boundary).
void EncodeLogFont(const platform::LogFontA& font, std::span<std::uint8_t, kLogFontSize> out);
void EncodeFontDescription(const platform::EnumLogFontExA& description,
                           std::span<std::uint8_t, kFontDescriptionSize> out);

// Reads a LOGFONTA back; the face name is NUL-terminated within its 32 bytes.
platform::LogFontA DecodeLogFont(std::span<const std::uint8_t, kLogFontSize> bytes);

// The text of the NUL-terminated name field of `size` bytes at `offset` of `bytes` (up
// to its first NUL, or the whole field when it has none); empty when the field does not
// lie inside `bytes`.
std::string NameField(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size);
