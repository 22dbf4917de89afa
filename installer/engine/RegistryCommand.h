// "R" lines: set or delete one string value under HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER, recording the old state when the entry keeps an uninstall script.
//
// Line: "R", optional blanks, the value path (in double quotes, or up to the next
// blank), optional blanks, then nothing (delete the value), a quoted value text
// ("" is the empty text) or the rest of the line, blanks included. The value path is
// a root name, at least two key levels and the value name:
// "HKEY_LOCAL_MACHINE\SOFTWARE\MORVAN\NAME". Keys are never created.
//
// Undo lines (install mode, entry with an uninstall script), recorded once per value
// path and script, the first time a value is touched, before the value changes:
//   value existed:   R "<full value path>" "<old value>"
//                    (or R "<full value path>" <old value> when the old value holds a
//                    double quote: the unquoted form takes the rest of the line as it
//                    stands, so the same text comes back)
//   value was new:   R "<full value path>"
// An old value that no undo line could bring back unchanged is never overwritten: a
// value that is not a plain string (REG_SZ), or that holds a line break, NUL or "%"
// (the uninstall run would expand it as a setting reference), or that holds a double
// quote and begins with one or with a blank. RegistryCommand then fails with -13
// before anything is changed or recorded.
#pragma once

#include <string>

#include "installer/engine/InstallerState.h"

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
// The command's own step, before the backup: parses and checks the line, changes
// nothing. Install mode with an uninstall script: 1, or -13 for an old value that no
// undo line could restore (an invalid line or a missing key is skipped without a trace
// there). Otherwise: 1, or -13 for an invalid line or a key that does not exist.
int RegistryCommand(const InstallerState& state, const std::string& line);
// The registry step of the backup (install mode, entry with an uninstall script):
// inserts the undo line for the value's old state, once per value path and script.
// Records nothing for an invalid line or a missing key. False when the uninstall
// script could not be written (`failedDetail` its path) or the old value has become
// one that cannot be restored (`failedDetail` the line).
[[nodiscard]] bool RegistryBackup(const InstallerState& state, const std::string& line,
                                  std::string& failedDetail);
// The change itself, after the backup: writes or deletes the value (the key's subkey
// `section` is created for a write when needed). 1, or -13 when the value could not
// be written or deleted, or the key could not be opened (a key that does not exist is
// skipped as in RegistryCommand in an install run that keeps an uninstall script).
// Deleting a value that is not there is success: an undo line written ahead for a
// value that was then never set runs so.
// `lineAsWritten` is the same script line as the script file holds it: before setting
// references are expanded, before upper-casing and before blanks are collapsed ("" when
// unknown). In uninstall mode the value text is taken from it when it names the same
// value path, so that a restored value keeps its case, its blanks and its exact bytes;
// in install mode the value text stays upper-cased as the executor passes it.
int ApplyRegistryLine(const InstallerState& state, const std::string& line,
                      const std::string& lineAsWritten);
