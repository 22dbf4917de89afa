// The registry operations: each one is a read or a change of one hive's tree, run by the
// hive store (HiveStore.h), which keeps the hives as ".reg" files in the prefix.
#include "platform/Registry.h"

#include "HiveStore.h"
#include "RegistryText.h"
#include "RegistryTree.h"
#include "platform/AtomicWrite.h"
#include "platform/Cp932.h"

namespace platform {
namespace {

using hive::ChangeHive;
using hive::Components;
using hive::CreateKeyPath;
using hive::DeleteKeyPath;
using hive::FindKey;
using hive::Key;
using hive::kMaxKeyDepth;
using hive::ReadHive;
using hive::SplitKeyPath;
using hive::ValidName;
using hive::ValidNames;
using hive::Value;

Key* KeyOf(Key& tree, const RegKey& key) { return FindKey(tree, SplitKeyPath(key.path)); }

// The string value `name` of the key `k` (null when the key does not exist), as
// RegQueryString reads it: REG_SZ or REG_EXPAND_SZ.
WinError StringIn(Key* k, std::string_view name, std::string& data) {
    if (!k) return kErrorFileNotFound;
    Value* v = k->FindValue(name);
    if (!v) return kErrorFileNotFound;
    if (v->type != RegType::Sz && v->type != RegType::ExpandSz) return kErrorDatatypeMismatch;
    data = v->data;
    return kErrorSuccess;
}

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
    return ReadHive(key.root, [&](Key& tree) { return StringIn(KeyOf(tree, key), name, data); });
}

WinError RegReadString(RegRoot root, std::string_view path, std::string_view name,
                       std::string& data) {
    Components parts = SplitKeyPath(path);
    return ReadHive(root, [&](Key& tree) { return StringIn(FindKey(tree, parts), name, data); });
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
        k->SetValue(Value{value.name, value.type, value.data});
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
        if (!k || !k->RemoveValue(name)) return kErrorFileNotFound;
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
    if (WinError rc = hive::ReadHostFile(hostFile, raw, false); rc != kErrorSuccess) return rc;
    std::vector<hive::Op> ops;
    if (!hive::ParseRegText(raw, hostFile, true, ops, hive::LastErrorText())) {
        return kErrorBadRegistryFile;
    }
    return hive::ApplyToHives(ops);
}

WinError RegExportKey(RegRoot root, std::string_view path, const std::string& hostFile) {
    Components parts = SplitKeyPath(path);
    std::string text;
    WinError rc = ReadHive(root, [&](Key& tree) {
        std::string stored;
        Key* k = FindKey(tree, parts, &stored);
        if (!k) return kErrorFileNotFound;
        std::string full = RegRootName(root);
        text = parts.empty() ? SerializeTree(*k, full, true)
                             : SerializeTree(*k, full + "\\" + stored, false);
        return kErrorSuccess;
    });
    if (rc != kErrorSuccess) return rc;
    // Replaced whole: a reader or a crash sees the old file or the new one.
    return AtomicWriteFile(hostFile, text, 0644);
}

const std::string& LastRegistryError() { return hive::LastErrorText(); }

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
