// Byte classes of code page 932 text.
//
// A trail byte can have any value from 0x40 up, including the codes of "\" and of
// ASCII letters, so a byte cannot be classed by looking at it alone: only a walk from a
// known character boundary (the start) tells where the characters begin.
#include "support/util/ByteClass.h"

#include "platform/Cp932.h"

int Str_ByteClass(std::string_view text, std::size_t pos) {
    if (text.data() == nullptr) return kByteClassNullText;
    if (pos >= text.size()) return kByteClassBeyondEnd;
    std::size_t at = 0;
    while (at + platform::CharLength(text, at) <= pos) at += platform::CharLength(text, at);
    if (pos > at) return kByteTrail;
    // A lead byte cut off at the end of the text counts as one byte, but is a lead byte.
    return platform::IsLeadByte(static_cast<unsigned char>(text[at])) ? kByteLead : kByteSingle;
}
