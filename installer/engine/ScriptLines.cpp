#include "installer/engine/ScriptLines.h"

#include <cstring>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/VersionRecords.h"
#include "platform/Cp932.h"

bool IsSkippedLine(const std::string& line) { return line.empty() || line[0] == ';'; }

std::string ExpandScriptLine(const std::string& line) {
    // "%" (0x25) is never the trail byte of a double-byte character, so a plain
    // search is exact. Lines without a reference skip the settings altogether: the
    // scan reads every line of a hundred scripts, and a settings read per line would
    // dominate it.
    if (line.find('%') == std::string::npos) return line;
    return ExpandSettingRefs(line);
}

bool KeywordMatches(const std::string& line, const char* keyword, std::size_t count) {
    // The keyword's own end counts as a character: comparing "README" over 7
    // characters asks for the line to end right after the word.
    std::size_t keywordLength = std::strlen(keyword);
    std::string_view wanted(keyword, keywordLength < count ? keywordLength : count);
    std::string_view head(line.data(), line.size() < count ? line.size() : count);
    return head == wanted;
}

std::string ScriptHeaderLine(const VERUP_FILE_REC& media) {
    return platform::UpperCaseAscii(media.VersionText) + "/" + media.RevisionId;
}

std::string TwoDigitNumber(int n) {
    char text[3] = {static_cast<char>('0' + (n / 10) % 10), static_cast<char>('0' + n % 10), 0};
    return text;
}

std::string InstallScriptPath(const InstallRun& run, const std::string& scriptNo) {
    return run.InstallDiskPath + "\\INST" + scriptNo + ".DAT";
}

std::string UninstallMediaDir(const InstallEnvironment& env, const InstallRun& run,
                              const std::string& mediaNo) {
    return env.VersionDownRoot + "\\" + run.UninstallGroupName + "\\" + mediaNo;
}

std::string UninstallScriptPath(const InstallEnvironment& env, const InstallRun& run,
                                const std::string& mediaNo, const std::string& scriptNo) {
    return UninstallMediaDir(env, run, mediaNo) + "\\INST" + scriptNo + ".DAT";
}

std::string UninstallMarkerPath(const InstallEnvironment& env, const InstallRun& run,
                                const std::string& mediaNo, const std::string& scriptNo) {
    return UninstallMediaDir(env, run, mediaNo) + "\\INST" + scriptNo + ".DA_";
}

std::string CurrentMediaStoreDir(const InstallEnvironment& env, const InstallRun& run) {
    return env.VersionDownRoot + "\\" + run.CurrentMedia.RevisionName + "\\" +
           run.CurrentMedia.MediaNo;
}

std::string UndoScriptPathFor(const InstallEnvironment& env, const InstallRun& run,
                              const std::string& scriptNo) {
    return CurrentMediaStoreDir(env, run) + "\\INST" + scriptNo + ".DAT";
}

std::string InstalledMarkerPath(const InstallEnvironment& env, const InstallRun& run,
                                const std::string& scriptNo) {
    return CurrentMediaStoreDir(env, run) + "\\INST" + scriptNo + ".DA_";
}
