#include "installer/env/JobRecord.h"

#include <mutex>

#include "installer/env/InstallEnvironment.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace {

const char kDoneLine[] = "STATE=DONE";

bool IsDigits(const std::string& s, std::size_t count) {
    if (s.size() != count) return false;
    for (char c : s) {
        if (!platform::IsAsciiDigit(c)) return false;
    }
    return true;
}

// A name that may stand for a store group: 8 digits or "Revision". Anything else
// (a hand-edited "..") must never become a path that the roll-back removes.
bool IsGroupName(const std::string& s) { return IsDigits(s, 8) || s == "Revision"; }

const char* Flag(bool value) { return value ? "1" : "0"; }

bool ParseFlag(const std::string& value, std::optional<bool>& out) {
    if (value == "0" || value == "1") {
        out = value == "1";
        return true;
    }
    return false;
}

bool ParseEntry(const std::string& value, JobRecordEntry& entry) {
    const std::size_t comma = platform::FindCharDbcs(value, ',');
    if (comma == std::string::npos) return false;
    entry.mediaNo = value.substr(0, comma);
    entry.scriptNo = value.substr(comma + 1);
    return IsDigits(entry.mediaNo, 2) && IsDigits(entry.scriptNo, 2);
}

// One NAME=VALUE line; false for a line that is not understood.
bool ParseLine(const std::string& name, const std::string& value, JobRecord& out) {
    if (name == "MODE") {
        if (value == "INSTALL")
            out.mode = JobMode::Install;
        else if (value == "UNINSTALL")
            out.mode = JobMode::Uninstall;
        else
            return false;
        return true;
    }
    if (name == "GROUP") {
        if (!IsGroupName(value)) return false;
        out.group = value;
        return true;
    }
    if (name == "ENTRY") {
        JobRecordEntry entry;
        if (!ParseEntry(value, entry)) return false;
        out.entries.push_back(entry);
        return true;
    }
    struct Text {
        const char* name;
        std::string JobRecord::*field;
    };
    static const Text kTexts[] = {
        {"TITLE", &JobRecord::title},
        {"MEDIAVERSION", &JobRecord::mediaVersion},
        {"VERSIONTEXT", &JobRecord::versionText},
        {"REVISION", &JobRecord::revision},
        {"REQUIRED", &JobRecord::required},
        {"MEDIA", &JobRecord::mediaNo},
        {"MEDIACOUNT", &JobRecord::mediaCount},
        {"DOWNVERSION", &JobRecord::downVersion},
        {"VERSION", &JobRecord::version},
    };
    for (const Text& text : kTexts) {
        if (name == text.name) {
            out.*text.field = value;
            return true;
        }
    }
    struct FlagField {
        const char* name;
        std::optional<bool> JobRecord::*field;
    };
    static const FlagField kFlags[] = {
        {"HADVERSION", &JobRecord::hadVersion},
        {"HADLIST", &JobRecord::hadList},
        {"HADGROUP", &JobRecord::hadGroup},
        {"HADCONTROL", &JobRecord::hadControl},
        {"HELD", &JobRecord::held},
    };
    for (const FlagField& flag : kFlags) {
        if (name == flag.name) return ParseFlag(value, out.*flag.field);
    }
    return false;
}

bool WriteRecordFile(const InstallEnvironment& env, const std::string& text,
                     std::string& failedPath) {
    const std::string path = JobRecordPath(env);
    if (platform::ReplaceFileBytes(path, text, env.WriteAheadSync) != 0) {
        failedPath = path;
        return false;
    }
    return true;
}

}  // namespace

std::string JobRecordDir(const InstallEnvironment& env) { return env.VersionDownRoot + "\\JOBREC"; }
std::string JobRecordPath(const InstallEnvironment& env) { return JobRecordDir(env) + "\\JOB.INF"; }
std::string SavedRevisionListPath(const InstallEnvironment& env) {
    return JobRecordDir(env) + "\\Readme.ver";
}
std::string SavedControlFilePath(const InstallEnvironment& env) {
    return JobRecordDir(env) + ControlFileName;
}
std::string HeldGroupDir(const InstallEnvironment& env) { return JobRecordDir(env) + "\\Revision"; }

std::string FormatJobRecord(const JobRecord& record) {
    std::string text;
    auto Line = [&text](const char* name, const std::string& value) {
        text += name;
        text += "=";
        text += value;
        text += "\r\n";
    };
    if (record.mode) Line("MODE", *record.mode == JobMode::Install ? "INSTALL" : "UNINSTALL");
    Line("GROUP", record.group);
    Line("TITLE", record.title);
    Line("MEDIAVERSION", record.mediaVersion);
    Line("VERSIONTEXT", record.versionText);
    Line("REVISION", record.revision);
    Line("REQUIRED", record.required);
    Line("MEDIA", record.mediaNo);
    Line("MEDIACOUNT", record.mediaCount);
    Line("DOWNVERSION", record.downVersion);
    Line("VERSION", record.version);
    if (record.hadVersion) Line("HADVERSION", Flag(*record.hadVersion));
    if (record.hadList) Line("HADLIST", Flag(*record.hadList));
    if (record.hadGroup) Line("HADGROUP", Flag(*record.hadGroup));
    if (record.hadControl) Line("HADCONTROL", Flag(*record.hadControl));
    if (record.held) Line("HELD", Flag(*record.held));
    for (const JobRecordEntry& entry : record.entries) {
        Line("ENTRY", entry.mediaNo + "," + entry.scriptNo);
    }
    return text;
}

bool ParseJobRecord(const std::string& text, JobRecord& out) {
    out = JobRecord{};
    bool understood = true;
    for (const std::string& line : platform::SplitLines(text)) {
        if (line.empty()) continue;
        const std::size_t equals = platform::FindCharDbcs(line, '=');
        if (equals == std::string::npos ||
            !ParseLine(line.substr(0, equals), line.substr(equals + 1), out)) {
            understood = false;
        }
    }
    if (!out.mode || out.group.empty()) return false;
    if (*out.mode == JobMode::Install &&
        (!out.hadVersion || !out.hadList || !out.hadGroup || !out.hadControl || !out.held)) {
        return false;
    }
    return understood;
}

JobRecordState ReadJobRecord(const InstallEnvironment& env, JobRecord& out) {
    out = JobRecord{};
    const std::string path = JobRecordPath(env);
    if (!platform::PathExists(path)) return JobRecordState::None;
    std::string text;
    if (platform::ReadFileBytes(path, text) != 0) return JobRecordState::Damaged;
    const std::vector<std::string> lines = platform::SplitLines(text);
    if (lines.size() == 1 && lines[0] == kDoneLine) return JobRecordState::None;
    return ParseJobRecord(text, out) ? JobRecordState::Found : JobRecordState::Damaged;
}

bool RunningJobRecord::OpenJobRecord(const InstallEnvironment& env, const JobRecord& record,
                                     std::string& failedPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string dir = JobRecordDir(env);
    if (platform::CreateDirectoryTree(dir) != 0) {
        failedPath = dir;
        return false;
    }
    if (!WriteRecordFile(env, FormatJobRecord(record), failedPath)) return false;
    if (env.WriteAheadSync && platform::FlushFileW(dir) != 0) {
        // The record's folder must survive a power cut as well as the record itself.
        failedPath = dir;
        return false;
    }
    openRecord_ = record;
    recordOpen_ = true;
    return true;
}

bool RunningJobRecord::UpdateJobRecord(const InstallEnvironment& env, const JobRecord& record,
                                       std::string& failedPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!WriteRecordFile(env, FormatJobRecord(record), failedPath)) return false;
    openRecord_ = record;
    recordOpen_ = true;
    return true;
}

JobRecord RunningJobRecord::OpenedJobRecord() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return recordOpen_ ? openRecord_ : JobRecord{};
}

bool RunningJobRecord::JobRecordIsOpen() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return recordOpen_;
}

bool RunningJobRecord::MarkJobRecordDone(const InstallEnvironment& env, std::string& failedPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!WriteRecordFile(env, std::string(kDoneLine) + "\r\n", failedPath)) return false;
    openRecord_ = JobRecord{};
    recordOpen_ = false;
    return true;
}

void RunningJobRecord::CloseJobRecord() {
    std::lock_guard<std::mutex> lock(mutex_);
    openRecord_ = JobRecord{};
    recordOpen_ = false;
}

bool RunningJobRecord::RecordJobEntry(const InstallEnvironment& env, const std::string& mediaNo,
                                      const std::string& scriptNo, std::string& failedPath) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!recordOpen_) return true;
    JobRecord next = openRecord_;
    next.entries.push_back({mediaNo, scriptNo});
    if (!WriteRecordFile(env, FormatJobRecord(next), failedPath)) return false;
    openRecord_ = std::move(next);
    return true;
}
