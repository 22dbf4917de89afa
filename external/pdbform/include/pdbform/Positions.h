// Element positions and element numbers.
//
// Positions are the slots of the element index, 128 to an index block; slot 0 of
// every block is the block's header, so positions 0, 128, 256, ... never hold an
// element. The element number of position n is n - trunc(n / 128): numbers run
// 1, 2, 3, ... without gaps while positions run 1-127, 129-255, ...
#pragma once

#include <cstdint>

namespace pdbform {

inline constexpr std::uint32_t kSlotsPerIndexBlock = 128;

// True for a position that can hold an element (not 0, not a block header).
[[nodiscard]] constexpr bool IsElementPosition(std::uint32_t position) {
    return position % kSlotsPerIndexBlock != 0;
}

// The element number of `position` (meaningful for element positions only).
[[nodiscard]] constexpr std::uint32_t ElementNumber(std::uint32_t position) {
    return position - position / kSlotsPerIndexBlock;
}

// The position of element number `number` (number >= 1); the inverse of ElementNumber.
[[nodiscard]] constexpr std::uint64_t PositionOfNumber(std::uint32_t number) {
    return number + static_cast<std::uint64_t>(number - 1) / (kSlotsPerIndexBlock - 1);
}

// The first element position at or after `position` (skips block headers).
[[nodiscard]] constexpr std::uint64_t FirstElementPositionFrom(std::uint64_t position) {
    return position % kSlotsPerIndexBlock == 0 ? position + 1 : position;
}

}  // namespace pdbform
