// "R" lines: set or delete one string value under HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER, recording the old state when the entry keeps an uninstall script.
#pragma once

#include <string>

enum class RegistryRoot { None, LocalMachine, CurrentUser };

struct RegistryRequest {
    RegistryRoot root = RegistryRoot::None;
    std::string key;       // begins with "\"
    std::string section;   // normally empty
    std::string valueName;
    std::string valueText;
    bool deleteValue = false;
};

// Parses an R line; false when it is invalid.
bool ParseRegistryLine(const std::string& line, RegistryRequest& request);
// Root name, key, "\" section, "\" value name.
std::string RegistryValuePath(const RegistryRequest& request);
// 1 or -13.
int RegistryCommand(const std::string& line);
// The registry step of the backup (install mode, entry with an uninstall script).
void RegistryBackupAndWrite(const std::string& line);
