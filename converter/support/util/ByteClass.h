// What a byte of code page 932 text is: a character of its own, or the first or second
// byte of a double-byte character.
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr int kByteSingle = 100;  // a single-byte character
inline constexpr int kByteLead = 101;    // the first byte of a double-byte character
inline constexpr int kByteTrail = 102;   // the second byte of a double-byte character
inline constexpr int kByteClassNullText = -9208;
inline constexpr int kByteClassBeyondEnd = -9209;

// Classifies the byte at `pos` of `text` by walking the text from its start, one or two
// bytes per character by the lead-byte test of code page 932. A lead byte that is the
// last byte of the text (its pair cut off) is still a lead byte.
// Results: 100, 101 or 102; -9208 when `text` is null (a default string_view, no data);
// -9209 when `pos` is at or beyond the end of the text.
int Str_ByteClass(std::string_view text, std::size_t pos);
