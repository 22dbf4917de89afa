#include "JsonLayout.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace quillon_tool {
namespace {

constexpr std::size_t kWidth = 100;

std::size_t Column(const std::string& out) {
    const std::size_t nl = out.rfind('\n');
    return nl == std::string::npos ? out.size() : out.size() - nl - 1;
}

// Spaces at the start of the line `out` ends on.
std::size_t LineIndent(const std::string& out) {
    const std::size_t nl = out.rfind('\n');
    std::size_t at = nl == std::string::npos ? 0 : nl + 1;
    const std::size_t start = at;
    while (at < out.size() && out[at] == ' ') ++at;
    return at - start;
}

void AppendScalar(const Json& j, std::string& out) {
    if (j.is_number_float()) {
        // The shortest digits that read back as the same double; a whole number keeps
        // its ".0" so that it reads back as a number with a fraction.
        const double d = j.get<double>();
        if (std::isfinite(d)) {
            char buf[40];
            const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);
            if (ec == std::errc()) {
                const std::string_view s(buf, static_cast<std::size_t>(end - buf));
                out += s;
                if (s.find_first_of(".e") == std::string_view::npos) out += ".0";
                return;
            }
        }
    } else if (j.is_number_integer()) {
        out += j.is_number_unsigned() ? std::to_string(j.get<std::uint64_t>())
                                      : std::to_string(j.get<std::int64_t>());
        return;
    }
    out += j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

void AppendKey(const std::string& key, std::string& out) {
    // The schema's keys are plain names: quoted as they are, no escaping to work out.
    const bool plain = std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    });
    if (plain) {
        out += '"';
        out += key;
        out += '"';
    } else {
        AppendScalar(Json(key), out);
    }
    out += ": ";
}

// Appends the one-line form of `j`; false, with `out` holding part of it, as soon as
// `out` grows beyond `limit` bytes, so that a "does it fit" costs at most a line.
bool AppendInline(const Json& j, std::string& out, std::size_t limit) {
    if (j.is_object()) {
        out += '{';
        bool first = true;
        for (const auto& [key, value] : j.items()) {
            if (!first) out += ", ";
            first = false;
            AppendKey(key, out);
            if (out.size() > limit || !AppendInline(value, out, limit)) return false;
        }
        out += '}';
    } else if (j.is_array()) {
        out += '[';
        bool first = true;
        for (const Json& value : j) {
            if (!first) out += ", ";
            first = false;
            if (out.size() > limit || !AppendInline(value, out, limit)) return false;
        }
        out += ']';
    } else {
        AppendScalar(j, out);
    }
    return out.size() <= limit;
}

void Layout(const Json& j, bool root, std::string& out) {
    const std::size_t col = Column(out);
    const bool container = j.is_object() || j.is_array();
    if (!container || j.empty()) {
        AppendScalar(j, out);  // a scalar, or {} / []
        return;
    }
    if (!root) {
        const std::size_t mark = out.size();
        if (col < kWidth && AppendInline(j, out, mark + (kWidth - col))) return;
        out.resize(mark);
    }
    const bool object = j.is_object();
    bool nested = root;
    if (!object) {
        for (const Json& v : j) {
            nested = nested || ((v.is_object() || v.is_array()) && v.size() > 2);
        }
    }
    out += object ? '{' : '[';
    if (nested) {
        const std::size_t base = LineIndent(out);
        const std::string pad(base + 2, ' ');
        bool first = true;
        auto one = [&](const std::string* key, const Json& v) {
            out += first ? "\n" : ",\n";
            first = false;
            out += pad;
            if (key) AppendKey(*key, out);
            Layout(v, false, out);
        };
        if (object) {
            for (const auto& [key, v] : j.items()) one(&key, v);
        } else {
            for (const Json& v : j) one(nullptr, v);
        }
        out += '\n';
        out += std::string(base, ' ');
        out += object ? '}' : ']';
        return;
    }
    const std::string pad(col + 1, ' ');
    bool first = true;
    std::string piece;
    auto one = [&](const std::string* key, const Json& v) {
        piece.clear();
        if (key) AppendKey(*key, piece);
        const bool short_ = AppendInline(v, piece, kWidth);
        if (!first) {
            if (short_ && Column(out) + 2 + piece.size() + 1 <= kWidth) {
                out += ", ";
            } else {
                out += ",\n";
                out += pad;
            }
        }
        first = false;
        if (short_ && Column(out) + piece.size() + 1 <= kWidth) {
            out += piece;
        } else {
            if (key) AppendKey(*key, out);
            Layout(v, false, out);
        }
    };
    if (object) {
        for (const auto& [key, v] : j.items()) one(&key, v);
    } else {
        for (const Json& v : j) one(nullptr, v);
    }
    out += object ? '}' : ']';
}

}  // namespace

void AppendPretty(const Json& value, std::string& out) { Layout(value, false, out); }

std::string PrettyJson(const Json& value) {
    std::string out;
    Layout(value, true, out);
    return out + "\n";
}

}  // namespace quillon_tool
