// The CRC-32 that guards the directory and every section of a file in PDB form:
// the IEEE polynomial, reflected, initial value and final xor 0xFFFFFFFF (the value
// zlib's crc32() gives). Crc32 of no bytes is 0.
#pragma once

#include <cstdint>
#include <span>

namespace pdbform {

[[nodiscard]] std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// Continues `crc` (the CRC of the bytes before) over `bytes`, so that data read in
// pieces gets the CRC of the whole: Crc32Update(Crc32(a), b) == Crc32(a + b), and
// Crc32Update(0, b) == Crc32(b).
[[nodiscard]] std::uint32_t Crc32Update(std::uint32_t crc, std::span<const std::uint8_t> bytes);

}  // namespace pdbform
