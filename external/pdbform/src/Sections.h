// The contents of every section except the element index and store: how each is
// laid out (Encode) and read back with every length and count checked (Decode).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pdbform/PdbFile.h"

namespace pdbform::sections {

enum Id : std::uint16_t {
    kIndex = 1,
    kStore = 2,
    kLineAttributes = 3,
    kPointAttributes = 4,
    kFaceAttributes = 5,
    kMarkAttributes = 6,
    kSymbolAttributes = 7,
    kArrowAttributes = 8,
    kPens = 9,
    kColours = 10,
    kWidths = 11,
    kPaintColours = 12,
    kFonts = 13,
    kLayers = 14,
    kHeadTexts = 15,
    kSheetInfo = 16,
    kBackground = 17,
    kPlacements = 18,
    kPaintAreas = 19,
    kFillHoles = 20,
    kExtension = 32,
};

// Ids 3-20 and 32: the sections this file's Encode/Decode handle.
[[nodiscard]] bool IsContentSection(std::uint16_t id);

// The bytes and item count of section `id` for `file`; an empty result means the
// section is left out. kOk, or kBadTable for a model that cannot be written
// (a line attribute with more than 255 values, two layers with one number or a
// number outside 1-255).
[[nodiscard]] Status Encode(std::uint16_t id, const PdbFile& file, std::vector<std::uint8_t>& out,
                            std::uint32_t& itemCount, std::string& reason);

// Reads section `id` into `file`. kOk, kBadTable or kBadSection with `reason`.
[[nodiscard]] Status Decode(std::uint16_t id, std::span<const std::uint8_t> bytes,
                            std::uint32_t itemCount, PdbFile& file, std::string& reason);

}  // namespace pdbform::sections
