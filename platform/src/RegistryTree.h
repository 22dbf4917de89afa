// The registry tree in memory: a key with its values and subkeys, as a hive file or an
// imported file describes it. Names are code page 932, matched without regard to case
// and kept in the case first given. Not part of the platform's public interface.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Registry.h"

namespace platform::hive {

struct Value {
    std::string name;  // code page 932; "" = default value
    RegType type = RegType::None;
    std::string data;
};

// A key with its subkeys and values in stored order, plus indexes by upper-cased name:
// a hive of a few thousand values is parsed whenever its file changes, so lookups while
// loading must not be linear.
struct Key {
    std::string name;  // code page 932, stored case
    std::vector<Value> values;
    std::vector<std::unique_ptr<Key>> children;
    std::unordered_map<std::string, std::size_t> valueIndex;  // UpperCase(name) -> values[i]
    std::unordered_map<std::string, Key*> childIndex;         // UpperCase(name) -> child

    // The subkey / value named `n` (any case), or null.
    Key* Child(std::string_view n);
    Value* FindValue(std::string_view n);
    // The subkey named `n`, created when missing.
    Key* AddChild(std::string_view n);
    // Sets a value; an existing one keeps its stored name and takes the new type and data.
    void SetValue(const Value& v);
    // False when there is no such subkey / value.
    bool RemoveChild(std::string_view n);
    bool RemoveValue(std::string_view n);
};

// A key path split into its names, without the root.
using Components = std::vector<std::string>;

// Keys nest at most this deep below a root, as on Windows; deeper paths are refused
// (the hive writer descends once per level).
constexpr std::size_t kMaxKeyDepth = 512;

// Splits a key path at "\" (a character of its own), dropping empty parts so leading,
// trailing and doubled separators do not matter.
[[nodiscard]] Components SplitKeyPath(std::string_view path);

// A key or value name the hive file can hold: valid code page 932 without line breaks
// or NUL (a raw line break would end the name's line in the file, and every later read
// of the hive would fail).
[[nodiscard]] bool ValidName(std::string_view name);
// Every name valid and the path no deeper than kMaxKeyDepth.
[[nodiscard]] bool ValidNames(const Components& parts);

// The key at `parts` below `root`, or null; `storedPath` gets its path in stored case.
Key* FindKey(Key& root, const Components& parts, std::string* storedPath = nullptr);
// The key at `parts`, created with its missing parents.
Key* CreateKeyPath(Key& root, const Components& parts);
// Removes the key at `parts` with everything below it; false when it does not exist
// (or `parts` is empty: the root stays).
bool DeleteKeyPath(Key& root, const Components& parts);

}  // namespace platform::hive
