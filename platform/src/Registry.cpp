// The registry, kept as two ".reg" text files in the prefix.
//
// Every operation works on the file, never on a copy held in memory: it takes a lock,
// reads and parses the hive, and a change writes the whole hive to a temporary file and
// renames it over the old one. The lock is flock() on a separate "<hive>.lock" file
// (shared for reads, exclusive for changes), because the hive itself is replaced by
// every save and a lock on it would be lost with the old inode. So two processes that
// change the same hive at once are serialised and lose nothing, a reader never sees a
// half-written hive, and a crash leaves either the old or the new file.
//
// Both hives and imported files are read by one parser that turns the text into a list
// of operations (create key, delete key, set value, delete value); loading a hive is
// applying its operations to an empty tree. Deletions are only allowed in imports.
#include "platform/Registry.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "ErrnoError.h"
#include "IconvText.h"
#include "platform/AtomicWrite.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"
#include "platform/UniqueFd.h"

namespace platform {
namespace {

thread_local std::string gLastError;

// ---- the tree ----

struct Value {
    std::string name;  // code page 932; "" = default value
    RegType type = RegType::None;
    std::string data;
};

// A key with its subkeys and values in stored order, plus indexes by upper-cased name:
// a hive of a few thousand values is parsed on every operation, so lookups while
// loading must not be linear.
struct Key {
    std::string name;  // code page 932, stored case
    std::vector<Value> values;
    std::vector<std::unique_ptr<Key>> children;
    std::unordered_map<std::string, std::size_t> valueIndex;  // UpperCase(name) -> values[i]
    std::unordered_map<std::string, Key*> childIndex;         // UpperCase(name) -> child

    Key* Child(std::string_view n) {
        auto it = childIndex.find(UpperCase(n));
        return it == childIndex.end() ? nullptr : it->second;
    }
    Key* AddChild(std::string_view n) {
        std::string upper = UpperCase(n);
        if (auto it = childIndex.find(upper); it != childIndex.end()) return it->second;
        children.push_back(std::make_unique<Key>());
        children.back()->name = std::string(n);
        childIndex.emplace(std::move(upper), children.back().get());
        return children.back().get();
    }
    bool RemoveChild(std::string_view n) {
        auto it = childIndex.find(UpperCase(n));
        if (it == childIndex.end()) return false;
        Key* child = it->second;
        childIndex.erase(it);
        std::erase_if(children, [child](const std::unique_ptr<Key>& c) { return c.get() == child; });
        return true;
    }
    Value* FindValue(std::string_view n) {
        auto it = valueIndex.find(UpperCase(n));
        return it == valueIndex.end() ? nullptr : &values[it->second];
    }
    void SetValue(const Value& v) {
        std::string upper = UpperCase(v.name);
        if (auto it = valueIndex.find(upper); it != valueIndex.end()) {
            values[it->second].type = v.type;
            values[it->second].data = v.data;  // the name keeps its stored case
            return;
        }
        valueIndex.emplace(std::move(upper), values.size());
        values.push_back(v);
    }
    bool RemoveValue(std::string_view n) {
        auto it = valueIndex.find(UpperCase(n));
        if (it == valueIndex.end()) return false;
        values.erase(values.begin() + static_cast<std::ptrdiff_t>(it->second));
        valueIndex.clear();
        for (std::size_t i = 0; i < values.size(); ++i) valueIndex.emplace(UpperCase(values[i].name), i);
        return true;
    }
};

using Components = std::vector<std::string>;

// Splits a key path at "\" (a character of its own), dropping empty parts so leading,
// trailing and doubled separators do not matter.
Components SplitKeyPath(std::string_view path) {
    Components parts;
    std::string cur;
    for (std::size_t i = 0; i < path.size();) {
        std::size_t len = CharLength(path, i);
        if (len == 1 && path[i] == '\\') {
            if (!cur.empty()) parts.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.append(path.substr(i, len));
        }
        i += len;
    }
    if (!cur.empty()) parts.push_back(std::move(cur));
    return parts;
}

// Keys nest at most this deep below a root, as on Windows; deeper paths are refused
// (the hive writer descends once per level).
constexpr std::size_t kMaxKeyDepth = 512;

// A key or value name the hive file can hold: valid code page 932 without line
// breaks or NUL (a raw line break would end the name's line in the file, and every
// later read of the hive would fail).
bool ValidName(std::string_view name) {
    return IsValidCp932(name) && name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

Key* FindKey(Key& root, const Components& parts, std::string* storedPath = nullptr) {
    Key* k = &root;
    std::string stored;
    for (const auto& p : parts) {
        k = k->Child(p);
        if (!k) return nullptr;
        if (!stored.empty()) stored += '\\';
        stored += k->name;
    }
    if (storedPath) *storedPath = stored;
    return k;
}

Key* CreateKeyPath(Key& root, const Components& parts) {
    Key* k = &root;
    for (const auto& p : parts) k = k->AddChild(p);
    return k;
}

bool DeleteKeyPath(Key& root, const Components& parts) {
    if (parts.empty()) return false;
    Components parentParts(parts.begin(), parts.end() - 1);
    Key* parent = FindKey(root, parentParts);
    return parent && parent->RemoveChild(parts.back());
}

void SetValueIn(Key& key, const Value& v) { key.SetValue(v); }

bool DeleteValueIn(Key& key, std::string_view name) { return key.RemoveValue(name); }

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

enum class OpKind { CreateKey, DeleteKey, SetValue, DeleteValue };

struct Op {
    OpKind kind;
    RegRoot root;
    Components path;
    Value value;  // SetValue; DeleteValue uses only the name
};

struct ParseError {
    std::size_t line = 0;
    std::string what;
};

class Parser {
public:
    Parser(bool allowDeletions, bool unicodeHex) : allowDeletions_(allowDeletions), unicodeHex_(unicodeHex) {}

    // Parses the lines after the header. Fills `ops`; false with `error` on the first
    // malformed line.
    bool Parse(const std::vector<std::string>& lines, std::size_t firstLine, std::vector<Op>& ops, ParseError& error) {
        bool haveKey = false;
        RegRoot root = RegRoot::CurrentUser;
        Components path;
        for (std::size_t i = firstLine; i < lines.size(); ++i) {
            std::size_t lineNo = i + 1;
            std::string line = Trim(lines[i]);
            if (line.empty() || line[0] == ';') continue;
            if (line[0] == '[') {
                if (line.back() != ']') return Fail(error, lineNo, "key line without closing \"]\"");
                std::string inner = line.substr(1, line.size() - 2);
                bool remove = !inner.empty() && inner[0] == '-';
                if (remove) {
                    if (!allowDeletions_) return Fail(error, lineNo, "key deletion is not allowed in a hive");
                    inner.erase(0, 1);
                }
                std::string cp932;
                if (!Utf8ToCp932(inner, cp932)) return Fail(error, lineNo, "key name not representable in code page 932");
                Components parts = SplitKeyPath(cp932);
                if (parts.empty() || !ParseRegRootName(parts[0], root)) {
                    return Fail(error, lineNo, "unknown root key \"" + (parts.empty() ? std::string() : Cp932ToUtf8Lossy(parts[0])) + "\"");
                }
                path.assign(parts.begin() + 1, parts.end());
                if (path.size() > kMaxKeyDepth) return Fail(error, lineNo, "key nested deeper than 512 levels");
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
                return Fail(error, lineNo, deletedKey_ ? "value under a deleted key" : "value line before any key");
            }
            Value v;
            bool remove = false;
            std::string what;
            if (!ParseValueLine(line, v, remove, what)) return Fail(error, lineNo, what);
            if (remove) {
                if (!allowDeletions_) return Fail(error, lineNo, "value deletion is not allowed in a hive");
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
    static bool ParseQuoted(const std::string& line, std::size_t pos, std::string& out, std::size_t& end) {
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
            if (!Utf8ToCp932(utf8, v.name)) return Err(what, "value name not representable in code page 932");
        } else {
            return Err(what, "expected a key in [] or a value line");
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') return Err(what, "expected \"=\" after the value name");
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
            if (!ParseQuoted(data, 0, utf8, end)) return Err(what, "malformed string data (escape only \\\\ and \\\")");
            if (Trim(data.substr(end)).size() != 0) return Err(what, "text after the closing quote");
            if (!Utf8ToCp932(utf8, v.data)) return Err(what, "string not representable in code page 932");
            v.type = RegType::Sz;
            return true;
        }
        if (data.compare(0, 6, "dword:") == 0) {
            std::string digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) return Err(what, "dword needs 1 to 8 hex digits");
            std::uint32_t n = 0;
            for (char c : digits) {
                int d = HexDigit(c);
                if (d < 0) return Err(what, "bad hex digit in dword");
                n = (n << 4) | static_cast<std::uint32_t>(d);
            }
            v.type = RegType::Dword;
            v.data = {static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF), static_cast<char>((n >> 16) & 0xFF),
                      static_cast<char>((n >> 24) & 0xFF)};
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
            if (close == std::string::npos || close == pos + 1 || close - pos > 9) return Err(what, "malformed hex(type)");
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
            if (!IconvConvert("UTF-8", "UTF-16LE", even, utf8)) return Err(what, "bad UTF-16 text in hex data");
            if (!Utf8ToCp932(utf8, text)) return Err(what, "text not representable in code page 932");
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

// Decodes a .reg file to UTF-8 lines and parses it. `fileLabel` names the file in
// the error text.
WinError ParseRegText(const std::string& raw, const std::string& fileLabel, bool allowDeletions,
                      std::vector<Op>& ops) {
    std::string text;
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF && static_cast<unsigned char>(raw[1]) == 0xFE) {
        if (!IconvConvert("UTF-8", "UTF-16LE", std::string_view(raw).substr(2), text)) {
            gLastError = fileLabel + ":1: bad UTF-16 text";
            return kErrorBadRegistryFile;
        }
    } else if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        text = raw.substr(3);
    } else if (IsValidUtf8(raw)) {
        text = raw;
    } else if (!Cp932ToUtf8(raw, text)) {
        gLastError = fileLabel + ": neither UTF-8 nor code page 932 text";
        return kErrorBadRegistryFile;
    }
    std::vector<std::string> lines = SplitLines(text);
    std::size_t first = 0;
    while (first < lines.size() && lines[first].find_first_not_of(" \t") == std::string::npos) ++first;
    if (first >= lines.size()) {
        gLastError = fileLabel + ":1: missing header line \"REGEDIT4\"";
        return kErrorBadRegistryFile;
    }
    std::string header = lines[first];
    while (!header.empty() && (header.back() == ' ' || header.back() == '\t')) header.pop_back();
    bool v5 = header == kHeader5;
    if (header != kHeader4 && !v5) {
        gLastError = fileLabel + ":" + std::to_string(first + 1) + ": expected \"REGEDIT4\" or \"" +
                     std::string(kHeader5) + "\"";
        return kErrorBadRegistryFile;
    }
    Parser parser(allowDeletions, v5);
    ParseError error;
    if (!parser.Parse(lines, first + 1, ops, error)) {
        gLastError = fileLabel + ":" + std::to_string(error.line) + ": " + error.what;
        return kErrorBadRegistryFile;
    }
    return kErrorSuccess;
}

void ApplyOps(const std::vector<Op>& ops, RegRoot root, Key& tree) {
    for (const auto& op : ops) {
        if (op.root != root) continue;
        switch (op.kind) {
            case OpKind::CreateKey: CreateKeyPath(tree, op.path); break;
            case OpKind::DeleteKey: DeleteKeyPath(tree, op.path); break;
            case OpKind::SetValue: SetValueIn(*CreateKeyPath(tree, op.path), op.value); break;
            case OpKind::DeleteValue:
                if (Key* k = FindKey(tree, op.path)) DeleteValueIn(*k, op.value.name);
                break;
        }
    }
}

// ---- writing ----

std::string EscapeString(std::string_view utf8) {
    std::string out;
    for (char c : utf8) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out;
}

// "hex(N):" followed by the bytes, wrapped as the Windows editor wraps them.
void WriteHex(std::string& out, std::size_t column, std::string_view prefix, std::string_view bytes) {
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
        if (!Cp932ToUtf8(v.name, utf8)) utf8 = Cp932ToUtf8Lossy(v.name);  // names are checked on entry
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
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
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

// ---- hive files and locks ----

std::string HivePath(RegRoot root) {
    return PrefixDir() + (root == RegRoot::LocalMachine ? "/system.reg" : "/user.reg");
}

// The lock on one hive, held while the descriptor of its lock file is open: closing it
// (when the lock goes out of scope) releases the lock.
class HiveLock {
public:
    // Locks the hive of `root`. For a change the prefix folder is created when
    // missing; a read of a prefix that does not exist needs no lock (nothing to read).
    [[nodiscard]] WinError Acquire(RegRoot root, bool exclusive) {
        if (exclusive && mkdir(PrefixDir().c_str(), 0777) != 0 && errno != EEXIST) {
            return detail::ErrnoToWinError(errno);
        }
        std::string path = HivePath(root) + ".lock";
        fd_.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
        if (!fd_) {
            if (!exclusive && errno == ENOENT) return kErrorSuccess;
            return detail::ErrnoToWinError(errno);
        }
        while (flock(fd_.Get(), exclusive ? LOCK_EX : LOCK_SH) != 0) {
            if (errno != EINTR) return detail::ErrnoToWinError(errno);
        }
        return kErrorSuccess;
    }

    // The save counter kept in the lock file: every save under the exclusive lock
    // adds one, so a reader holding the lock can tell whether the hive it parsed
    // earlier is still the latest. 0 when there is no lock file or no counter yet.
    [[nodiscard]] std::uint64_t Generation() const {
        unsigned char bytes[8] = {};
        if (!fd_ || pread(fd_.Get(), bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) return 0;
        std::uint64_t value = 0;
        for (int i = 7; i >= 0; --i) value = (value << 8) | bytes[i];
        return value;
    }
    [[nodiscard]] bool SetGeneration(std::uint64_t value) const {
        unsigned char bytes[8];
        for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(value >> (8 * i));
        return fd_ && pwrite(fd_.Get(), bytes, sizeof bytes, 0) == static_cast<ssize_t>(sizeof bytes);
    }

private:
    UniqueFd fd_;
};

WinError ReadHostFile(const std::string& path, std::string& contents, bool missingIsEmpty) {
    contents.clear();
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        if (missingIsEmpty && errno == ENOENT) return kErrorSuccess;
        return detail::ErrnoToWinError(errno);
    }
    char buffer[65536];
    while (true) {
        ssize_t n = read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        // A hive read only in part would be saved back in part by the next change:
        // a failed read is an error, never a shorter file.
        if (n < 0) {
            contents.clear();
            return detail::ErrnoToWinError(errno);
        }
        if (n == 0) return kErrorSuccess;
        contents.append(buffer, static_cast<std::size_t>(n));
    }
}

// Hives and exported files are replaced whole (AtomicWrite.h): a reader or a crash sees
// the old file or the new one, never a mix.
WinError WriteHostFileAtomic(const std::string& path, const std::string& contents) {
    return AtomicWriteFile(path, contents, 0644);
}

// Reads and parses a hive; the caller holds its lock.
WinError LoadHiveLocked(RegRoot root, Key& tree) {
    std::string path = HivePath(root), raw;
    if (WinError rc = ReadHostFile(path, raw, true); rc != kErrorSuccess) return rc;
    if (raw.empty()) return kErrorSuccess;
    std::vector<Op> ops;
    if (WinError rc = ParseRegText(raw, path, false, ops); rc != kErrorSuccess) return rc;
    for (const auto& op : ops) {
        if (op.root != root) {
            gLastError = path + ": holds keys of " + RegRootName(op.root);
            return kErrorBadRegistryFile;
        }
    }
    ApplyOps(ops, root, tree);
    return kErrorSuccess;
}

WinError SaveHiveLocked(RegRoot root, const Key& tree) {
    return WriteHostFileAtomic(HivePath(root), SerializeTree(tree, RegRootName(root), true));
}

// What identifies one saved state of a hive file: a save renames a new file over the
// hive, and a person's edit changes its times or size.
struct HiveStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static HiveStamp Of(const std::string& path) {
        HiveStamp stamp;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) return stamp;
        stamp = {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
        return stamp;
    }
    bool operator==(const HiveStamp& o) const {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

// The parsed hive of each root, kept between operations: scripts read settings line
// after line, and parsing the file each time would dominate. The cache is used only
// while the lock file's save counter and the file's stamp are those it was read with,
// both checked under the hive lock, so every read still sees the latest saved state.
struct HiveCache {
    std::mutex mutex;  // taken before the file lock, and held for the whole operation
    bool valid = false;
    std::string path;
    std::uint64_t generation = 0;
    HiveStamp stamp;
    Key tree;
};

HiveCache& CacheOf(RegRoot root) {
    static HiveCache caches[2];
    return caches[root == RegRoot::LocalMachine ? 0 : 1];
}

// Makes cache.tree the latest saved hive; the caller holds the hive lock.
WinError RefreshLocked(HiveCache& cache, RegRoot root, const HiveLock& lock) {
    const std::string path = HivePath(root);
    const std::uint64_t generation = lock.Generation();
    const HiveStamp stamp = HiveStamp::Of(path);
    if (cache.valid && cache.path == path && cache.generation == generation && cache.stamp == stamp) {
        return kErrorSuccess;
    }
    cache.valid = false;
    cache.tree = Key();
    if (WinError rc = LoadHiveLocked(root, cache.tree); rc != kErrorSuccess) return rc;
    cache.valid = true;
    cache.path = path;
    cache.generation = generation;
    cache.stamp = stamp;
    return kErrorSuccess;
}

WinError ReadHive(RegRoot root, const std::function<WinError(Key&)>& fn) {
    HiveCache& cache = CacheOf(root);
    std::lock_guard guard(cache.mutex);
    HiveLock lock;
    if (WinError rc = lock.Acquire(root, false); rc != kErrorSuccess) return rc;
    if (WinError rc = RefreshLocked(cache, root, lock); rc != kErrorSuccess) return rc;
    return fn(cache.tree);
}

// Runs `fn` on the latest hive under the exclusive lock and saves the result when `fn`
// succeeds and reports a change.
WinError ChangeHive(RegRoot root, const std::function<WinError(Key&, bool&)>& fn) {
    HiveCache& cache = CacheOf(root);
    std::lock_guard guard(cache.mutex);
    HiveLock lock;
    if (WinError rc = lock.Acquire(root, true); rc != kErrorSuccess) return rc;
    if (WinError rc = RefreshLocked(cache, root, lock); rc != kErrorSuccess) return rc;
    bool changed = false;
    WinError rc = fn(cache.tree, changed);
    if (rc == kErrorSuccess && changed) {
        rc = SaveHiveLocked(root, cache.tree);
        if (rc == kErrorSuccess && lock.SetGeneration(cache.generation + 1)) {
            cache.generation += 1;
            cache.stamp = HiveStamp::Of(cache.path);
            return kErrorSuccess;
        }
    }
    // A failed operation may have left the tree half changed: parse again next time.
    if (rc != kErrorSuccess || changed) cache.valid = false;
    return rc;
}

bool ValidNames(const Components& parts) {
    if (parts.size() > kMaxKeyDepth) return false;
    for (const auto& p : parts) {
        if (!ValidName(p)) return false;
    }
    return true;
}

Key* KeyOf(Key& tree, const RegKey& key) { return FindKey(tree, SplitKeyPath(key.path)); }

}  // namespace

// ---- public operations ----

WinError RegOpenKey(RegRoot root, std::string_view path, RegAccess access, RegKey& key) {
    Components parts = SplitKeyPath(path);
    return ReadHive(root, [&](Key& tree) {
        std::string stored;
        if (!FindKey(tree, parts, &stored)) return kErrorFileNotFound;
        key = RegKey{root, stored, access};
        return kErrorSuccess;
    });
}

WinError RegCreateKey(RegRoot root, std::string_view path, RegKey& key) {
    Components parts = SplitKeyPath(path);
    if (!ValidNames(parts)) return kErrorInvalidName;
    return ChangeHive(root, [&](Key& tree, bool& changed) {
        std::string stored;
        if (!FindKey(tree, parts, &stored)) {
            CreateKeyPath(tree, parts);
            FindKey(tree, parts, &stored);
            changed = true;
        }
        key = RegKey{root, stored, RegAccess::ReadWrite};
        return kErrorSuccess;
    });
}

WinError RegCreateSubKey(const RegKey& key, std::string_view sub, RegKey& subKey) {
    if (key.access != RegAccess::ReadWrite) return kErrorAccessDenied;
    Components parent = SplitKeyPath(key.path);
    Components parts = SplitKeyPath(sub);
    if (!ValidNames(parts) || parent.size() + parts.size() > kMaxKeyDepth) return kErrorInvalidName;
    return ChangeHive(key.root, [&](Key& tree, bool& changed) {
        Key* k = FindKey(tree, parent);
        if (!k) return kErrorFileNotFound;  // the open key was deleted meanwhile
        std::string stored;
        if (!FindKey(*k, parts)) {
            CreateKeyPath(*k, parts);
            changed = true;
        }
        Components all = parent;
        all.insert(all.end(), parts.begin(), parts.end());
        FindKey(tree, all, &stored);
        subKey = RegKey{key.root, stored, RegAccess::ReadWrite};
        return kErrorSuccess;
    });
}

WinError RegQueryValue(const RegKey& key, std::string_view name, RegValueInfo& value) {
    return ReadHive(key.root, [&](Key& tree) {
        Key* k = KeyOf(tree, key);
        if (!k) return kErrorFileNotFound;
        Value* v = k->FindValue(name);
        if (!v) return kErrorFileNotFound;
        value = RegValueInfo{v->name, v->type, v->data};
        return kErrorSuccess;
    });
}

WinError RegQueryString(const RegKey& key, std::string_view name, std::string& data) {
    RegValueInfo v;
    if (WinError rc = RegQueryValue(key, name, v); rc != kErrorSuccess) return rc;
    if (v.type != RegType::Sz && v.type != RegType::ExpandSz) return kErrorDatatypeMismatch;
    data = std::move(v.data);
    return kErrorSuccess;
}

bool RegValueExists(const RegKey& key, std::string_view name) {
    RegValueInfo v;
    return RegQueryValue(key, name, v) == kErrorSuccess;
}

WinError RegSetValue(const RegKey& key, const RegValueInfo& value) {
    if (key.access != RegAccess::ReadWrite) return kErrorAccessDenied;
    if (!ValidName(value.name)) return kErrorInvalidName;
    if (value.type == RegType::Dword && value.data.size() != 4) return kErrorInvalidParameter;
    return ChangeHive(key.root, [&](Key& tree, bool& changed) {
        Key* k = KeyOf(tree, key);
        if (!k) return kErrorFileNotFound;
        SetValueIn(*k, Value{value.name, value.type, value.data});
        changed = true;
        return kErrorSuccess;
    });
}

WinError RegSetString(const RegKey& key, std::string_view name, std::string_view data) {
    return RegSetValue(key, RegValueInfo{std::string(name), RegType::Sz, std::string(data)});
}

WinError RegDeleteValue(const RegKey& key, std::string_view name) {
    if (key.access != RegAccess::ReadWrite) return kErrorAccessDenied;
    return ChangeHive(key.root, [&](Key& tree, bool& changed) {
        Key* k = KeyOf(tree, key);
        if (!k || !DeleteValueIn(*k, name)) return kErrorFileNotFound;
        changed = true;
        return kErrorSuccess;
    });
}

WinError RegDeleteTree(RegRoot root, std::string_view path) {
    Components parts = SplitKeyPath(path);
    if (parts.empty()) return kErrorAccessDenied;  // a root key cannot be deleted
    return ChangeHive(root, [&](Key& tree, bool& changed) {
        if (!DeleteKeyPath(tree, parts)) return kErrorFileNotFound;
        changed = true;
        return kErrorSuccess;
    });
}

WinError RegEnumSubKeys(const RegKey& key, std::vector<std::string>& names) {
    return ReadHive(key.root, [&](Key& tree) {
        Key* k = KeyOf(tree, key);
        if (!k) return kErrorFileNotFound;
        names.clear();
        for (const auto& c : k->children) names.push_back(c->name);
        return kErrorSuccess;
    });
}

WinError RegEnumValues(const RegKey& key, std::vector<RegValueInfo>& values) {
    return ReadHive(key.root, [&](Key& tree) {
        Key* k = KeyOf(tree, key);
        if (!k) return kErrorFileNotFound;
        values.clear();
        for (const auto& v : k->values) values.push_back(RegValueInfo{v.name, v.type, v.data});
        return kErrorSuccess;
    });
}

WinError RegImportFile(const std::string& hostFile) {
    std::string raw;
    if (WinError rc = ReadHostFile(hostFile, raw, false); rc != kErrorSuccess) return rc;
    std::vector<Op> ops;
    if (WinError rc = ParseRegText(raw, hostFile, true, ops); rc != kErrorSuccess) return rc;

    // Both hives are locked (always in the same order) and loaded before anything is
    // saved, so a broken hive stops the import before any change.
    const RegRoot roots[2] = {RegRoot::LocalMachine, RegRoot::CurrentUser};
    HiveLock locks[2];
    Key trees[2];
    bool touched[2] = {false, false};
    for (const auto& op : ops) touched[op.root == RegRoot::LocalMachine ? 0 : 1] = true;
    for (int i = 0; i < 2; ++i) {
        if (!touched[i]) continue;
        if (WinError rc = locks[i].Acquire(roots[i], true); rc != kErrorSuccess) return rc;
        if (WinError rc = LoadHiveLocked(roots[i], trees[i]); rc != kErrorSuccess) return rc;
    }
    for (int i = 0; i < 2; ++i) {
        if (!touched[i]) continue;
        ApplyOps(ops, roots[i], trees[i]);
        if (WinError rc = SaveHiveLocked(roots[i], trees[i]); rc != kErrorSuccess) return rc;
    }
    return kErrorSuccess;
}

WinError RegExportKey(RegRoot root, std::string_view path, const std::string& hostFile) {
    Components parts = SplitKeyPath(path);
    std::string text;
    WinError rc = ReadHive(root, [&](Key& tree) {
        std::string stored;
        Key* k = FindKey(tree, parts, &stored);
        if (!k) return kErrorFileNotFound;
        std::string full = RegRootName(root);
        text = parts.empty() ? SerializeTree(*k, full, true) : SerializeTree(*k, full + "\\" + stored, false);
        return kErrorSuccess;
    });
    if (rc != kErrorSuccess) return rc;
    return WriteHostFileAtomic(hostFile, text);
}

const std::string& LastRegistryError() { return gLastError; }

const char* RegRootName(RegRoot root) {
    return root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

bool ParseRegRootName(std::string_view text, RegRoot& root) {
    if (EqualsNoCase(text, "HKEY_LOCAL_MACHINE") || EqualsNoCase(text, "HKLM")) {
        root = RegRoot::LocalMachine;
        return true;
    }
    if (EqualsNoCase(text, "HKEY_CURRENT_USER") || EqualsNoCase(text, "HKCU")) {
        root = RegRoot::CurrentUser;
        return true;
    }
    return false;
}

}  // namespace platform
