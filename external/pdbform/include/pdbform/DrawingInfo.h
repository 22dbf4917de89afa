// The drawing-wide records: layers, head texts, sheet information, background image.
//
// Names are code page 932 bytes kept as read (NULs trimmed); on writing, a name
// longer than its field is cut at a character boundary.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pdbform {

// One defined layer (numbers 1-255, strictly increasing in the layer table).
struct Layer {
    std::int16_t number = 0;
    std::int16_t skip = 0;  // non-zero: the slot exists but the layer is not defined
    std::string name;       // up to 16 bytes
    std::int16_t colourCode = 0, widthCode = 0, a = 0, b = 0;
    std::array<double, 9> record{};
    double x = 0;
    bool operator==(const Layer&) const = default;
};

struct HeadTexts {
    std::string systemName;  // 16 bytes
    std::int16_t systemNumber = 0;
    std::string paperName;  // 16 bytes
    std::int16_t paperNumber = 0;
    // The four frame and four size values: 8 bytes each whose meaning is the
    // product's, kept as the eight i32 words the head commands carry.
    std::array<std::int32_t, 8> frame{};
    std::array<std::int32_t, 8> size{};
    std::string message;                     // up to 255 bytes
    std::string selectionName;               // up to 255 bytes
    std::array<std::string, 11> groupNames;  // 17 bytes each
    bool operator==(const HeadTexts&) const = default;
};

// Sheet information entries 1-4 (index 0-3); an absent entry is nullopt.
struct SheetInfo {
    std::array<std::optional<std::vector<std::uint8_t>>, 4> entries;  // 2048 bytes each
    bool operator==(const SheetInfo&) const = default;
    // The device id of entry `index` (0-3): the i32 at its byte 536; nullopt when absent.
    [[nodiscard]] std::optional<std::int32_t> DeviceId(int index) const;
};

struct BackgroundImage {
    std::int16_t imageCount = 0;
    bool hasImage = false;
    std::string name;  // up to 259 bytes
    std::int32_t a = 0, b = 0;
    std::array<std::uint8_t, 4> cdef{};
    bool operator==(const BackgroundImage&) const = default;
};

}  // namespace pdbform
