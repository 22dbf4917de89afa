// The backup step of an uninstallable entry: undo lines in the uninstall script and
// the former files saved into the version-down tree.
#pragma once

#include <string>

// Called after a command succeeded and before its staged tree is copied to
// `destination`. Returns at once when UndoScriptPath is kNonBackup.
void BackupBeforeInstall(const std::string& line, const std::string& destination);
// Inserts `text` as a line just before the "INSTEND" line of the uninstall script.
void InsertUndoLine(const std::string& text);
// True when `name` is recorded in the uninstall script already.
bool IsRecordedInUndoScript(const std::string& name);
// The file name a command line works on (wildcards kept, blanks removed).
std::string UndoTargetName(const std::string& line);
