// Results written into a buffer the caller owns (a path of 260 bytes and the like).
#pragma once

#include <span>
#include <string_view>

// Writes `value` and a terminating NUL into `out` when both fit and returns true.
// Otherwise returns false, and `out` (when it has a byte) holds an empty string, so a
// caller that ignores the result never reads a half-written or unterminated value.
bool CopyToBuffer(std::string_view value, std::span<char> out);

// The NUL-terminated string held in `buffer`; the whole buffer when it holds no NUL
// (never reads beyond it).
std::string_view StringInBuffer(std::span<const char> buffer);
