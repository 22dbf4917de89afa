// DXF text is read at the edge of the tool: whatever the file's encoding, it becomes
// UTF-8 first (the form of the JSON source), then code page 932 for the drawing, one
// character at a time so that one character the code page lacks costs that character
// only and is counted for the report.
#include "DxfText.h"

#include <cstdint>

#include "platform/Cp932.h"

namespace quillon_tool {
namespace {

// Windows-1252 0x80-0x9F; the five unassigned bytes stay as their C1 code.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Length of the UTF-8 sequence at s[i], or 0 when it is broken.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80             ? 1
                    : (c & 0xE0) == 0xC0 ? 2
                    : (c & 0xF0) == 0xE0 ? 3
                    : (c & 0xF8) == 0xF0 ? 4
                                         : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    }
    return n;
}

// A letter code followed by arguments up to ";".
bool TakesArgument(char code) {
    switch (code) {
        case 'f':
        case 'F':
        case 'H':
        case 'h':
        case 'C':
        case 'c':
        case 'W':
        case 'w':
        case 'T':
        case 't':
        case 'Q':
        case 'q':
        case 'A':
        case 'a':
        case 'p':
            return true;
        default:
            return false;
    }
}

}  // namespace

DxfEncoding EncodingOf(std::string_view acadVersion, std::string_view codePage) {
    // Version strings are "AC" and four digits; they compare in order as text.
    if (acadVersion.size() == 6 && acadVersion >= "AC1021") return DxfEncoding::kUtf8;
    if (platform::EqualsNoCase(codePage, "ANSI_932")) return DxfEncoding::kCp932;
    return DxfEncoding::kCp1252;
}

std::string DecodeDxfString(std::string_view raw, DxfEncoding encoding) {
    std::string text;
    if (encoding == DxfEncoding::kCp932) {
        text = platform::Cp932ToUtf8Lossy(raw);
    } else if (encoding == DxfEncoding::kCp1252) {
        for (const char ch : raw) {
            const auto c = static_cast<unsigned char>(ch);
            AppendUtf8(text, c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : c);
        }
    } else {
        for (std::size_t i = 0; i < raw.size();) {
            const std::size_t n = Utf8Length(raw, i);
            if (n == 0) {
                text += '?';
                ++i;
            } else {
                text.append(raw.substr(i, n));
                i += n;
            }
        }
    }
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 6 < text.size() && (text[i + 1] == 'U' || text[i + 1] == 'u') &&
            text[i + 2] == '+') {
            std::uint32_t c = 0;
            bool ok = true;
            for (std::size_t k = 3; k < 7; ++k) {
                const int d = HexDigit(text[i + k]);
                if (d < 0) ok = false;
                c = c * 16 + static_cast<std::uint32_t>(d < 0 ? 0 : d);
            }
            // A surrogate is no character of its own; it stays as written.
            if (ok && (c < 0xD800 || c > 0xDFFF)) {
                AppendUtf8(out, c);
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

std::vector<std::string> MTextLines(std::string_view s) {
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '{' || c == '}') continue;
        if (c != '\\' || i + 1 >= s.size()) {
            lines.back() += c;
            continue;
        }
        const char code = s[++i];
        if (code == 'P' || code == 'N' || code == 'X') {
            lines.emplace_back();
        } else if (code == '~') {
            lines.back() += ' ';
        } else if (code == '\\' || code == '{' || code == '}') {
            lines.back() += code;
        } else if (code == 'L' || code == 'l' || code == 'O' || code == 'o' || code == 'K' ||
                   code == 'k') {
        } else if (code == 'S') {
            for (++i; i < s.size() && s[i] != ';'; ++i) {
                lines.back() += (s[i] == '^' || s[i] == '#') ? '/' : s[i];
            }
        } else if (TakesArgument(code)) {
            while (i + 1 < s.size() && s[i + 1] != ';') ++i;
            ++i;  // the ";"
        } else {
            lines.back() += code;
        }
    }
    return lines;
}

std::string ToCp932Replacing(std::string_view utf8, std::size_t& replaced) {
    std::string out, one;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t n = Utf8Length(utf8, i);
        if (n == 0) {
            out += '?';
            ++replaced;
            ++i;
            continue;
        }
        if (platform::Utf8ToCp932(utf8.substr(i, n), one)) {
            out += one;
        } else {
            out += '?';
            ++replaced;
        }
        i += n;
    }
    return out;
}

}  // namespace quillon_tool
