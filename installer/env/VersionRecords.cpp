#include "installer/env/VersionRecords.h"

#include <climits>
#include <vector>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/LineFiles.h"
#include "installer/env/Messages.h"
#include "installer/env/ScriptTable.h"
#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/FileSearch.h"
#include "platform/Files.h"
#include "platform/Registry.h"

const char kVersionKeyName[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvan\\COMMON";

namespace {

const char kNoVersion[] = "0.00";
const char kFullVersionGroup[] = "Revision";
const char kProductKey[] = "SOFTWARE\\Morvan";
const char kVersionKey[] = "SOFTWARE\\Morvan\\COMMON";
const std::size_t kRevisionIdLength = 8;

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (!platform::IsAsciiDigit(c)) return false;
    }
    return true;
}

// A number of one or two digits as two: "1" -> "01" (other texts unchanged).
std::string PadToTwoDigits(const std::string& s) { return s.size() == 1 ? "0" + s : s; }

int Malformed(ControlFileProblem& problem, int line, const char* reason) {
    problem.line = line;
    problem.reason = reason;
    return kCodeBadControlFile;
}

int WriteVersionOrReport(const std::string& version, std::string& detail) {
    if (WriteRegisteredVersion(version) == 0) return 0;
    detail = kVersionKeyName;
    return kCodeRegistryUnreadable;
}

// Reads COMMON / VERSION of the product key: 0 and the value stripped to digits and
// points, or -16 when the key or value is missing or holds no number.
int ReadVersionValue(std::string& version) {
    platform::RegKey key;
    if (platform::RegOpenKey(platform::RegRoot::LocalMachine, std::string(kProductKey) + "\\COMMON",
                             platform::RegAccess::Read, key) != 0) {
        return kCodeNotInstallable;
    }
    std::string value;
    if (platform::RegQueryString(key, "VERSION", value) != 0 || value.empty()) {
        return kCodeNotInstallable;
    }
    double number = 0;
    if (!ParseVersionNumber(value, number)) return kCodeNotInstallable;
    version = value;
    return 0;
}

long long HundredthsOrZero(const std::string& text) {
    long long value = 0;
    return VersionHundredths(text, value) ? value : 0;
}

}  // namespace

bool VersionHundredths(const std::string& text, long long& hundredths) {
    std::string digits = text;
    double ignored = 0;
    if (!ParseVersionNumber(digits, ignored)) return false;
    // Whole hundredths, truncated: integer part * 100 + the first two decimals.
    const std::size_t point = digits.find('.');
    const std::string whole = digits.substr(0, point);
    std::string fraction = point == std::string::npos ? "" : digits.substr(point + 1);
    fraction = (fraction + "00").substr(0, 2);
    long long value = 0;
    for (char c : whole + fraction) {
        if (value > (LLONG_MAX - 9) / 10) {
            value = LLONG_MAX;  // absurdly long numbers compare as the largest version
            break;
        }
        value = value * 10 + (c - '0');
    }
    hundredths = value;
    return true;
}

int ReadControlFile(InstallRun& run, const std::string& dir, ControlFileProblem& problem) {
    problem = ControlFileProblem{};
    // The whole path is used: a medium deep in a folder tree must not be read from
    // another, shorter-named file.
    const std::string path = dir + ControlFileName;
    std::vector<std::string> lines;
    if (!platform::FileExists(path) || !ReadLineFile(path, lines)) {
        problem.reason = "the control file is missing or cannot be read";
        if (!run.UninstallMode) ShowCodeMessage(kCodeNoControlFile, "", run);
        return kCodeNoControlFile;
    }
    for (std::string& line : lines) RemoveBlanks(line);
    if (lines.size() < 4) {
        return Malformed(problem, 0, "the control file has fewer than 4 lines");
    }

    VERUP_FILE_REC& media = run.CurrentMedia;
    media.Title = lines[0];

    // Line 2: version "/" revision id. A version whose second decimal is "X" (2.1X)
    // marks a medium that brings a revision only.
    const std::string& line2 = lines[1];
    const std::size_t slash2 = platform::FindCharDbcs(line2, '/');
    if (slash2 == std::string::npos) return Malformed(problem, 2, "no \"/\" after the version");
    const std::string version = line2.substr(0, slash2);
    const std::size_t point = version.find('.');
    const std::size_t markAt = point == std::string::npos ? 1 : point + 2;
    if (markAt < version.size() && (version[markAt] == 'X' || version[markAt] == 'x')) {
        media.Version = kNoVersion;
        media.VersionText = version;
    } else {
        std::string copy = version;
        double ignored = 0;
        if (!ParseVersionNumber(copy, ignored)) {
            return Malformed(problem, 2, "the version before \"/\" is not a number");
        }
        media.Version = version;
        media.VersionText = version;
    }
    const std::string id = line2.substr(slash2 + 1);
    if (id.size() < kRevisionIdLength) {
        return Malformed(problem, 2, "the revision id after \"/\" has fewer than 8 characters");
    }
    media.RevisionId = platform::CutToBytes(id, kRevisionIdLength);

    // Line 3: required version "/" anything. Without "/" the line states no version
    // at all, which must not pass for "no condition".
    const std::string& line3 = lines[2];
    const std::size_t slash3 = platform::FindCharDbcs(line3, '/');
    if (slash3 == std::string::npos) {
        return Malformed(problem, 3, "no \"/\" after the required version");
    }
    std::string required = line3.substr(0, slash3);
    {
        std::string copy = required;
        double ignored = 0;
        if (!ParseVersionNumber(copy, ignored)) {
            return Malformed(problem, 3, "the required version before \"/\" is not a number");
        }
    }
    media.RequiredVersion = required;

    media.RevisionName = media.Version != kNoVersion ? kFullVersionGroup : media.RevisionId;

    // Line 4: medium number "/" number of media, one or two digits each.
    const std::string& line4 = lines[3];
    const std::size_t slash4 = platform::FindCharDbcs(line4, '/');
    if (slash4 != 1 && slash4 != 2) {
        return Malformed(problem, 4, "the medium number before \"/\" must have 1 or 2 digits");
    }
    const std::string number = PadToTwoDigits(line4.substr(0, slash4));
    if (!AllDigits(number)) return Malformed(problem, 4, "the medium number is not a number");
    media.MediaNo = number;
    const std::string count = PadToTwoDigits(line4.substr(slash4 + 1, 2));
    if (!AllDigits(count)) {
        return Malformed(problem, 4, "the number of media after \"/\" is not a number");
    }
    media.MediaCount = count;

    if (lines.size() == 5) media.DownVersion = lines[4];
    return 0;
}

int ReadControlFile(InstallRun& run, const std::string& dir) {
    ControlFileProblem ignored;
    return ReadControlFile(run, dir, ignored);
}

bool CheckMedia(InstallRun& run, const std::string& dir) {
    if (!platform::FileExists(dir + ControlFileName)) {
        ShowCodeMessage(kCodeNoControlFile, "", run);
        return false;
    }
    return CheckVersionFit(run) == 0;
}

int CheckVersionFit(InstallRun& run) {
    if (run.CurrentMedia.RequiredVersion == kNoVersion) return 0;
    int result = LoadInstalledVersion(run);
    if (result == 0) {
        const long long installed = HundredthsOrZero(run.InstalledVersion);
        if (installed < HundredthsOrZero(run.CurrentMedia.RequiredVersion)) {
            result = kCodeNeedsNewerVersion;
        } else if (run.CurrentMedia.Version != kNoVersion &&
                   HundredthsOrZero(run.CurrentMedia.Version) < installed) {
            result = kCodeOlderThanInstalled;
        }
    }
    ShowCodeMessage(result, "", run);
    return result;
}

int LoadInstalledVersion(InstallRun& run) {
    run.InstalledVersion = kNoVersion;
    return ReadVersionValue(run.InstalledVersion);
}

int ReadRegisteredVersion(std::string& version) { return ReadVersionValue(version); }

int WriteRegisteredVersion(const std::string& version) {
    platform::RegKey product;
    if (platform::RegOpenKey(platform::RegRoot::LocalMachine, kProductKey,
                             platform::RegAccess::ReadWrite, product) != 0) {
        return kCodeNotInstallable;
    }
    platform::RegKey common;
    if (platform::RegCreateSubKey(product, "COMMON", common) != 0 ||
        platform::RegSetString(common, "VERSION", version) != 0) {
        return kCodeNotInstallable;
    }
    return 0;
}

int RecordRevision(const InstallEnvironment& env, const VERUP_FILE_REC& media,
                   std::string& detail) {
    if (media.RequiredVersion == kNoVersion) return 0;
    if (media.Version != kNoVersion) {
        if (int result = WriteVersionOrReport(media.Version, detail); result != 0) {
            return result;
        }
    }

    std::vector<std::string> old;
    if (platform::FileExists(env.RevisionListFile) && !ReadLineFile(env.RevisionListFile, old)) {
        // A list that exists but cannot be read must not be replaced by a shorter one.
        detail = env.RevisionListFile;
        return kCodeBrokenContent;
    }
    // The latest revision stands first; it is present when the first line that can
    // hold an id begins with it. Then nothing is written, also when it is the only
    // entry (writing it again would list it twice).
    for (const std::string& line : old) {
        if (line.size() < kRevisionIdLength) continue;
        if (line.compare(0, kRevisionIdLength, media.RevisionId) == 0) return 0;
        break;
    }
    std::vector<std::string> lines{media.RevisionId};
    for (const std::string& line : old) {
        if (line.size() == kRevisionIdLength) lines.push_back(line);
    }
    // Through the scratch file, replaced atomically (durable when WriteAheadSync): a
    // crash leaves the old list or the new one; a read-only list is reported.
    return RewriteThroughScratch(env.RevisionListFile, lines, env.WorkScratchFile,
                                 env.WriteAheadSync, detail)
               ? 0
               : kCodeBrokenContent;
}

int RemoveRevision(const InstallEnvironment& env, const VERUP_FILE_REC& media,
                   const std::string& id, std::string& detail) {
    if (media.RequiredVersion == kNoVersion) return 0;
    if (media.Version != kNoVersion) {
        if (int result = WriteVersionOrReport(media.DownVersion, detail); result != 0) {
            return result;
        }
    }

    // Empties the work file; the rewrite below writes it whole again and reports.
    (void)platform::WriteFileBytes(env.WorkScratchFile, "");
    if (!platform::FileExists(env.RevisionListFile)) return 0;
    std::vector<std::string> old;
    if (!ReadLineFile(env.RevisionListFile, old)) {
        detail = env.RevisionListFile;
        return kCodeBrokenContent;
    }
    std::vector<std::string> lines;
    for (const std::string& line : old) {
        if (line.size() == kRevisionIdLength && line != id) lines.push_back(line);
    }
    // Through the scratch file, replaced atomically (durable when WriteAheadSync): a
    // crash leaves the old list or the new one; a read-only list is reported.
    return RewriteThroughScratch(env.RevisionListFile, lines, env.WorkScratchFile,
                                 env.WriteAheadSync, detail)
               ? 0
               : kCodeBrokenContent;
}

int ReadStoredVersionValue(std::string& value, bool& present) {
    value.clear();
    present = false;
    platform::RegKey key;
    const platform::WinError open = platform::RegOpenKey(
        platform::RegRoot::LocalMachine, kVersionKey, platform::RegAccess::Read, key);
    if (open == 2) return 0;  // no key: no version
    if (open != 0) return kCodeRegistryUnreadable;
    platform::RegValueInfo info;
    const platform::WinError query = platform::RegQueryValue(key, "VERSION", info);
    if (query == 2) return 0;
    if (query != 0) return kCodeRegistryUnreadable;
    value = info.data;
    present = true;
    return 0;
}

int RestoreStoredVersionValue(const std::string& value, bool present) {
    platform::RegKey key;
    if (present) {
        if (platform::RegCreateKey(platform::RegRoot::LocalMachine, kVersionKey, key) != 0 ||
            platform::RegSetString(key, "VERSION", value) != 0) {
            return kCodeRegistryUnreadable;
        }
        return 0;
    }
    const platform::WinError open = platform::RegOpenKey(
        platform::RegRoot::LocalMachine, kVersionKey, platform::RegAccess::ReadWrite, key);
    if (open == 2) return 0;  // no key: no value to remove
    if (open != 0) return kCodeRegistryUnreadable;
    const platform::WinError removed = platform::RegDeleteValue(key, "VERSION");
    return removed == 0 || removed == 2 ? 0 : kCodeRegistryUnreadable;
}

bool IsRevisionStoreDir(const InstallEnvironment& env, const std::string& name) {
    if (!(name.size() == kRevisionIdLength && AllDigits(name)) && name != kFullVersionGroup) {
        return false;
    }
    const std::string group = env.VersionDownRoot + "\\" + name;
    std::vector<platform::FindEntry> entries;
    if (platform::FindFiles(group + "\\*", platform::FindSelection::AllEntries, entries) != 0) {
        return false;
    }
    for (const platform::FindEntry& entry : entries) {
        if (entry.name.size() != 2 || !AllDigits(entry.name)) continue;
        std::vector<platform::FindEntry> scripts;
        if (platform::FindFiles(group + "\\" + entry.name + "\\*.DAT",
                                platform::FindSelection::PlainFiles, scripts) == 0 &&
            !scripts.empty()) {
            return true;
        }
    }
    return false;
}

int ScriptEntryLine(const ScriptTable& table, int index, std::string& line) {
    line.clear();
    if (!table.HasEntry(index)) return 0;
    const ScriptEntry& entry = table.Entry(index);
    line = entry.Title;
    PadRight(38, line);
    if (entry.Status == kScriptUninstallable) {
        line += "(ｱﾝｲﾝｽﾄｰﾙ可)";
    } else if (entry.Status == kScriptInstalled) {
        line += "(ｲﾝｽﾄｰﾙ済み)";
    }
    return entry.CommandCount;
}
