// Font descriptions as bytes.
//
// The font cache keeps descriptions as the 188-byte records a Windows enumeration would
// have handed over, so the layout is written field by field with explicit little-endian
// stores; nothing depends on how the compiler lays out platform::LogFontA.
#include "support/util/LogFontBytes.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/Cp932.h"
#include "support/ByteOrder.h"

namespace {

// Writes the NUL-terminated `text` of a name field of `size` bytes, zero-padded.
void StoreName(std::span<std::uint8_t> out, std::size_t offset, std::size_t size, const char* text,
               std::size_t textCapacity) {
    const std::size_t length =
        static_cast<std::size_t>(std::find(text, text + textCapacity, '\0') - text);
    const std::string cut = platform::CutToBytes(std::string_view(text, length), size - 1);
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(offset),
              out.begin() + static_cast<std::ptrdiff_t>(offset + size), std::uint8_t{0});
    std::transform(cut.begin(), cut.end(), out.begin() + static_cast<std::ptrdiff_t>(offset),
                   [](char c) { return static_cast<std::uint8_t>(c); });
}

void StoreByte(std::span<std::uint8_t> out, std::size_t offset, std::uint8_t value) {
    out[offset] = value;
}

}  // namespace

void EncodeLogFont(const platform::LogFontA& font, std::span<std::uint8_t, kLogFontSize> out) {
    const std::span<std::uint8_t> bytes(out);
    // The offsets are constants inside the fixed 60 bytes: every store fits.
    (void)StoreI32(bytes, 0, font.height);
    (void)StoreI32(bytes, 4, font.width);
    (void)StoreI32(bytes, 8, font.escapement);
    (void)StoreI32(bytes, 12, font.orientation);
    (void)StoreI32(bytes, 16, font.weight);
    StoreByte(bytes, 20, font.italic);
    StoreByte(bytes, 21, font.underline);
    StoreByte(bytes, 22, font.strikeOut);
    StoreByte(bytes, kLogFontCharSetOffset, font.charSet);
    StoreByte(bytes, 24, font.outPrecision);
    StoreByte(bytes, 25, font.clipPrecision);
    StoreByte(bytes, 26, font.quality);
    StoreByte(bytes, kLogFontPitchAndFamilyOffset, font.pitchAndFamily);
    StoreName(bytes, kLogFontFaceNameOffset, kFaceNameSize, font.faceName, sizeof font.faceName);
}

void EncodeFontDescription(const platform::EnumLogFontExA& description,
                           std::span<std::uint8_t, kFontDescriptionSize> out) {
    EncodeLogFont(description.logFont, out.first<kLogFontSize>());
    StoreName(out, kFullNameOffset, kFullNameSize, description.fullName,
              sizeof description.fullName);
    StoreName(out, kStyleOffset, kStyleSize, description.style, sizeof description.style);
    StoreName(out, kScriptOffset, kScriptSize, description.script, sizeof description.script);
}

platform::LogFontA DecodeLogFont(std::span<const std::uint8_t, kLogFontSize> bytes) {
    const std::span<const std::uint8_t> in(bytes);
    platform::LogFontA font;
    (void)LoadI32(in, 0, font.height);
    (void)LoadI32(in, 4, font.width);
    (void)LoadI32(in, 8, font.escapement);
    (void)LoadI32(in, 12, font.orientation);
    (void)LoadI32(in, 16, font.weight);
    font.italic = in[20];
    font.underline = in[21];
    font.strikeOut = in[22];
    font.charSet = in[kLogFontCharSetOffset];
    font.outPrecision = in[24];
    font.clipPrecision = in[25];
    font.quality = in[26];
    font.pitchAndFamily = in[kLogFontPitchAndFamilyOffset];
    const std::string face = NameField(in, kLogFontFaceNameOffset, kFaceNameSize);
    const std::size_t length = std::min(face.size(), sizeof font.faceName - 1);
    std::memcpy(font.faceName, face.data(), length);
    font.faceName[length] = '\0';
    return font;
}

std::string NameField(std::span<const std::uint8_t> bytes, std::size_t offset, std::size_t size) {
    if (!FitsIn(bytes.size(), offset, size)) return {};
    std::string text;
    for (std::size_t i = offset; i < offset + size && bytes[i] != 0; ++i) {
        text.push_back(static_cast<char>(bytes[i]));
    }
    return text;
}
