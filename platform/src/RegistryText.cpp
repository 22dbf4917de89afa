// The ".reg" text parser and writer (RegistryText.h).
#include "RegistryText.h"

#include <iconv.h>

#include <cstdint>
#include <cstdio>

#include "IconvText.h"
#include "platform/Cp932.h"

namespace platform::hive {
namespace {

// ---- text encodings ----

bool IconvConvert(const char* to, const char* from, std::string_view in, std::string& out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    const bool ok = detail::ConvertThroughIconv(cd, in, out, nullptr);
    iconv_close(cd);
    return ok;
}

// Structural UTF-8 check (well-formed sequences, no overlongs or surrogates); run on
// every hive load, so it is done by hand rather than by a full conversion.
bool IsValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t len;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > s.size()) return false;
        for (std::size_t k = 1; k < len; ++k) {
            auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (t & 0x3F);
        }
        static constexpr std::uint32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += len;
    }
    return true;
}

// ---- parsing ----

struct ParseError {
    std::size_t line = 0;
    std::string what;
};

class Parser {
  public:
    Parser(bool allowDeletions, bool unicodeHex)
        : allowDeletions_(allowDeletions), unicodeHex_(unicodeHex) {}

    // Parses the lines after the header. Fills `ops`; false with `error` on the first
    // malformed line.
    bool Parse(const std::vector<std::string>& lines, std::size_t firstLine, std::vector<Op>& ops,
               ParseError& error) {
        bool haveKey = false;
        RegRoot root = RegRoot::CurrentUser;
        Components path;
        for (std::size_t i = firstLine; i < lines.size(); ++i) {
            std::size_t lineNo = i + 1;
            std::string line = Trim(lines[i]);
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                if (line.back() != ']')
                    return Fail(error, lineNo, "key line without closing \"]\"");
                std::string inner = line.substr(1, line.size() - 2);
                bool remove = !inner.empty() && inner[0] == '-';
                if (remove) {
                    if (!allowDeletions_)
                        return Fail(error, lineNo, "key deletion is not allowed in a hive");
                    inner.erase(0, 1);
                }
                std::string cp932;
                if (!Utf8ToCp932(inner, cp932))
                    return Fail(error, lineNo, "key name not representable in code page 932");
                Components parts = SplitKeyPath(cp932);
                if (parts.empty() || !ParseRegRootName(parts[0], root)) {
                    return Fail(error, lineNo,
                                "unknown root key \"" +
                                    (parts.empty() ? std::string() : Cp932ToUtf8Lossy(parts[0])) +
                                    "\"");
                }
                path.assign(parts.begin() + 1, parts.end());
                if (path.size() > kMaxKeyDepth)
                    return Fail(error, lineNo, "key nested deeper than 512 levels");
                if (remove) {
                    if (path.empty()) return Fail(error, lineNo, "a root key cannot be deleted");
                    ops.push_back({OpKind::DeleteKey, root, path, {}});
                    haveKey = false;  // values after a deleted key have nowhere to go
                    deletedKey_ = true;
                } else {
                    ops.push_back({OpKind::CreateKey, root, path, {}});
                    haveKey = true;
                    deletedKey_ = false;
                }
                continue;
            }
            // A value line; hex lists may continue over lines ending in "\".
            while (line.back() == '\\' && IsHexValueLine(line) && i + 1 < lines.size()) {
                line.pop_back();
                line += Trim(lines[++i]);
            }
            if (!haveKey) {
                return Fail(
                    error, lineNo,
                    deletedKey_ ? "value under a deleted key" : "value line before any key");
            }
            Value v;
            bool remove = false;
            std::string what;
            if (!ParseValueLine(line, v, remove, what)) return Fail(error, lineNo, what);
            if (remove) {
                if (!allowDeletions_)
                    return Fail(error, lineNo, "value deletion is not allowed in a hive");
                ops.push_back({OpKind::DeleteValue, root, path, v});
            } else {
                ops.push_back({OpKind::SetValue, root, path, v});
            }
        }
        return true;
    }

  private:
    static bool Fail(ParseError& error, std::size_t line, std::string what) {
        error.line = line;
        error.what = std::move(what);
        return false;
    }

    static std::string Trim(std::string_view s) {
        std::size_t b = 0, e = s.size();
        while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
        while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
        return std::string(s.substr(b, e - b));
    }

    // True when the data part of a value line (after the name) begins with "hex".
    static bool IsHexValueLine(const std::string& line) {
        std::size_t eq = NameEnd(line);
        if (eq == std::string::npos || eq >= line.size() || line[eq] != '=') return false;
        return line.compare(eq + 1, 3, "hex") == 0;
    }

    // Position just after the value name ("@" or a quoted name), or npos.
    static std::size_t NameEnd(const std::string& line) {
        if (line.empty()) return std::string::npos;
        if (line[0] == '@') return 1;
        if (line[0] != '"') return std::string::npos;
        for (std::size_t i = 1; i < line.size(); ++i) {
            if (line[i] == '\\') {
                ++i;
            } else if (line[i] == '"') {
                return i + 1;
            }
        }
        return std::string::npos;
    }

    // Unescapes a quoted string starting at line[pos] == '"'; `end` gets the position
    // after the closing quote.
    static bool ParseQuoted(const std::string& line, std::size_t pos, std::string& out,
                            std::size_t& end) {
        out.clear();
        for (std::size_t i = pos + 1; i < line.size(); ++i) {
            char c = line[i];
            if (c == '\\') {
                if (i + 1 >= line.size()) return false;
                char n = line[++i];
                if (n == '\\' || n == '"') {
                    out += n;
                } else {
                    return false;
                }
            } else if (c == '"') {
                end = i + 1;
                return true;
            } else {
                out += c;
            }
        }
        return false;
    }

    bool ParseValueLine(const std::string& line, Value& v, bool& remove, std::string& what) {
        std::size_t pos;
        if (line[0] == '@') {
            v.name.clear();
            pos = 1;
        } else if (line[0] == '"') {
            std::string utf8;
            if (!ParseQuoted(line, 0, utf8, pos)) return Err(what, "malformed value name");
            if (!Utf8ToCp932(utf8, v.name))
                return Err(what, "value name not representable in code page 932");
        } else {
            return Err(what, "expected a key in [] or a value line");
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=')
            return Err(what, "expected \"=\" after the value name");
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        std::string data = line.substr(pos);
        if (data == "-") {
            remove = true;
            return true;
        }
        if (!data.empty() && data[0] == '"') {
            std::string utf8;
            std::size_t end;
            if (!ParseQuoted(data, 0, utf8, end))
                return Err(what, "malformed string data (escape only \\\\ and \\\")");
            if (Trim(data.substr(end)).size() != 0)
                return Err(what, "text after the closing quote");
            if (!Utf8ToCp932(utf8, v.data))
                return Err(what, "string not representable in code page 932");
            v.type = RegType::Sz;
            return true;
        }
        if (data.compare(0, 6, "dword:") == 0) {
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8)
                return Err(what, "dword needs 1 to 8 hex digits");
            std::uint32_t n = 0;
            for (char c : digits) {
                int d = HexDigit(c);
                if (d < 0) return Err(what, "bad hex digit in dword");
                n = (n << 4) | static_cast<std::uint32_t>(d);
            }
            v.type = RegType::Dword;
            v.data = {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                      static_cast<char>((n >> 16) & 0xFF), static_cast<char>((n >> 24) & 0xFF)};
            return true;
        }
        if (data.compare(0, 3, "hex") == 0) return ParseHex(data, v, what);
        return Err(what, "unknown value data");
    }

    static int HexDigit(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    bool ParseHex(const std::string& data, Value& v, std::string& what) {
        std::size_t pos = 3;
        std::uint32_t type = static_cast<std::uint32_t>(RegType::Binary);
        if (pos < data.size() && data[pos] == '(') {
            std::size_t close = data.find(')', pos);
            if (close == std::string::npos || close == pos + 1 || close - pos > 9)
                return Err(what, "malformed hex(type)");
            type = 0;
            for (std::size_t i = pos + 1; i < close; ++i) {
                int d = HexDigit(data[i]);
                if (d < 0) return Err(what, "malformed hex(type)");
                type = (type << 4) | static_cast<std::uint32_t>(d);
            }
            pos = close + 1;
        }
        if (pos >= data.size() || data[pos] != ':') return Err(what, "expected \":\" after hex");
        ++pos;
        std::string bytes;
        std::size_t i = pos;
        while (i < data.size()) {
            while (i < data.size() && (data[i] == ' ' || data[i] == '\t')) ++i;
            if (i >= data.size()) break;
            if (i + 1 >= data.size()) return Err(what, "incomplete hex byte");
            int hi = HexDigit(data[i]), lo = HexDigit(data[i + 1]);
            if (hi < 0 || lo < 0) return Err(what, "bad hex byte");
            bytes += static_cast<char>(hi * 16 + lo);
            i += 2;
            while (i < data.size() && (data[i] == ' ' || data[i] == '\t')) ++i;
            if (i < data.size()) {
                if (data[i] != ',') return Err(what, "expected \",\" between hex bytes");
                ++i;
            }
        }
        v.type = static_cast<RegType>(type);
        if (v.type == RegType::Sz || v.type == RegType::ExpandSz || v.type == RegType::MultiSz) {
            return DecodeHexText(bytes, v, what);
        }
        v.data = std::move(bytes);
        return true;
    }

    // Text given as hex bytes: code page 932 in a REGEDIT4 file, UTF-16LE in a
    // version 5 file; the terminating NUL(s) are dropped.
    bool DecodeHexText(const std::string& bytes, Value& v, std::string& what) {
        std::string text;
        if (unicodeHex_) {
            std::string utf8;
            std::string even = bytes.substr(0, bytes.size() & ~static_cast<std::size_t>(1));
            if (!IconvConvert("UTF-8", "UTF-16LE", even, utf8))
                return Err(what, "bad UTF-16 text in hex data");
            if (!Utf8ToCp932(utf8, text))
                return Err(what, "text not representable in code page 932");
        } else {
            text = bytes;
        }
        if (v.type == RegType::MultiSz) {
            while (!text.empty() && text.back() == '\0') text.pop_back();  // list end
        } else if (std::size_t nul = text.find('\0'); nul != std::string::npos) {
            text.resize(nul);
        }
        v.data = std::move(text);
        return true;
    }

    static bool Err(std::string& what, std::string text) {
        what = std::move(text);
        return false;
    }

    bool allowDeletions_;
    bool unicodeHex_;
    bool deletedKey_ = false;
};

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

}  // namespace

bool ParseRegText(std::string_view raw, const std::string& fileLabel, bool allowDeletions,
                  std::vector<Op>& ops, std::string& errorText) {
    std::string text;
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
        static_cast<unsigned char>(raw[1]) == 0xFE) {
        if (!IconvConvert("UTF-8", "UTF-16LE", std::string_view(raw).substr(2), text)) {
            errorText = fileLabel + ":1: bad UTF-16 text";
            return false;
        }
    } else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = raw.substr(3);
    } else if (IsValidUtf8(raw)) {
        text = raw;
    } else if (!Cp932ToUtf8(raw, text)) {
        errorText = fileLabel + ": neither UTF-8 nor code page 932 text";
        return false;
    }
    std::vector<std::string> lines = SplitLines(text);
    std::size_t first = 0;
    while (first < lines.size() && lines[first].find_first_not_of(" \t") == std::string::npos)
        ++first;
    if (first >= lines.size()) {
        errorText = fileLabel + ":1: missing header line \"REGEDIT4\"";
        return false;
    }
    std::string header = lines[first];
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t')) header.pop_back();
    bool v5 = header == kHeader5;
    if (header != kHeader4 && !v5) {
        errorText = fileLabel + ":" + std::to_string(first + 1) + ": expected \"REGEDIT4\" or \"" +
                    std::string(kHeader5) + "\"";
        return false;
    }
    Parser parser(allowDeletions, v5);
    ParseError error;
    if (!parser.Parse(lines, first + 1, ops, error)) {
        errorText = fileLabel + ":" + std::to_string(error.line) + ": " + error.what;
        return false;
    }
    return true;
}

void ApplyOps(const std::vector<Op>& ops, RegRoot root, Key& tree) {
    for (const auto& op : ops) {
        if (op.root != root) continue;
        switch (op.kind) {
            case OpKind::CreateKey:
                CreateKeyPath(tree, op.path);
                break;
            case OpKind::DeleteKey:
                DeleteKeyPath(tree, op.path);
                break;
            case OpKind::SetValue:
                CreateKeyPath(tree, op.path)->SetValue(op.value);
                break;
            case OpKind::DeleteValue:
                if (Key* k = FindKey(tree, op.path)) k->RemoveValue(op.value.name);
                break;
        }
    }
}

// ---- writing ----

namespace {

std::string EscapeString(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// "hex(N):" followed by the bytes, wrapped as the Windows editor wraps them.
void WriteHex(std::string& out, std::size_t column, std::string_view prefix,
              std::string_view bytes) {
    out += prefix;
    column += prefix.size();
    static const char* digits = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<unsigned char>(bytes[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column > 76) {
                out += "\\\n  ";
                column = 2;
            }
        }
    }
}

void WriteValue(std::string& out, const Value& v) {
    std::size_t start = out.size();
    if (v.name.empty()) {
        out += "@=";
    } else {
        std::string utf8;
        if (!Cp932ToUtf8(v.name, utf8))
            utf8 = Cp932ToUtf8Lossy(v.name);  // names are checked on entry
        out += '"' + EscapeString(utf8) + "\"=";
    }
    std::size_t column = out.size() - start;
    std::string utf8;
    bool plainText = v.type == RegType::Sz && Cp932ToUtf8(v.data, utf8) &&
                     v.data.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
    if (plainText) {
        out += '"' + EscapeString(utf8) + '"';
    } else if (v.type == RegType::Dword && v.data.size() == 4) {
        std::uint32_t n = 0;
        for (int i = 3; i >= 0; --i)
            n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        out += buf;
    } else if (v.type == RegType::Binary) {
        WriteHex(out, column, "hex:", v.data);
    } else {
        // Text kept as code page 932 bytes with its terminator(s), the REGEDIT4 way;
        // also how a string holding line breaks or undecodable bytes is kept intact.
        std::string bytes = v.data;
        if (v.type == RegType::Sz || v.type == RegType::ExpandSz) bytes += '\0';
        if (v.type == RegType::MultiSz) bytes += std::string(bytes.empty() ? 1 : 2, '\0');
        char prefix[24];
        std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(v.type));
        WriteHex(out, column, prefix, bytes);
    }
    out += '\n';
}

// Writes `key` (path `path`, code page 932 with the root name first) and its subtree.
void WriteKey(std::string& out, const Key& key, const std::string& path, bool writeHeaderAlways) {
    if (writeHeaderAlways || !key.values.empty() || key.children.empty()) {
        out += '[' + Cp932ToUtf8Lossy(path) + "]\n";
        for (const auto& v : key.values) WriteValue(out, v);
        out += '\n';
    }
    for (const auto& c : key.children) WriteKey(out, *c, path + "\\" + c->name, true);
}

}  // namespace

std::string SerializeTree(const Key& node, const std::string& path, bool isRoot) {
    std::string out = std::string(kHeader4) + "\n\n";
    if (isRoot) {
        // The root itself gets a section only when it holds values.
        if (!node.values.empty()) {
            out += '[' + path + "]\n";
            for (const auto& v : node.values) WriteValue(out, v);
            out += '\n';
        }
        for (const auto& c : node.children) WriteKey(out, *c, path + "\\" + c->name, true);
    } else {
        WriteKey(out, node, path, true);
    }
    return out;
}

}  // namespace platform::hive
