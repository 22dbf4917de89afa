// The AutoCAD Color Index of DXF drawings: the standard 256-entry table that gives
// each colour number its red, green and blue.
//
// Index 0 (by block) and 256 (by layer) are not colours of their own; the caller
// resolves them first. Index 7 is "white" (drawn black on a light sheet); the table
// says white, as DXF readers do.
#pragma once

#include <array>
#include <cstdint>

namespace quillon_tool {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colour of ACI number `index`. The sign is dropped (a negative layer colour marks
// a layer that is off), and a number outside 1-255 gives the colour of 7.
[[nodiscard]] Rgb AciToRgb(int index);

// A DXF true colour (group 420: 0x00RRGGBB) as its three bytes.
[[nodiscard]] Rgb TrueColourToRgb(std::int32_t value);

}  // namespace quillon_tool
