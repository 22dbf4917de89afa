// Version records: the control file of a medium ("\MorvanUP.INF"), the installed
// version (HKEY_LOCAL_MACHINE\SOFTWARE\Morvan, COMMON / VERSION), the revision list
// (Readme.ver), the store of kept groups under VersionDownRoot, and the list row of
// a script entry.
#pragma once

#include <string>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"
#include "installer/env/MediaRecord.h"
#include "installer/env/ScriptTable.h"

// Reads dir + "\MorvanUP.INF" into run.CurrentMedia. 0; -5 malformed (not shown; no
// field changed when it has fewer than 4 lines); -4 missing (shown unless
// run.UninstallMode).
int ReadControlFile(InstallRun& run, const std::string& dir);
// Why a control file was refused, for the people who prepare media: the 1-based line
// that is wrong (0 when the file is missing, unreadable or too short) and what is
// wrong with it, in plain ASCII.
struct ControlFileProblem {
    int line = 0;
    std::string reason;
};
// As ReadControlFile(run, dir), and says why a file was refused (-4 or -5).
int ReadControlFile(InstallRun& run, const std::string& dir, ControlFileProblem& problem);
// The version text as whole hundredths (2.10 -> 210), computed on the decimal digits
// so that no binary rounding moves a version to its neighbour; false when the text
// holds no number.
bool VersionHundredths(const std::string& text, long long& hundredths);
// True when the control file exists in `dir` and run.CurrentMedia fits the installed
// version (read into run.InstalledVersion); shows the message of a failure. Does not
// read the control file.
bool CheckMedia(InstallRun& run, const std::string& dir);
// The version comparison alone: 0, -11, -12 or -16, its message shown.
int CheckVersionFit(InstallRun& run);
// Sets run.InstalledVersion from the registry: 0 or -16.
int LoadInstalledVersion(InstallRun& run);
// The same registry read into `version` (unchanged on -16).
int ReadRegisteredVersion(std::string& version);
// Writes COMMON / VERSION under an existing HKLM\SOFTWARE\Morvan: 0 or -16.
int WriteRegisteredVersion(const std::string& version);
// Revision-list updates after an install / an uninstall of `media` (nothing at all
// when its RequiredVersion is "0.00"); the list is env.RevisionListFile, rewritten
// through env.WorkScratchFile. 0 when everything was written; -15 with the registry key
// in `detail` when the version could not be written; -13 with the path in `detail`
// when the revision list could not be replaced. The list is replaced atomically
// (durable when env.WriteAheadSync): a crash leaves the old or the new list.
[[nodiscard]] int RecordRevision(const InstallEnvironment& env, const VERUP_FILE_REC& media,
                                 std::string& detail);
[[nodiscard]] int RemoveRevision(const InstallEnvironment& env, const VERUP_FILE_REC& media,
                                 const std::string& id, std::string& detail);

// The installed version as stored (any text), so that a roll-back can put it back:
// 0 with `present` telling whether HKLM\SOFTWARE\Morvan\COMMON holds VERSION;
// -15 when the registry cannot be read.
[[nodiscard]] int ReadStoredVersionValue(std::string& value, bool& present);
// Puts a stored version back: writes `value` (creating the key) when `present`,
// else deletes the value (already absent counts as done). 0 or -15.
[[nodiscard]] int RestoreStoredVersionValue(const std::string& value, bool present);
// The registry key of the installed version, as messages name it.
extern const char kVersionKeyName[];
// True for a store group under env.VersionDownRoot: 8 digits or "Revision", holding a
// two-digit media directory with at least one "*.DAT".
bool IsRevisionStoreDir(const InstallEnvironment& env, const std::string& name);
// The list row of entry `index` (1-based) of `table`; returns its CommandCount ("" and
// 0 for an index the table does not hold).
int ScriptEntryLine(const ScriptTable& table, int index, std::string& line);
