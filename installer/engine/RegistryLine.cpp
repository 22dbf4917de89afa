#include "installer/engine/RegistryLine.h"

#include "installer/engine/RunningEntry.h"
#include "installer/env/LineFiles.h"
#include "platform/Cp932.h"

namespace {

// The root at the start of a value path and where its key begins (at the "\" after
// the root name). Only the full names in capitals count, as R lines write them.
bool ParseRoot(const std::string& path, platform::RegRoot& root, std::size_t& keyStart) {
    const std::size_t cut = platform::FindCharDbcs(path, '\\');
    if (cut == std::string::npos) return false;
    const std::string name = path.substr(0, cut);
    if (!platform::ParseRegRootName(name, root) || name != platform::RegRootName(root)) {
        return false;
    }
    keyStart = cut;
    return true;
}

// How an undo line carries `value` back; false when no line can (see the header).
bool UndoValueText(const std::string& value, std::string& text) {
    if (value.find_first_of(std::string("\r\n%\0", 4)) != std::string::npos) return false;
    if (value.find('"') == std::string::npos) {
        text = "\"" + value + "\"";
        return true;
    }
    if (value[0] == '"' || value[0] == ' ') return false;
    text = value;
    return true;
}

}  // namespace

bool SplitRegistryLine(const std::string& line, std::string& path, std::string& value,
                       bool& deleteValue) {
    // Blanks and double quotes are never trail bytes in code page 932, so plain byte
    // searches are exact here.
    std::size_t pos = 1;
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos < line.size() && line[pos] == '"') {
        std::size_t end = line.find('"', pos + 1);
        if (end == std::string::npos) return false;
        path = line.substr(pos + 1, end - pos - 1);
        pos = end + 1;
    } else {
        // An unquoted path must be followed by a blank; a path alone is quoted.
        std::size_t end = line.find(' ', pos);
        if (end == std::string::npos) return false;
        path = line.substr(pos, end - pos);
        pos = end;
    }
    while (pos < line.size() && line[pos] == ' ') ++pos;
    deleteValue = pos >= line.size();
    value.clear();
    if (deleteValue) return true;
    if (line[pos] == '"') {
        std::size_t end = line.find('"', pos + 1);
        value =
            end == std::string::npos ? line.substr(pos + 1) : line.substr(pos + 1, end - pos - 1);
    } else {
        value = line.substr(pos);
    }
    return true;
}

void ParseRegistryValuePath(const std::string& path, RegistryRequest& request) {
    platform::RegRoot root = platform::RegRoot::LocalMachine;
    std::size_t keyStart = 0;
    if (!ParseRoot(path, root, keyStart)) return;
    request.root = root;
    request.key = path.substr(keyStart);
    std::string& key = request.key;
    std::size_t cut = platform::FindLastCharDbcs(key, '\\');
    request.valueName = key.substr(cut + 1);
    if (!request.valueName.empty() && request.valueName.size() < key.size()) key.erase(cut);
    // What remains is normally "\" key1 "\" key2: the last level goes back onto the
    // key. With a single level nothing is left of the key and the line is invalid.
    cut = platform::FindLastCharDbcs(key, '\\');
    request.section = cut == std::string::npos ? std::string() : key.substr(cut + 1);
    if (!request.section.empty() && request.section.size() < key.size()) {
        key.erase(cut);
        if (key.size() > 1) {
            key += "\\" + request.section;
            request.section.clear();
        }
    }
}

bool ParseRegistryLine(const std::string& line, RegistryRequest& request) {
    request = RegistryRequest{};
    std::string path;
    if (line.empty() || !SplitRegistryLine(line, path, request.valueText, request.deleteValue)) {
        return false;
    }
    ParseRegistryValuePath(path, request);
    return request.root.has_value() && !request.key.empty() &&
           (!request.valueName.empty() || request.deleteValue);
}

std::string RegistryValuePath(const RegistryRequest& request) {
    std::string path;
    if (request.root) path = platform::RegRootName(*request.root);
    path += request.key;
    if (!request.section.empty()) path += "\\" + request.section;
    if (!request.valueName.empty()) path += "\\" + request.valueName;
    return path;
}

platform::WinError OpenRequestKey(const RegistryRequest& request, platform::RegKey& key) {
    // A request without a root is never opened: ParseRegistryLine refuses it.
    if (!request.root) return platform::kErrorFileNotFound;
    return platform::RegOpenKey(*request.root, request.key, platform::RegAccess::ReadWrite, key);
}

platform::WinError OpenValueKey(const RegistryRequest& request, bool forWriting,
                                platform::RegKey& key) {
    platform::RegKey base;
    const platform::WinError error = OpenRequestKey(request, base);
    if (error != 0) return error;
    if (request.section.empty()) {
        key = base;
        return 0;
    }
    if (forWriting) return platform::RegCreateSubKey(base, request.section, key);
    return platform::RegOpenKey(*request.root, request.key + "\\" + request.section,
                                platform::RegAccess::ReadWrite, key);
}

OldValue ReadOldValue(const RegistryRequest& request, std::string& undoText,
                      std::string& storedName) {
    platform::RegKey key;
    if (OpenValueKey(request, false, key) != 0 ||
        !platform::RegValueExists(key, request.valueName)) {
        return OldValue::Missing;
    }
    storedName = request.valueName;
    std::vector<platform::RegValueInfo> values;
    // Without a listing the name as the script wrote it is kept.
    (void)platform::RegEnumValues(key, values);
    for (const auto& stored : values) {
        if (platform::EqualsNoCase(stored.name, request.valueName)) storedName = stored.name;
    }
    platform::RegValueInfo info;
    if (platform::RegQueryValue(key, request.valueName, info) != 0 ||
        info.type != platform::RegType::Sz || !UndoValueText(info.data, undoText)) {
        return OldValue::Unrestorable;
    }
    return OldValue::Restorable;
}

bool IsValueRecorded(const std::string& undoScriptPath, const std::string& valuePath) {
    // The first change keeps the oldest state, which the rollback must end with.
    std::vector<std::string> lines;
    if (undoScriptPath == kNonBackup || !ReadLineFile(undoScriptPath, lines)) return false;
    for (const std::string& line : lines) {
        RegistryRequest recorded;
        if (!line.empty() && line[0] == 'R' && ParseRegistryLine(line, recorded) &&
            platform::EqualsNoCase(RegistryValuePath(recorded), valuePath)) {
            return true;
        }
    }
    return false;
}
