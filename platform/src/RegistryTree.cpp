// The registry tree in memory (RegistryTree.h).
#include "RegistryTree.h"

#include "platform/Cp932.h"

namespace platform::hive {

Key* Key::Child(std::string_view n) {
    auto it = childIndex.find(UpperCase(n));
    return it == childIndex.end() ? nullptr : it->second;
}

Key* Key::AddChild(std::string_view n) {
    std::string upper = UpperCase(n);
    if (auto it = childIndex.find(upper); it != childIndex.end()) return it->second;
    children.push_back(std::make_unique<Key>());
    children.back()->name = std::string(n);
    childIndex.emplace(std::move(upper), children.back().get());
    return children.back().get();
}

bool Key::RemoveChild(std::string_view n) {
    auto it = childIndex.find(UpperCase(n));
    if (it == childIndex.end()) return false;
    Key* child = it->second;
    childIndex.erase(it);
    std::erase_if(children, [child](const std::unique_ptr<Key>& c) { return c.get() == child; });
    return true;
}

Value* Key::FindValue(std::string_view n) {
    auto it = valueIndex.find(UpperCase(n));
    return it == valueIndex.end() ? nullptr : &values[it->second];
}

void Key::SetValue(const Value& v) {
    std::string upper = UpperCase(v.name);
    if (auto it = valueIndex.find(upper); it != valueIndex.end()) {
        values[it->second].type = v.type;
        values[it->second].data = v.data;  // the name keeps its stored case
        return;
    }
    valueIndex.emplace(std::move(upper), values.size());
    values.push_back(v);
}

bool Key::RemoveValue(std::string_view n) {
    auto it = valueIndex.find(UpperCase(n));
    if (it == valueIndex.end()) return false;
    values.erase(values.begin() + static_cast<std::ptrdiff_t>(it->second));
    valueIndex.clear();
    for (std::size_t i = 0; i < values.size(); ++i)
        valueIndex.emplace(UpperCase(values[i].name), i);
    return true;
}

Components SplitKeyPath(std::string_view path) { return SplitAtChars(path, "\\"); }

bool ValidName(std::string_view name) {
    return IsValidCp932(name) &&
           name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool ValidNames(const Components& parts) {
    if (parts.size() > kMaxKeyDepth) return false;
    for (const auto& p : parts) {
        if (!ValidName(p)) return false;
    }
    return true;
}

Key* FindKey(Key& root, const Components& parts, std::string* storedPath) {
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

}  // namespace platform::hive
