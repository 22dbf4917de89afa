// JSON values of the quillon drawing schema: numbers that read back exactly, code
// page 932 texts shown as UTF-8, raw bytes as hex, and a reader that checks every
// value of a source against the type and range its field needs.
//
// Reading never throws and never stops at the first look: every function returns
// false on a value it refuses and sets `error` (only the first error is kept) to
// "PATH: why", where PATH is the JSON pointer of the value (/elements/3/points/1),
// so a person can find what to mend.
#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quillon_tool {

// Keys keep the order they were put in, so a dump reads position, number, kind first.
using Json = nlohmann::ordered_json;

// Records the first failure: error = path + ": " + why. Always returns false.
bool Fail(std::string& error, const std::string& path, const std::string& why);

// --- Writing ---------------------------------------------------------------

// A double as a JSON number in its shortest form that reads back as the same value;
// a non-finite value as the string "NaN", "Infinity" or "-Infinity".
[[nodiscard]] Json DoubleJson(double value);
// A float (an f32 of the form) as the shortest decimal that reads back as that float.
[[nodiscard]] Json FloatJson(float value);
[[nodiscard]] Json PointJson(double x, double y);
// Lower-case hex, two digits a byte.
[[nodiscard]] std::string HexOf(std::span<const std::uint8_t> bytes);
// Puts `cp932` under `key` as UTF-8. When the bytes do not convert to UTF-8 and back
// unchanged, the UTF-8 is a best effort ("?" for what does not convert) and the exact
// bytes go beside it under key + "Hex".
void PutText(Json& object, const std::string& key, std::string_view cp932);
// The runs of non-zero bytes of `bytes` outside the ranges `named` marks (a byte i
// with named[i] true is left out), as {"OFFSET": "HEX", ...}; an empty object when
// every other byte is zero.
[[nodiscard]] Json SparseBytes(std::span<const std::uint8_t> bytes, const std::vector<bool>& named);

// --- Reading ---------------------------------------------------------------

[[nodiscard]] std::string TypeName(const Json& value);

bool ReadDouble(const Json& value, const std::string& path, double& out, std::string& error);
// A number that fits a 32-bit float (or "NaN", "Infinity", "-Infinity").
bool ReadFloat(const Json& value, const std::string& path, float& out, std::string& error);
bool ReadInt64(const Json& value, const std::string& path, std::int64_t& out, std::string& error);

template <class T>
bool ReadInt(const Json& value, const std::string& path, T& out, std::string& error) {
    static_assert(std::is_integral_v<T>);
    std::int64_t v = 0;
    if (!ReadInt64(value, path, v, error)) return false;
    const bool tooLow = v < 0 ? (std::is_unsigned_v<T> ||
                                 v < static_cast<std::int64_t>(std::numeric_limits<T>::min()))
                              : false;
    const bool tooHigh = v > 0 && static_cast<std::uint64_t>(v) >
                                      static_cast<std::uint64_t>(std::numeric_limits<T>::max());
    if (tooLow || tooHigh) {
        return Fail(error, path,
                    std::to_string(v) + " is outside " +
                        std::to_string(static_cast<std::int64_t>(std::numeric_limits<T>::min())) +
                        "-" +
                        std::to_string(static_cast<std::uint64_t>(std::numeric_limits<T>::max())));
    }
    out = static_cast<T>(v);
    return true;
}

// [x, y].
bool ReadPoint(const Json& value, const std::string& path, double& x, double& y,
               std::string& error);
// Hex digits (either case, an even count) of at most `maxBytes` bytes.
bool ReadHex(const Json& value, const std::string& path, std::size_t maxBytes,
             std::vector<std::uint8_t>& out, std::string& error);
// A UTF-8 string converted to code page 932 of at most `maxBytes` bytes.
bool ReadCp932(const Json& value, const std::string& path, std::size_t maxBytes, std::string& out,
               std::string& error);
// Applies {"OFFSET": "HEX", ...} over `bytes`: every run must lie inside it.
bool ReadSparseBytes(const Json& value, const std::string& path, std::span<std::uint8_t> bytes,
                     std::string& error);

// Reads the members of one JSON object and remembers which were used, so that Finish
// can refuse a key the schema does not know (a misspelt field must not pass silently).
// An absent optional member leaves the output unchanged and is not an error.
class ObjectReader {
  public:
    // `value` must be an object; otherwise the reader fails at once (Ok() false).
    // The reader refers to `value` and `error`: both must outlive it.
    ObjectReader(const Json& value, std::string path, std::string& error);

    [[nodiscard]] bool Ok() const { return error_.empty(); }
    [[nodiscard]] const std::string& Path() const { return path_; }
    [[nodiscard]] std::string At(std::string_view key) const;
    [[nodiscard]] bool Has(std::string_view key) const;
    // The member, marked as used; nullptr when absent.
    const Json* Take(std::string_view key);
    // The member, required: fails when absent.
    const Json* Need(std::string_view key);

    bool Double(std::string_view key, double& out);
    bool Float(std::string_view key, float& out);
    bool Bool(std::string_view key, bool& out);
    template <class T>
    bool Int(std::string_view key, T& out) {
        const Json* v = Take(key);
        return !v ? Ok() : ReadInt(*v, At(key), out, error_);
    }
    // A text of at most `maxBytes` code page 932 bytes: key + "Hex" when present (the
    // exact bytes; the UTF-8 text beside it is then only for reading), else key.
    bool Text(std::string_view key, std::size_t maxBytes, std::string& out);
    // An array of exactly `count` doubles.
    bool Doubles(std::string_view key, std::size_t count, double* out);
    // An array of exactly `count` integers.
    template <class T>
    bool Ints(std::string_view key, std::size_t count, T* out) {
        const Json* v = Take(key);
        if (!v) return Ok();
        if (!v->is_array() || v->size() != count) {
            return Fail(error_, At(key),
                        "expected an array of " + std::to_string(count) + " integers");
        }
        for (std::size_t i = 0; i < count; ++i) {
            if (!ReadInt((*v)[i], At(key) + "/" + std::to_string(i), out[i], error_)) return false;
        }
        return true;
    }
    // Hex of exactly `count` bytes.
    bool Bytes(std::string_view key, std::size_t count, std::uint8_t* out);

    // Fails on the first member that was not used.
    bool Finish();

    std::string& Error() { return error_; }

  private:
    const Json& value_;
    std::string path_;
    std::string& error_;
    std::vector<std::string> used_;
};

}  // namespace quillon_tool
