// Code page 932 (Shift-JIS) text helpers.
//
// All system text is code page 932 bytes held in std::string. A character is one
// byte, or two bytes when the first is a lead byte (0x81-0x9F, 0xE0-0xFC); the
// second byte of a pair may be 0x5C ("\") or an ASCII letter, so every search,
// split, cut and upper-casing of such text must go through these helpers.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// True for a byte that starts a double-byte character. Inline, as every walk over a
// text asks it once per byte.
[[nodiscard]] inline bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Length in bytes of the character starting at s[pos] (1 or 2; 1 for a lead byte
// at the very end of the text, which is then treated as a lone byte).
[[nodiscard]] inline std::size_t CharLength(std::string_view s, std::size_t pos) {
    return pos + 1 < s.size() && IsLeadByte(static_cast<unsigned char>(s[pos])) ? 2 : 1;
}

// Position of the first / last occurrence of the single-byte character `ch` that is
// not the trail byte of a double-byte character; npos when there is none.
[[nodiscard]] std::size_t FindCharDbcs(std::string_view s, char ch, std::size_t from = 0);
[[nodiscard]] std::size_t FindLastCharDbcs(std::string_view s, char ch);

// Position of the last "\" or ":" (a path delimiter) that is a character of its own.
[[nodiscard]] std::size_t FindLastPathDelimiter(std::string_view s);

// Position of the first occurrence of `needle` that starts on a character boundary.
[[nodiscard]] std::size_t FindDbcs(std::string_view s, std::string_view needle,
                                   std::size_t from = 0);

// The first at most `maxBytes` bytes of `s`, never ending inside a double-byte character.
[[nodiscard]] std::string CutToBytes(std::string_view s, std::size_t maxBytes);

// Upper-cases as Windows does for code page 932: ASCII a-z, the full-width Latin
// letters (0x8281-0x829A become 0x8260-0x8279), the Greek letters (0x83BF-0x83D6
// become 0x839F-0x83B6) and the Cyrillic letters (0x8470-0x847E and 0x8480-0x8491
// become 0x8440-0x8460). Half-width katakana, kanji and every other character stay;
// a trail byte is only ever changed as part of its own letter.
[[nodiscard]] std::string UpperCase(std::string_view s);
// Upper-cases ASCII letters only (lead and trail bytes untouched).
[[nodiscard]] std::string UpperCaseAscii(std::string_view s);

// Compares two names the way Windows compares file names: equal once both are
// upper-cased by UpperCase (ASCII, full-width Latin, Greek and Cyrillic letters).
[[nodiscard]] bool EqualsNoCase(std::string_view a, std::string_view b);

// True when every double-byte character of `s` is complete and decodable.
[[nodiscard]] bool IsValidCp932(std::string_view s);

// Conversion at the edges of the system. On invalid input the function returns false
// and `badOffset` (when given) holds the byte offset of the first invalid sequence;
// `out` then holds the text converted up to that point. Never crashes.
[[nodiscard]] bool Cp932ToUtf8(std::string_view in, std::string& out,
                               std::size_t* badOffset = nullptr);
[[nodiscard]] bool Utf8ToCp932(std::string_view in, std::string& out,
                               std::size_t* badOffset = nullptr);

// Lossy variants for diagnostics: invalid bytes become "?" (never fail).
[[nodiscard]] std::string Cp932ToUtf8Lossy(std::string_view in);
[[nodiscard]] std::string Utf8ToCp932Lossy(std::string_view in);

// Splits text into lines as a Windows text reader does: at CR LF, LF or CR.
// A final line without a terminator is returned; a trailing terminator adds no
// empty line.
[[nodiscard]] std::vector<std::string> SplitLines(std::string_view text);

// Splits `text` at every byte of `separators` that is a character of its own (never at
// the trail byte of a double-byte character, such as the 0x5C of "表"). Empty parts are
// dropped, so leading, trailing and doubled separators do not matter.
[[nodiscard]] std::vector<std::string> SplitAtChars(std::string_view text,
                                                    std::string_view separators);

// ASCII-only helpers used by parsers.
[[nodiscard]] bool IsAsciiDigit(char c);

}  // namespace platform
