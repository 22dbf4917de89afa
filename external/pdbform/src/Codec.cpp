#include "Codec.h"

#include "platform/Cp932.h"

namespace pdbform::codec {

void Sink::Name(std::string_view text, std::size_t n, std::size_t maxText) {
    // A name is cut only between characters, so a double-byte character never
    // loses its trail byte to the field's end.
    const std::string cut = platform::CutToBytes(text, maxText < n ? maxText : n);
    Bytes(std::span(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size()));
    Zeros(n - cut.size());
}

void Sink::Counted(std::string_view text) {
    const std::string cut = platform::CutToBytes(text, 255);
    U8(static_cast<std::uint8_t>(cut.size()));
    Bytes(std::span(reinterpret_cast<const std::uint8_t*>(cut.data()), cut.size()));
}

}  // namespace pdbform::codec
