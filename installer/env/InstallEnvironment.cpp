#include "installer/env/InstallEnvironment.h"

#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Prefix.h"
#include "platform/Registry.h"

const std::string ControlFileName = "\\MorvanUP.INF";

namespace {

const char kSettingsKey[] = "SOFTWARE\\KEL";

// Reads the string value `name` of the subkey `section` of the settings key (of the
// key itself when `section` is empty). Missing key or value, or a value that is not
// a string, read as "" - the callers treat every one of them as "not set".
std::string ReadSetting(const std::string& section, const std::string& name) {
    std::string path = kSettingsKey;
    if (!section.empty()) path += "\\" + section;
    std::string value;
    if (platform::RegReadString(platform::RegRoot::CurrentUser, path, name, value) != 0) return "";
    return value;
}

bool SettingsKeyExists() {
    platform::RegKey key;
    return platform::RegOpenKey(platform::RegRoot::CurrentUser, kSettingsKey,
                                platform::RegAccess::Read, key) == 0;
}

// The settings as start-up reads them, before any directory is derived.
struct Settings {
    std::string appDir;
    std::string workRoot;
    std::string installDir;
    std::string archiverDir;
    std::string toolsDir;
};

// Reads the settings in the order start-up reads them and collects, in that order,
// the reference of every setting that is missing. False when the settings key itself
// cannot be opened (then every setting is empty and nothing counts as missing).
bool ReadSettings(Settings& s, std::vector<std::string>& missing) {
    s = Settings{};
    missing.clear();
    if (!SettingsKeyExists()) return false;

    s.appDir = ReadSetting("INSTALL_DRIVE", "INSTALL_AP_PATH");
    if (s.appDir.empty()) s.appDir = "k:\\";
    NormalizeDirValue(s.appDir);

    s.workRoot = ReadSetting("KELSYS", "KELTEMP");
    if (s.workRoot.empty()) missing.push_back("%KELSYS\\KELTEMP%");
    NormalizeDirValue(s.workRoot);
    // The temporary folder may live on a drive that is not always there; the work
    // folder is the fallback, taken as it is.
    if (!platform::DirectoryExists(s.workRoot)) {
        s.workRoot = ReadSetting("KELSYS", "KEL_WORK");
        if (s.workRoot.empty()) missing.push_back("%KELSYS\\KEL_WORK%");
        NormalizeDirValue(s.workRoot);
    }

    s.installDir = ReadSetting("KELSYS", "INSTALL");
    if (s.installDir.empty()) missing.push_back("%KELSYS\\INSTALL%");
    NormalizeDirValue(s.installDir);

    // QVD_DAT names the data folder with a trailing "\"; the archiver lives in its
    // sibling folder EXE.
    s.archiverDir = ReadSetting("KELSYS", "QVD_DAT");
    if (s.archiverDir.empty()) {
        missing.push_back("%KELSYS\\QVD_DAT%");
    } else {
        s.archiverDir += "..\\EXE\\";
    }
    NormalizeDirValue(s.archiverDir);

    s.toolsDir = ReadSetting("KELSYS", "TOOLS");
    if (s.toolsDir.empty()) missing.push_back("%KELSYS\\TOOLS%");
    NormalizeDirValue(s.toolsDir);
    return true;
}

// Creates a work directory with its parents; a failure is reported by name.
bool MakeWorkDirectory(const std::string& dir) {
    if (platform::CreateDirectoryTree(dir) == 0) return true;
    ShowDirectoryCreateFailure(dir);
    return false;
}

}  // namespace

void NormalizeDirValue(std::string& s) {
    if (s.empty()) return;
    if (s.size() == 1) s += ':';
    // Only a "\" that is a character of its own ends the value; the trail byte of a
    // double-byte character such as "表" must stay.
    RemoveTrailingBackslash(s);
}

int LoadInstallEnvironment(InstallEnvironment& env) {
    Settings s;
    std::vector<std::string> missing;
    ReadSettings(s, missing);
    int result = 0;
    for (const std::string& reference : missing) {
        ShowCodeMessage(kCodeRegistryUnreadable, reference);
        result = kCodeRegistryUnreadable;
    }
    env.WorkRoot = s.workRoot;
    env.InstallDir = s.installDir;

    env.RevisionListFile = s.appDir + "\\Readme.ver";
    env.VersionDownRoot = s.appDir + "\\MorvanDN";
    env.ExtractDir = env.WorkRoot + "\\VERUPDN";
    bool created = MakeWorkDirectory(env.ExtractDir);
    env.WorkListFile = env.WorkRoot + "\\TEMP\\SET_WORK.LST";
    env.WorkScratchFile = env.WorkRoot + "\\TEMP\\SET_WORK.LOG";
    env.ReadmeDocFile = env.WorkRoot + "\\TEMP\\SET_READ.DOC";
    env.BackupDir = env.WorkRoot + "\\INSTBACK";
    created = MakeWorkDirectory(env.BackupDir) && created;
    created = MakeWorkDirectory(env.WorkRoot + "\\TEMP") && created;
    created = MakeWorkDirectory(env.VersionDownRoot) && created;
    // Without an archiver folder the bare name is found on the program search path.
    env.LhaExePath = s.archiverDir.empty() ? "LHA.EXE" : s.archiverDir + "\\LHA.EXE";
    env.HaltAppExePath = s.toolsDir + "\\HALTAPP.EXE";
    env.PauserExePath = s.appDir + "\\PAUSER\\PAUSER.EXE";
    env.ToolsDir = s.toolsDir;
    // Only the word "CRASH" (in any case) gives up the sync: a missing, misspelt or
    // unknown value keeps the safe setting.
    env.WriteAheadSync = !platform::EqualsNoCase(ReadSetting("MORVANUP", "WRITEAHEAD"), "CRASH");
    // A work directory that cannot be made leaves the installer without its staging
    // area: start-up fails as for a missing setting.
    if (!created) result = kCodeRegistryUnreadable;
    return result;
}

SettingsSurvey SurveySettings() {
    SettingsSurvey survey;
    Settings s;
    survey.keyPresent = ReadSettings(s, survey.missing);
    return survey;
}

std::string ExpandSettingRefs(const std::string& text) {
    if (text.empty()) return "";
    if (!SettingsKeyExists()) {
        ShowCodeMessage(kCodeRegistryUnreadable, "%SOFTWARE\\KEL%");
        return "";
    }
    std::string work = text;
    // A value may itself hold references and is expanded again; a setting that refers
    // to itself (directly or in a circle) would never end, so the number of
    // expansions of one text is bounded and such a text is reported as broken.
    constexpr int kMaxExpansions = 256;
    int expansions = 0;
    for (std::size_t start = platform::FindCharDbcs(work, '%'); start != std::string::npos;
         start = platform::FindCharDbcs(work, '%')) {
        if (++expansions > kMaxExpansions) {
            ShowCodeMessage(kCodeBrokenContent, text);
            return work;
        }
        std::size_t end = platform::FindCharDbcs(work, '%', start + 1);
        if (end == std::string::npos) end = start;  // a lone "%" is an empty reference
        const std::string name = end > start ? work.substr(start + 1, end - start - 1) : "";

        std::string value;
        if (platform::UpperCase(name) == "WINDIR") {
            value = platform::GetWindowsDirectoryW();
        } else {
            const std::size_t slash = platform::FindCharDbcs(name, '\\');
            if (slash == std::string::npos) {
                value = ReadSetting("", name);
            } else {
                value = ReadSetting(name.substr(0, slash), name.substr(slash + 1));
            }
        }
        if (value.empty()) ShowCodeMessage(kCodeBrokenContent, text);

        work.replace(start, end - start + 1, value);
        RemoveTrailingBackslash(work);
    }
    return work;
}
