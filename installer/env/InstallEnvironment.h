// The install environment: the directories and settings that every part of the
// installer uses, read once at start-up from HKEY_CURRENT_USER\SOFTWARE\KEL.
//
// The globals are process-wide and written only by LoadInstallEnvironment (and, for
// InstallDiskPath, UninstallMode, UninstallGroupName and HaltAppState, by the program's
// start-up, its dialogs and the engine). Directory values never end in "\" (a bare
// root such as "k:" stays without one). Paths are never cut to a fixed length.
#pragma once

#include <string>
#include <vector>

extern std::string InstallDiskPath;    // medium directory
extern bool UninstallMode;             // true: uninstall / version-down run
extern const std::string ControlFileName;  // "\MorvanUP.INF"
extern std::string WorkRoot;
extern std::string InstallDir;
extern std::string ToolsDir;
extern std::string RevisionListFile;   // application directory + "\Readme.ver"
extern std::string VersionDownRoot;    // application directory + "\MorvanDN"
extern std::string ExtractDir;         // WorkRoot + "\VERUPDN"
extern std::string WorkListFile;       // WorkRoot + "\TEMP\SET_WORK.LST"
extern std::string WorkScratchFile;    // WorkRoot + "\TEMP\SET_WORK.LOG"
extern std::string ReadmeDocFile;      // WorkRoot + "\TEMP\SET_READ.DOC"
extern std::string BackupDir;          // WorkRoot + "\INSTBACK"
extern std::string LhaExePath;
extern std::string HaltAppExePath;     // ToolsDir + "\HALTAPP.EXE"
extern std::string PauserExePath;      // application directory + "\PAUSER\PAUSER.EXE"
extern std::string UninstallGroupName; // the kept group chosen for an uninstall run (<= 8 chars)
extern int HaltAppState;               // 100 after start-up; 101 once HALTAPP has run
// How the engine's write-ahead records (undo lines, saved copies, markers, the job
// record) reach the disk. true (default): each is synced before the change it covers
// (safe against a power cut); false: only written in order (safe against a killed
// program). Read by LoadInstallEnvironment from the optional value WRITEAHEAD of
// HKEY_CURRENT_USER\SOFTWARE\KEL\MORVANUP: "CRASH" (any case) gives false; missing, "POWER" or
// anything else gives true.
extern bool WriteAheadSync;

inline constexpr int kHaltAppNotRun = 100;
inline constexpr int kHaltAppHasRun = 101;

// Reads the settings, fills the globals above (but InstallDiskPath, UninstallMode,
// UninstallGroupName, HaltAppState) and creates the work directories. Returns 0, or
// -15 when a setting was missing or a work directory could not be created (each
// problem has been reported in its own box).
int LoadInstallEnvironment();

// Replaces every "%NAME%" / "%SECTION\NAME%" reference by its setting; "%WINDIR%" (any
// case) by the Windows directory. A missing value is reported (-13 with `text`) and
// expands to nothing; a missing settings key is reported (-15) and gives "".
std::string ExpandSettingRefs(const std::string& text);

// "" stays ""; one character gets ":"; then one trailing "\" is removed.
void NormalizeDirValue(std::string& s);

// A look at the settings without side effects (no box, no directory), for tools:
// whether HKEY_CURRENT_USER\SOFTWARE\KEL exists and the references (e.g.
// "%KELSYS\TOOLS%") of the settings that LoadInstallEnvironment would report missing,
// in its order.
struct SettingsSurvey {
    bool keyPresent = false;
    std::vector<std::string> missing;
};
SettingsSurvey SurveySettings();

// Restores every global of this header to its state at program start (tests).
void ResetInstallEnvironment();
