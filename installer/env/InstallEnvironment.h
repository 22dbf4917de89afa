// The install environment: the directories and settings that every part of the
// installer uses, read once at start-up from HKEY_CURRENT_USER\SOFTWARE\KEL.
//
// An InstallEnvironment is filled only by LoadInstallEnvironment and read by everything
// else; its owner (the program's state, a tool's or a test's) hands it on by reference.
// Directory values never end in "\" (a bare root such as "k:" stays without one).
// Paths are never cut to a fixed length.
#pragma once

#include <string>
#include <vector>

extern const std::string ControlFileName;  // "\MorvanUP.INF"

struct InstallEnvironment {
    std::string WorkRoot;
    std::string InstallDir;
    std::string ToolsDir;
    std::string RevisionListFile;  // application directory + "\Readme.ver"
    std::string VersionDownRoot;   // application directory + "\MorvanDN"
    std::string ExtractDir;        // WorkRoot + "\VERUPDN"
    std::string WorkListFile;      // WorkRoot + "\TEMP\SET_WORK.LST"
    std::string WorkScratchFile;   // WorkRoot + "\TEMP\SET_WORK.LOG"
    std::string ReadmeDocFile;     // WorkRoot + "\TEMP\SET_READ.DOC"
    std::string BackupDir;         // WorkRoot + "\INSTBACK"
    std::string LhaExePath;
    std::string HaltAppExePath;    // ToolsDir + "\HALTAPP.EXE"
    std::string PauserExePath;     // application directory + "\PAUSER\PAUSER.EXE"
    // How the engine's write-ahead records (undo lines, saved copies, markers, the job
    // record) reach the disk. true (default): each is synced before the change it covers
    // (safe against a power cut); false: only written in order (safe against a killed
    // program). Read by LoadInstallEnvironment from the optional value WRITEAHEAD of
    // HKEY_CURRENT_USER\SOFTWARE\KEL\MORVANUP: "CRASH" (any case) gives false; missing,
    // "POWER" or anything else gives true.
    bool WriteAheadSync = true;
};

// Reads the settings, fills every member of `env` and creates the work directories.
// Returns 0, or -15 when a setting was missing or a work directory could not be
// created (each problem has been reported in its own box).
int LoadInstallEnvironment(InstallEnvironment& env);

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
