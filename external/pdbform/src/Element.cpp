#include "pdbform/Element.h"

#include <cstdlib>

#include "ByteOrder.h"

namespace pdbform {
namespace {

std::int16_t Word(const std::vector<std::uint8_t>& fixed, std::size_t offset) {
    std::int16_t v = 0;
    return LoadI16(fixed, offset, v) ? v : 0;
}

}  // namespace

std::int16_t Element::Layer() const { return Word(fixed, 0); }
std::int16_t Element::SecondWord() const { return Word(fixed, 2); }
std::int16_t Element::AttributeId() const { return Word(fixed, 4); }

int BaseKind(std::int16_t storedKind) {
    const int k = std::abs(static_cast<int>(storedKind));
    return k > 50 && k < 100 ? k - 50 : k;
}

std::optional<std::uint16_t> FixedPartSize(int baseKind) {
    switch (baseKind) {
        case 1:
            return 22;
        case 2:
            return 38;
        case 3:
            return 54;
        case 4:
            return 30;
        case 5:
            return 32;
        case 6:
            return 8;
        case 7:
            return 48;
        case 8:
            return 32;
        case 9:
            return 22;
        case 10:
            return 8;
        case 11:
            return 40;
        case 12:
            return 56;
        case 13:
            return 6;
        case 16:
            return 8;
        case 17:
            return 6;
        case 18:
            return 110;
        case 19:
            return 32;
        case 20:
            return 325;
        case 21:
        case 22:
            return 0;
        case 25:
            return 6;
        case 26:
            return 63;
        case 27:
            return 15;
        case 29:
            return 28;
        default:
            return std::nullopt;
    }
}

Element MakeElement(std::int16_t storedKind, std::int16_t layer, std::int16_t secondWord,
                    std::int16_t attributeId) {
    Element e;
    e.kind = storedKind;
    // Stop marks have no fixed part at all; unknown kinds get just the header words.
    const std::uint16_t size = FixedPartSize(BaseKind(storedKind)).value_or(6);
    e.fixed.assign(size, 0);
    (void)StoreI16(e.fixed, 0, layer);
    (void)StoreI16(e.fixed, 2, secondWord);
    (void)StoreI16(e.fixed, 4, attributeId);
    return e;
}

}  // namespace pdbform
