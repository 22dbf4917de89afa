// One element record: its kind as stored, its fixed part and its variable part.
//
// The fixed part begins with three i16 header words (layer, second word, attribute
// id) followed by the kind's fields; its length is given per kind by
// FixedPartSize. The variable part holds points, boundary items, text or member
// data. Unknown kinds are kept byte for byte.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace pdbform {

struct Element {
    std::int16_t kind = 0;  // as stored: +50 for a placement member, negative = hidden copy
    std::vector<std::uint8_t> fixed;  // F bytes, header words included
    std::vector<std::uint8_t> rest;   // R bytes

    bool operator==(const Element&) const = default;

    // The three header words; 0 when the fixed part is shorter than the word.
    [[nodiscard]] std::int16_t Layer() const;
    [[nodiscard]] std::int16_t SecondWord() const;
    [[nodiscard]] std::int16_t AttributeId() const;
};

// The drawing kind behind a stored kind: the absolute value, less 50 for a
// placement member (stored kinds 51-99).
[[nodiscard]] int BaseKind(std::int16_t storedKind);

// The fixed-part length F of a known drawing kind (1-13, 16-22, 25-27, 29), or
// nothing for a kind the form does not describe (then any F is accepted).
[[nodiscard]] std::optional<std::uint16_t> FixedPartSize(int baseKind);

// An element of `storedKind` whose fixed part is the right length for its kind,
// starting with the three header words, the rest zero.
[[nodiscard]] Element MakeElement(std::int16_t storedKind, std::int16_t layer,
                                  std::int16_t secondWord, std::int16_t attributeId);

}  // namespace pdbform
