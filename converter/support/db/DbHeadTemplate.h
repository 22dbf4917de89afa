// The head block of a new drawing file: 2048 bytes built from the head template, a
// table of rows (offset, type, count, value). Types: 'B' one byte, 'W' a signed 16-bit
// word, 'L' a double, 'C' the value's characters; a row writes its value `count`
// times in a row from its offset. All other bytes are 0.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

inline constexpr std::size_t kHeadBlockSize = 2048;
using HeadBlock = std::array<std::uint8_t, kHeadBlockSize>;

// The block exactly as the template gives it (before the new-file initialisation sets
// its further words).
[[nodiscard]] HeadBlock BuildHeadTemplate();
