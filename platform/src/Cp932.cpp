// Code page 932 helpers and the conversion to and from UTF-8.
//
// The byte-level helpers never look at a byte without knowing whether it starts a
// character: they always walk from the start of the text, character by character,
// because a trail byte (0x40-0xFC) can look like "\" or an ASCII letter.
//
// Conversion goes through the C library's iconv ("CP932"). Opening a converter is
// expensive, and the installer's UI and worker threads both convert file names all the
// time, so each thread keeps its own pair of descriptors for its whole life.
#include "platform/Cp932.h"

#include <iconv.h>

#include <cerrno>

#include "IconvText.h"

namespace platform {

std::size_t FindCharDbcs(std::string_view s, char ch, std::size_t from) {
    // Walk from the start so that `from` inside a pair is handled sensibly: the
    // search begins at the first character that starts at or after `from`.
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (i >= from && s[i] == ch) return i;
    }
    return std::string_view::npos;
}

std::size_t FindLastCharDbcs(std::string_view s, char ch) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (s[i] == ch) found = i;
    }
    return found;
}

std::size_t FindLastPathDelimiter(std::string_view s) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (s[i] == '\\' || s[i] == ':') found = i;
    }
    return found;
}

std::size_t FindDbcs(std::string_view s, std::string_view needle, std::size_t from) {
    if (needle.empty()) return from <= s.size() ? from : std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); i += CharLength(s, i)) {
        if (i >= from && s.substr(i, needle.size()) == needle) return i;
    }
    return std::string_view::npos;
}

std::string CutToBytes(std::string_view s, std::size_t maxBytes) {
    std::size_t end = 0;
    while (end < s.size()) {
        std::size_t len = CharLength(s, end);
        if (end + len > maxBytes) break;
        end += len;
    }
    return std::string(s.substr(0, end));
}

namespace {

// The trail byte of the upper-case form of the double-byte character lead + trail;
// the trail itself when the character has no other case. The lower-case letters of
// code page 932 sit in three blocks, each a fixed distance above its upper-case block.
unsigned char UpperTrail(unsigned char lead, unsigned char trail) {
    switch (lead) {
        case 0x82:  // full-width a-z: 0x8281-0x829A -> 0x8260-0x8279
            if (trail >= 0x81 && trail <= 0x9A) return static_cast<unsigned char>(trail - 0x21);
            break;
        case 0x83:  // Greek: 0x83BF-0x83D6 -> 0x839F-0x83B6
            if (trail >= 0xBF && trail <= 0xD6) return static_cast<unsigned char>(trail - 0x20);
            break;
        case 0x84:  // Cyrillic: 0x8470-0x847E, 0x8480-0x8491 -> 0x8440-0x8460 (no 0x847F)
            if (trail >= 0x70 && trail <= 0x7E) return static_cast<unsigned char>(trail - 0x30);
            if (trail >= 0x80 && trail <= 0x91) return static_cast<unsigned char>(trail - 0x31);
            break;
        default:
            break;
    }
    return trail;
}

}  // namespace

std::string UpperCase(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size();) {
        auto c = static_cast<unsigned char>(out[i]);
        std::size_t len = CharLength(out, i);
        if (len == 1) {
            if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 0x20);
        } else {
            out[i + 1] = static_cast<char>(UpperTrail(c, static_cast<unsigned char>(out[i + 1])));
        }
        i += len;
    }
    return out;
}

std::string UpperCaseAscii(std::string_view s) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size(); i += CharLength(out, i)) {
        if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 0x20);
    }
    return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && UpperCase(a) == UpperCase(b);
}

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

namespace {

// One direction of conversion, opened on first use in each thread.
class Converter {
  public:
    Converter(const char* to, const char* from) : to_(to), from_(from) {}
    ~Converter() {
        if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; on an invalid or incomplete sequence stops there, reports its
    // offset and returns false with the text converted so far in `out`.
    bool Convert(std::string_view in, std::string& out, std::size_t* badOffset) {
        out.clear();
        if (cd_ == reinterpret_cast<iconv_t>(-1)) {
            cd_ = iconv_open(to_, from_);
            if (cd_ == reinterpret_cast<iconv_t>(-1)) {
                if (badOffset) *badOffset = 0;
                return false;
            }
        }
        return detail::ConvertThroughIconv(cd_, in, out, badOffset);
    }

  private:
    const char* to_;
    const char* from_;
    iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

Converter& ToUtf8() {
    thread_local Converter c("UTF-8", "CP932");
    return c;
}

Converter& ToCp932() {
    thread_local Converter c("CP932", "UTF-8");
    return c;
}

// Converts with `conv`, replacing each invalid sequence by "?" and going on.
std::string ConvertLossy(Converter& conv, std::string_view in, bool sourceIsCp932) {
    std::string result, part;
    while (!in.empty()) {
        std::size_t bad = 0;
        if (conv.Convert(in, part, &bad)) {
            result += part;
            break;
        }
        result += part;
        result += '?';
        // Skip the offending character: a whole pair in code page 932, else one byte
        // plus any UTF-8 continuation bytes that belong to it.
        std::size_t skip = 1;
        if (sourceIsCp932) {
            // A lead byte followed by a byte that cannot be a trail byte is a lone
            // byte; the byte after it is a character of its own.
            auto trail = bad + 1 < in.size() ? static_cast<unsigned char>(in[bad + 1]) : 0;
            if (CharLength(in, bad) == 2 && trail >= 0x40 && trail != 0x7F) skip = 2;
        } else {
            while (bad + skip < in.size() &&
                   (static_cast<unsigned char>(in[bad + skip]) & 0xC0) == 0x80)
                ++skip;
        }
        in.remove_prefix(bad + skip);
    }
    return result;
}

}  // namespace

bool IsValidCp932(std::string_view s) {
    std::string scratch;
    return ToUtf8().Convert(s, scratch, nullptr);
}

bool Cp932ToUtf8(std::string_view in, std::string& out, std::size_t* badOffset) {
    return ToUtf8().Convert(in, out, badOffset);
}

bool Utf8ToCp932(std::string_view in, std::string& out, std::size_t* badOffset) {
    return ToCp932().Convert(in, out, badOffset);
}

std::string Cp932ToUtf8Lossy(std::string_view in) { return ConvertLossy(ToUtf8(), in, true); }

std::string Utf8ToCp932Lossy(std::string_view in) { return ConvertLossy(ToCp932(), in, false); }

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            start = i + 1;
        }
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::vector<std::string> SplitAtChars(std::string_view text, std::string_view separators) {
    std::vector<std::string> parts;
    std::string cur;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = CharLength(text, i);
        if (len == 1 && separators.find(text[i]) != std::string_view::npos) {
            if (!cur.empty()) parts.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.append(text.substr(i, len));
        }
        i += len;
    }
    if (!cur.empty()) parts.push_back(std::move(cur));
    return parts;
}

namespace detail {

bool ConvertThroughIconv(iconv_t cd, std::string_view in, std::string& out,
                         std::size_t* badOffset) {
    out.clear();
    iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset the shift state
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buffer[4096];
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            if (badOffset) *badOffset = in.size() - srcLeft;
            return false;
        }
    }
    return true;
}

}  // namespace detail

}  // namespace platform
