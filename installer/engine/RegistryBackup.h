// The registry step of the backup (Backup.h): how an "R" line's value is put back.
//
// Undo lines (install mode, entry with an uninstall script), recorded once per value
// path and script, the first time a value is touched, before the value changes:
//   value existed:   R "<full value path>" "<old value>"
//                    (or R "<full value path>" <old value> when the old value holds a
//                    double quote: the unquoted form takes the rest of the line as it
//                    stands, so the same text comes back)
//   value was new:   R "<full value path>"
// The lines are inserted through UndoScript.h.
#pragma once

#include <string>

#include "installer/engine/InstallerState.h"

// Inserts the undo line for the value's old state, once per value path and script.
// Returns true at once in uninstall mode or when UndoScriptPath is kNonBackup.
// Records nothing for an invalid line or a missing key. False when the uninstall
// script could not be written (`failedDetail` its path) or the old value has become
// one that cannot be restored (`failedDetail` the line).
[[nodiscard]] bool RegistryBackup(const InstallerState& state, const std::string& line,
                                  std::string& failedDetail);
