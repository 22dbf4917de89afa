#include "JsonValues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "platform/Cp932.h"

namespace quillon_tool {

bool Fail(std::string& error, const std::string& path, const std::string& why) {
    if (error.empty()) error = (path.empty() ? std::string("/") : path) + ": " + why;
    return false;
}

Json DoubleJson(double value) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
    // The JSON writer prints the shortest digits that read back as this double.
    return value;
}

Json FloatJson(float value) {
    if (!std::isfinite(value)) return DoubleJson(value);
    // The float's own shortest digits (0.1f prints as 0.1, not as the double
    // 0.100000001...). A reader turns them into the nearest double, then into the
    // nearest float; should that ever not land on the same float, the exact double
    // value of the float is written instead.
    char buf[32];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    if (ec == std::errc()) {
        const double d = std::strtod(std::string(buf, end).c_str(), nullptr);
        if (static_cast<float>(d) == value && std::signbit(d) == std::signbit(value)) return d;
    }
    return static_cast<double>(value);
}

Json PointJson(double x, double y) { return Json::array({DoubleJson(x), DoubleJson(y)}); }

std::string HexOf(std::span<const std::uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

void PutText(Json& object, const std::string& key, std::string_view cp932) {
    std::string utf8;
    std::string back;
    const bool exact =
        platform::Cp932ToUtf8(cp932, utf8) && platform::Utf8ToCp932(utf8, back) && back == cp932;
    if (exact) {
        object[key] = utf8;
        return;
    }
    object[key] = platform::Cp932ToUtf8Lossy(cp932);
    object[key + "Hex"] =
        HexOf(std::span(reinterpret_cast<const std::uint8_t*>(cp932.data()), cp932.size()));
}

Json SparseBytes(std::span<const std::uint8_t> bytes, const std::vector<bool>& named) {
    Json out = Json::object();
    std::size_t i = 0;
    auto skip = [&](std::size_t at) { return bytes[at] == 0 || (at < named.size() && named[at]); };
    while (i < bytes.size()) {
        if (skip(i)) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < bytes.size() && !skip(end)) ++end;
        out[std::to_string(i)] = HexOf(bytes.subspan(i, end - i));
        i = end;
    }
    return out;
}

std::string TypeName(const Json& value) {
    if (value.is_number_integer()) return "an integer";
    if (value.is_number()) return "a number";
    if (value.is_string()) return "a string";
    if (value.is_boolean()) return "true/false";
    if (value.is_array()) return "an array";
    if (value.is_object()) return "an object";
    return "null";
}

bool ReadDouble(const Json& value, const std::string& path, double& out, std::string& error) {
    if (value.is_number()) {
        out = value.get<double>();
        return true;
    }
    if (value.is_string()) {
        const std::string& s = value.get_ref<const std::string&>();
        if (s == "NaN")
            out = std::numeric_limits<double>::quiet_NaN();
        else if (s == "Infinity")
            out = std::numeric_limits<double>::infinity();
        else if (s == "-Infinity")
            out = -std::numeric_limits<double>::infinity();
        else
            return Fail(error, path, "expected a number, found the string \"" + s + "\"");
        return true;
    }
    return Fail(error, path, "expected a number, found " + TypeName(value));
}

bool ReadFloat(const Json& value, const std::string& path, float& out, std::string& error) {
    double d = 0;
    if (!ReadDouble(value, path, d, error)) return false;
    if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) {
        return Fail(error, path, "does not fit a 32-bit float");
    }
    out = static_cast<float>(d);
    return true;
}

bool ReadInt64(const Json& value, const std::string& path, std::int64_t& out, std::string& error) {
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return Fail(error, path, "integer too large");
        }
        out = static_cast<std::int64_t>(u);
        return true;
    }
    if (value.is_number_integer()) {
        out = value.get<std::int64_t>();
        return true;
    }
    return Fail(error, path, "expected an integer, found " + TypeName(value));
}

bool ReadPoint(const Json& value, const std::string& path, double& x, double& y,
               std::string& error) {
    if (!value.is_array() || value.size() != 2) {
        return Fail(error, path, "expected a point [x, y], found " + TypeName(value));
    }
    return ReadDouble(value[0], path + "/0", x, error) &&
           ReadDouble(value[1], path + "/1", y, error);
}

namespace {
int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
}  // namespace

bool ReadHex(const Json& value, const std::string& path, std::size_t maxBytes,
             std::vector<std::uint8_t>& out, std::string& error) {
    if (!value.is_string())
        return Fail(error, path, "expected a hex string, found " + TypeName(value));
    const std::string& s = value.get_ref<const std::string&>();
    if (s.size() % 2 != 0) return Fail(error, path, "hex string of odd length");
    if (s.size() / 2 > maxBytes) {
        return Fail(error, path,
                    std::to_string(s.size() / 2) + " bytes, at most " + std::to_string(maxBytes));
    }
    out.clear();
    out.reserve(s.size() / 2);
    for (std::size_t i = 0; i < s.size(); i += 2) {
        const int hi = HexDigit(s[i]);
        const int lo = HexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return Fail(error, path, "not a hex digit at " + std::to_string(i));
        out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    return true;
}

bool ReadCp932(const Json& value, const std::string& path, std::size_t maxBytes, std::string& out,
               std::string& error) {
    if (!value.is_string()) return Fail(error, path, "expected a string, found " + TypeName(value));
    std::string converted;
    std::size_t bad = 0;
    if (!platform::Utf8ToCp932(value.get_ref<const std::string&>(), converted, &bad)) {
        return Fail(error, path,
                    "the character at byte " + std::to_string(bad) +
                        " is not valid UTF-8 or has no code page 932 form");
    }
    if (converted.size() > maxBytes) {
        return Fail(error, path,
                    std::to_string(converted.size()) + " bytes in code page 932, at most " +
                        std::to_string(maxBytes));
    }
    out = std::move(converted);
    return true;
}

bool ReadSparseBytes(const Json& value, const std::string& path, std::span<std::uint8_t> bytes,
                     std::string& error) {
    if (!value.is_object()) return Fail(error, path, "expected an object of OFFSET: HEX runs");
    for (const auto& [key, hex] : value.items()) {
        const std::string at = path + "/" + key;
        std::size_t offset = 0;
        const auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), offset);
        if (ec != std::errc() || end != key.data() + key.size() || offset >= bytes.size()) {
            return Fail(error, at, "not a byte offset below " + std::to_string(bytes.size()));
        }
        std::vector<std::uint8_t> run;
        if (!ReadHex(hex, at, bytes.size() - offset, run, error)) return false;
        std::copy(run.begin(), run.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
    }
    return true;
}

ObjectReader::ObjectReader(const Json& value, std::string path, std::string& error)
    : value_(value), path_(std::move(path)), error_(error) {
    if (!value_.is_object()) Fail(error_, path_, "expected an object, found " + TypeName(value_));
}

std::string ObjectReader::At(std::string_view key) const { return path_ + "/" + std::string(key); }

bool ObjectReader::Has(std::string_view key) const {
    return value_.is_object() && value_.contains(std::string(key));
}

const Json* ObjectReader::Take(std::string_view key) {
    if (!value_.is_object()) return nullptr;
    const auto it = value_.find(std::string(key));
    if (it == value_.end()) return nullptr;
    used_.emplace_back(key);
    return &*it;
}

const Json* ObjectReader::Need(std::string_view key) {
    const Json* v = Take(key);
    if (!v && Ok()) Fail(error_, At(key), "missing");
    return v;
}

bool ObjectReader::Double(std::string_view key, double& out) {
    const Json* v = Take(key);
    return !v ? Ok() : ReadDouble(*v, At(key), out, error_);
}

bool ObjectReader::Float(std::string_view key, float& out) {
    const Json* v = Take(key);
    return !v ? Ok() : ReadFloat(*v, At(key), out, error_);
}

bool ObjectReader::Bool(std::string_view key, bool& out) {
    const Json* v = Take(key);
    if (!v) return Ok();
    if (!v->is_boolean())
        return Fail(error_, At(key), "expected true or false, found " + TypeName(*v));
    out = v->get<bool>();
    return true;
}

bool ObjectReader::Text(std::string_view key, std::size_t maxBytes, std::string& out) {
    const std::string hexKey = std::string(key) + "Hex";
    const Json* text = Take(key);
    if (const Json* hex = Take(hexKey)) {
        // The exact bytes win; the UTF-8 beside them only has to be a string.
        if (text && !text->is_string()) {
            return Fail(error_, At(key), "expected a string, found " + TypeName(*text));
        }
        std::vector<std::uint8_t> bytes;
        if (!ReadHex(*hex, At(hexKey), maxBytes, bytes, error_)) return false;
        out.assign(bytes.begin(), bytes.end());
        return true;
    }
    return !text ? Ok() : ReadCp932(*text, At(key), maxBytes, out, error_);
}

bool ObjectReader::Doubles(std::string_view key, std::size_t count, double* out) {
    const Json* v = Take(key);
    if (!v) return Ok();
    if (!v->is_array() || v->size() != count) {
        return Fail(error_, At(key), "expected an array of " + std::to_string(count) + " numbers");
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (!ReadDouble((*v)[i], At(key) + "/" + std::to_string(i), out[i], error_)) return false;
    }
    return true;
}

bool ObjectReader::Bytes(std::string_view key, std::size_t count, std::uint8_t* out) {
    const Json* v = Take(key);
    if (!v) return Ok();
    std::vector<std::uint8_t> bytes;
    if (!ReadHex(*v, At(key), count, bytes, error_)) return false;
    if (bytes.size() != count) {
        return Fail(error_, At(key), "expected " + std::to_string(count) + " bytes of hex");
    }
    std::copy(bytes.begin(), bytes.end(), out);
    return true;
}

bool ObjectReader::Finish() {
    if (!Ok() || !value_.is_object()) return false;
    for (const auto& [key, v] : value_.items()) {
        if (std::find(used_.begin(), used_.end(), key) == used_.end()) {
            return Fail(error_, At(key), "unknown field");
        }
    }
    return true;
}

}  // namespace quillon_tool
