// How the server turns a converter record (command 27) into a stored element, and how
// it completes that element when its data has arrived (command 14).
//
// A record carries its kind code at 0, the layer at 2 and the second header word at 4;
// pen, line type and the attribute values follow inline and reach the attribute tables
// through the follow-up commands, which set the element's attribute ids. The element's
// own fields (coordinates, sizes) are copied from where each kind's record keeps them
// to where the stored kind keeps them, so that the stored element reads back exactly
// as a drawing element of that kind:
//
//   kind  record bytes      -> fixed part      kind  record bytes      -> fixed part
//   1     8..23   (x, y)    -> 6               11    46..77  (2 points) -> 6
//   2     34..65  (2 points)-> 6               12    46..93  (arc)     -> 6
//   3     34..81  (3 points)-> 6               13    layer at 2; names 4..139 -> variable part
//   4     34..57  (circle)  -> 6               18    34..137 (13 values) -> 6
//   5     38..61  (circle)  -> 8               19    16..17 (fourth word) -> 6,
//   7     18..57  (5 values)-> 6                     18..41 (x, y, angle) -> 8
//   8     18..41  (x, y, size) -> 6            6, 10, 16, 17, 20: header words only
//   9     18..33  (x, y)    -> 6
//
// Completion: a text (kinds 7 and 8) arrives as a 16-bit length and then its bytes; the
// length moves to the fixed part (byte 46, byte 30) and the variable part keeps the
// text. An image (kind 20) arrives as 319 bytes of data that are its fixed part from
// byte 6 on.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "pdbform/Element.h"

namespace ambrel {

inline constexpr std::size_t kRecordSize = 140;

// The stored element for a 140-byte record, or nothing for a kind code of 0 or of a
// kind the protocol has no record for (14, 15, 21 and up). A negative code (a hidden
// boundary copy) gives the same element under the negative kind.
[[nodiscard]] std::optional<pdbform::Element> ElementFromRecord(
    std::span<const std::uint8_t, kRecordSize> record);

// Completes `element` once its data is in. Returns an empty string, or what was wrong
// with the data (the element is then kept as far as the data allowed: a text without
// its length keeps no text, a short image keeps the bytes that came).
[[nodiscard]] std::string CompleteElement(pdbform::Element& element);

// Where a kind keeps the id of its second attribute (face or arrow) in the fixed part,
// or 0 when it has none.
[[nodiscard]] std::size_t SecondAttributeOffset(int baseKind);

// The stop mark a 2-byte data piece stands for when no element is open: 21 or 22,
// negated for a hidden one; nothing for any other piece.
[[nodiscard]] std::optional<std::int16_t> StopMark(std::span<const std::uint8_t> piece);

}  // namespace ambrel
