// The registry: HKEY_LOCAL_MACHINE in $MORVAN_PREFIX/system.reg, HKEY_CURRENT_USER in
// $MORVAN_PREFIX/user.reg, each a REGEDIT4 text file in UTF-8.
//
// Key and value names are case-insensitive and case-preserving. Key paths are written
// with "\" between levels; a leading "\" is allowed and ignored. Names and string
// data are code page 932 in memory. Every change re-reads the hive and saves it
// atomically (temporary file + rename) under an exclusive file lock, so concurrent
// writers in several processes lose nothing; every read sees the latest saved state,
// also one saved by another process or edited by hand. Reads are answered from a parsed
// copy of the hive that is kept while the file is known to be unchanged.
// A hive that does not parse gives 1009 (the message names file and line, see
// LastRegistryError) and is never overwritten.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/WinError.h"

namespace platform {

enum class RegRoot { LocalMachine, CurrentUser };

enum class RegAccess { Read, ReadWrite };

// Value types kept in the hives.
enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    MultiSz = 7,
};

// A handle to an open key: the root and the key's path as found (stored case).
struct RegKey {
    RegRoot root = RegRoot::CurrentUser;
    std::string path;  // without leading "\"; empty = the root itself
    RegAccess access = RegAccess::Read;
};

struct RegValueInfo {
    std::string name;  // "" = the default value
    RegType type = RegType::None;
    std::string data;  // Sz/ExpandSz: the text; MultiSz: strings joined by NUL; Binary: raw bytes;
                       // Dword: 4 bytes little-endian
};

// Opens an existing key without creating it (2 when it does not exist).
[[nodiscard]] WinError RegOpenKey(RegRoot root, std::string_view path, RegAccess access,
                                  RegKey& key);
// Opens a key, creating it and its missing parents.
[[nodiscard]] WinError RegCreateKey(RegRoot root, std::string_view path, RegKey& key);
// Opens or creates the subkey `sub` of an open key.
[[nodiscard]] WinError RegCreateSubKey(const RegKey& key, std::string_view sub, RegKey& subKey);

// Reads a string value (REG_SZ or REG_EXPAND_SZ, not expanded). 2 when the value or
// the key does not exist; 1629 when the value is of another type.
[[nodiscard]] WinError RegQueryString(const RegKey& key, std::string_view name, std::string& data);
// The same for the key at `path` under `root`, in one operation (no key to open first):
// 2 when the key or the value does not exist, 1629 for another type; `data` is set
// only on success.
[[nodiscard]] WinError RegReadString(RegRoot root, std::string_view path, std::string_view name,
                                     std::string& data);
[[nodiscard]] bool RegValueExists(const RegKey& key, std::string_view name);
// Reads a value of any type.
[[nodiscard]] WinError RegQueryValue(const RegKey& key, std::string_view name, RegValueInfo& value);

// Writes a REG_SZ value (5 when the key was opened read-only, 2 when the key is gone).
[[nodiscard]] WinError RegSetString(const RegKey& key, std::string_view name,
                                    std::string_view data);
[[nodiscard]] WinError RegSetValue(const RegKey& key, const RegValueInfo& value);
// Deletes a value (2 when it does not exist).
[[nodiscard]] WinError RegDeleteValue(const RegKey& key, std::string_view name);
// Deletes a key with all its subkeys and values (2 when it does not exist).
[[nodiscard]] WinError RegDeleteTree(RegRoot root, std::string_view path);

// Names of the direct subkeys / the values of a key, in stored order.
[[nodiscard]] WinError RegEnumSubKeys(const RegKey& key, std::vector<std::string>& names);
[[nodiscard]] WinError RegEnumValues(const RegKey& key, std::vector<RegValueInfo>& values);

// Imports a .reg file: REGEDIT4 in code page 932 or UTF-8, or "Windows Registry
// Editor Version 5.00" in UTF-16LE (with BOM) or UTF-8. All or nothing: a malformed
// file changes nothing and gives 1009 with LastRegistryError naming file and line.
[[nodiscard]] WinError RegImportFile(const std::string& hostFile);
// Exports a key with everything below it as a REGEDIT4 file in UTF-8.
[[nodiscard]] WinError RegExportKey(RegRoot root, std::string_view path,
                                    const std::string& hostFile);

// Text of the last parse failure in this thread ("<file>:<line>: <what>"), UTF-8.
[[nodiscard]] const std::string& LastRegistryError();

// "HKEY_LOCAL_MACHINE" / "HKEY_CURRENT_USER"; and the reverse, accepting "HKLM"/"HKCU"
// and either case. Returns false for other roots.
[[nodiscard]] const char* RegRootName(RegRoot root);
[[nodiscard]] bool ParseRegRootName(std::string_view text, RegRoot& root);

}  // namespace platform
