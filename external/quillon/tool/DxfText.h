// Texts of DXF drawings on their way into a drawing: the file's bytes to UTF-8, MTEXT
// formatting codes to plain lines, and UTF-8 to code page 932.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quillon_tool {

// How the strings of a DXF file are encoded: UTF-8 from AutoCAD 2007 ($ACADVER AC1021)
// on, before that the code page named by $DWGCODEPAGE (ANSI_932 is code page 932; any
// other is read as Windows-1252, the code page of nearly every such file).
enum class DxfEncoding { kUtf8, kCp932, kCp1252 };

[[nodiscard]] DxfEncoding EncodingOf(std::string_view acadVersion, std::string_view codePage);

// A DXF string as UTF-8: the bytes decoded by `encoding` (invalid ones become "?"),
// and the escapes \U+XXXX (a Unicode character) replaced by their character.
[[nodiscard]] std::string DecodeDxfString(std::string_view raw, DxfEncoding encoding);

// The plain text of MTEXT content (UTF-8) as its lines: \P and \N break lines; \~ is a
// space; \\, \{ and \} are the characters; braces, font, height, colour, width,
// tracking, slant, alignment (\f \F \H \C \c \W \T \Q \A \p ... up to ";") and the
// underline, overline and strike toggles (\L \l \O \o \K \k) go; a stack \Sa^b; is
// "a/b". An unknown code keeps its letter.
[[nodiscard]] std::vector<std::string> MTextLines(std::string_view content);

// UTF-8 text as code page 932 (through platform/Cp932.h), character by character:
// each character that code page 932 cannot hold, and each broken UTF-8 byte, becomes
// "?" and is counted in `replaced`.
[[nodiscard]] std::string ToCp932Replacing(std::string_view utf8, std::size_t& replaced);

}  // namespace quillon_tool
