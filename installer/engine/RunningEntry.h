// The script entry being run: what the executor sets when an entry starts and the
// commands and the backup step read while its lines run. It belongs to the worker
// alone while a job runs.
#pragma once

#include <string>

inline constexpr char kNonBackup[] = "NON_BACKUP";

struct RunningEntry {
    // Install mode: the uninstall script of the running entry, or kNonBackup. Until an
    // install run names its uninstall script there is nothing to record into, so the
    // backup step must stay idle: it starts from the marker value, not from "".
    std::string UndoScriptPath = kNonBackup;
    std::string RunScriptNo;  // ScriptNo of the running entry
    std::string RunMediaNo;   // uninstall mode: MediaNo of the running entry
    // The name under which list-file commands handle the package list ("" at start).
    std::string CurrentPackageName;
};
