// Counted strings (one length byte, then that many bytes, no terminator) and
// NUL-terminated strings, converted into each other in place.
#pragma once

#include <span>

inline constexpr int kCountedNullText = -9208;
inline constexpr int kCountedNoRoom = -9209;

// With `toC` true, the counted string at the start of `text` becomes a NUL-terminated
// one (its bytes move one place forward, a NUL follows them); with `toC` false, the
// NUL-terminated string in `text` becomes a counted one (its bytes move one place back,
// the length byte goes first, the terminator is dropped).
// 0; -9208 when `text` is null or empty; -9209 when the result would not fit `text`:
// a count that runs past the end of the buffer, a string without its NUL inside the
// buffer, or a string longer than 255 bytes (a length byte cannot count it). On an
// error `text` is unchanged.
int Str_CountedSwap(bool toC, std::span<char> text);
