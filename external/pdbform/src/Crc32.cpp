#include "pdbform/Crc32.h"

#include <array>

namespace pdbform {
namespace {

// The byte-wise table of the reflected polynomial 0xEDB88320, built once at
// compile time.
constexpr std::array<std::uint32_t, 256> MakeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr auto kTable = MakeTable();

}  // namespace

std::uint32_t Crc32Update(std::uint32_t crc, std::span<const std::uint8_t> bytes) {
    std::uint32_t c = crc ^ 0xFFFFFFFFu;
    for (std::uint8_t b : bytes) c = kTable[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) { return Crc32Update(0, bytes); }

}  // namespace pdbform
