// The "R" line of a script and the value it names: the parsing shared by the R
// command (RegistryCommand.h), which checks and writes the value, and the backup step
// (RegistryBackup.h), which records how to put it back.
//
// Line: "R", optional blanks, the value path (in double quotes, or up to the next
// blank), optional blanks, then nothing (delete the value), a quoted value text
// ("" is the empty text) or the rest of the line, blanks included. The value path is
// a root name, at least two key levels and the value name:
// "HKEY_LOCAL_MACHINE\SOFTWARE\MORVAN\NAME". The root is named in full and in capitals
// ("HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"); the short names and other spellings
// the registry itself accepts ("HKLM", "hkey_current_user") make the line invalid.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/Registry.h"

struct RegistryRequest {
    std::optional<platform::RegRoot> root;  // none: the path names no valid root
    std::string key;                        // begins with "\"
    std::string section;                    // normally empty
    std::string valueName;
    std::string valueText;
    bool deleteValue = false;
};

// Parses an R line; false when it is invalid.
bool ParseRegistryLine(const std::string& line, RegistryRequest& request);
// Splits an R line into its value path and value text (`deleteValue` when it gives
// none); false when the line has no value path. The path is not looked at.
bool SplitRegistryLine(const std::string& line, std::string& path, std::string& value,
                       bool& deleteValue);
// Fills root, key, section and value name of `request` from a value path; a path
// that names no valid root leaves them all empty.
void ParseRegistryValuePath(const std::string& path, RegistryRequest& request);
// Root name, key, "\" section, "\" value name.
std::string RegistryValuePath(const RegistryRequest& request);

// Opens the key that holds the value: the key itself, or its subkey `section`
// (created only when `forWriting`). 0, or the registry's code (2: no such key).
platform::WinError OpenValueKey(const RegistryRequest& request, bool forWriting,
                                platform::RegKey& key);
// Opens the request's key (not its section) for reading and writing: 0 or the
// registry's code (2: no such key).
platform::WinError OpenRequestKey(const RegistryRequest& request, platform::RegKey& key);

// The old state of the value a line changes.
enum class OldValue { Missing, Restorable, Unrestorable };
// Reads the value's old state; for Restorable, `undoText` is how an undo line carries
// it back and `storedName` its name as the registry keeps it. An old value that no
// undo line could bring back unchanged is Unrestorable: a value that is not a plain
// string (REG_SZ), or that holds a line break, NUL or "%" (the uninstall run would
// expand it as a setting reference), or that holds a double quote and begins with
// one or with a blank.
OldValue ReadOldValue(const RegistryRequest& request, std::string& undoText,
                      std::string& storedName);
// True when the uninstall script at `undoScriptPath` (kNonBackup: none) holds an R
// line for the value path `valuePath` (compared without regard to case).
bool IsValueRecorded(const std::string& undoScriptPath, const std::string& valuePath);
