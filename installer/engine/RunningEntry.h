// The script entry being run: what the executor sets when an entry starts and the
// commands and the backup step read while its lines run. It belongs to the worker
// alone while a job runs.
#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <vector>

inline constexpr char kNonBackup[] = "NON_BACKUP";

// The running entry's uninstall script as it was last read or written, with what its
// lines tell (UndoScript.cpp). It is only a copy: every use reads the file again and
// takes the copy only while the file holds exactly the copy's text, so a script that was
// changed, removed or made unreadable meanwhile is seen as it is. What the copy spares
// is splitting and parsing the whole script again for every command, which made an
// entry of n commands take time in n squared; each change still replaces the whole file.
struct UndoScriptCopy {
    std::string path;
    std::string text;
    std::vector<std::string> lines;
    // The undo section [first, end), once looked for.
    bool sectionKnown = false;
    bool hasSection = false;
    std::size_t first = 0;
    std::size_t end = 0;
    // The upper-cased files the undo lines put back, once collected.
    bool coveredKnown = false;
    std::set<std::string> covered;
};

struct RunningEntry {
    // Install mode: the uninstall script of the running entry, or kNonBackup. Until an
    // install run names its uninstall script there is nothing to record into, so the
    // backup step must stay idle: it starts from the marker value, not from "".
    std::string UndoScriptPath = kNonBackup;
    std::string RunScriptNo;  // ScriptNo of the running entry
    std::string RunMediaNo;   // uninstall mode: MediaNo of the running entry
    // The name under which list-file commands handle the package list ("" at start).
    std::string CurrentPackageName;
    // A cache, not state: it never changes what the entry means, so the steps that see
    // the entry as const may still keep it up to date.
    mutable UndoScriptCopy undoCopy;
};
