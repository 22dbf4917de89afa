// Little-endian loads and stores of the converter's byte layouts (element data,
// records, messages): 16- and 32-bit integers, single- and double-precision floats.
//
// Every value is assembled from or split into bytes explicitly, so the layouts never
// depend on the host's byte order, alignment or struct packing, and no buffer is ever
// cast to a struct.
//
// Two levels:
//  - The checked functions (Load*/Store* on a std::span and a byte offset) test that
//    the whole value lies inside the buffer. Out of range: a load returns false and
//    leaves `out` unchanged, a store returns false and writes nothing. An offset near
//    SIZE_MAX never wraps around.
//  - FitsIn(buffer, offset, size) answers the same range question once, for code
//    that checks a whole record before reading many fields of it; the checked
//    functions are still what then reads them.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <span>

namespace byteorder_detail {

template <class U>
inline U LoadUnsigned(const std::uint8_t* p) {
    U value = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i) {
        value |= static_cast<U>(static_cast<U>(p[i]) << (8 * i));
    }
    return value;
}

template <class U>
inline void StoreUnsigned(std::uint8_t* p, U value) {
    for (std::size_t i = 0; i < sizeof(U); ++i) {
        p[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace byteorder_detail

// True when `size` bytes starting at `offset` lie inside a buffer of `bufferSize` bytes.
[[nodiscard]] constexpr bool FitsIn(std::size_t bufferSize, std::size_t offset, std::size_t size) {
    return offset <= bufferSize && bufferSize - offset >= size;
}

[[nodiscard]] inline bool LoadU16(std::span<const std::uint8_t> buf, std::size_t offset,
                                  std::uint16_t& out) {
    if (!FitsIn(buf.size(), offset, 2)) return false;
    out = byteorder_detail::LoadUnsigned<std::uint16_t>(buf.data() + offset);
    return true;
}

[[nodiscard]] inline bool LoadI16(std::span<const std::uint8_t> buf, std::size_t offset,
                                  std::int16_t& out) {
    std::uint16_t u = 0;
    if (!LoadU16(buf, offset, u)) return false;
    out = static_cast<std::int16_t>(u);
    return true;
}

[[nodiscard]] inline bool LoadU32(std::span<const std::uint8_t> buf, std::size_t offset,
                                  std::uint32_t& out) {
    if (!FitsIn(buf.size(), offset, 4)) return false;
    out = byteorder_detail::LoadUnsigned<std::uint32_t>(buf.data() + offset);
    return true;
}

[[nodiscard]] inline bool LoadI32(std::span<const std::uint8_t> buf, std::size_t offset,
                                  std::int32_t& out) {
    std::uint32_t u = 0;
    if (!LoadU32(buf, offset, u)) return false;
    out = static_cast<std::int32_t>(u);
    return true;
}

[[nodiscard]] inline bool LoadF32(std::span<const std::uint8_t> buf, std::size_t offset,
                                  float& out) {
    std::uint32_t u = 0;
    if (!LoadU32(buf, offset, u)) return false;
    out = std::bit_cast<float>(u);
    return true;
}

[[nodiscard]] inline bool LoadF64(std::span<const std::uint8_t> buf, std::size_t offset,
                                  double& out) {
    if (!FitsIn(buf.size(), offset, 8)) return false;
    out = std::bit_cast<double>(byteorder_detail::LoadUnsigned<std::uint64_t>(buf.data() + offset));
    return true;
}

[[nodiscard]] inline bool StoreU16(std::span<std::uint8_t> buf, std::size_t offset,
                                   std::uint16_t value) {
    if (!FitsIn(buf.size(), offset, 2)) return false;
    byteorder_detail::StoreUnsigned(buf.data() + offset, value);
    return true;
}

[[nodiscard]] inline bool StoreI16(std::span<std::uint8_t> buf, std::size_t offset,
                                   std::int16_t value) {
    return StoreU16(buf, offset, static_cast<std::uint16_t>(value));
}

[[nodiscard]] inline bool StoreU32(std::span<std::uint8_t> buf, std::size_t offset,
                                   std::uint32_t value) {
    if (!FitsIn(buf.size(), offset, 4)) return false;
    byteorder_detail::StoreUnsigned(buf.data() + offset, value);
    return true;
}

[[nodiscard]] inline bool StoreI32(std::span<std::uint8_t> buf, std::size_t offset,
                                   std::int32_t value) {
    return StoreU32(buf, offset, static_cast<std::uint32_t>(value));
}

[[nodiscard]] inline bool StoreF32(std::span<std::uint8_t> buf, std::size_t offset, float value) {
    return StoreU32(buf, offset, std::bit_cast<std::uint32_t>(value));
}

[[nodiscard]] inline bool StoreF64(std::span<std::uint8_t> buf, std::size_t offset, double value) {
    if (!FitsIn(buf.size(), offset, 8)) return false;
    byteorder_detail::StoreUnsigned(buf.data() + offset, std::bit_cast<std::uint64_t>(value));
    return true;
}
