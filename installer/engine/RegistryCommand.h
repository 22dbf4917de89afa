// "R" lines: set or delete one string value under HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER. The line and its value path are read by RegistryLine.h; keys are
// never created. The backup step records the old state first (RegistryBackup.h) when
// the entry keeps an uninstall script.
//
// An old value that no undo line could bring back unchanged (OldValue::Unrestorable,
// RegistryLine.h) is never overwritten: RegistryCommand then fails with -13 before
// anything is changed or recorded.
#pragma once

#include <string>

#include "installer/engine/InstallerState.h"

// The command's own step, before the backup: parses and checks the line, changes
// nothing. Install mode with an uninstall script: 1, or -13 for an old value that no
// undo line could restore (an invalid line or a missing key is skipped without a trace
// there). Otherwise: 1, or -13 for an invalid line or a key that does not exist.
int RegistryCommand(const InstallerState& state, const std::string& line);
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
