#include "installer/app/JobRecordSteps.h"

#include <algorithm>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/VersionRecords.h"
#include "installer/util/ChildProcesses.h"
#include "installer/util/TreeOps.h"
#include "platform/Files.h"

namespace {

int Broken(std::string& detail, const std::string& path) {
    detail = path;
    return kCodeBrokenContent;
}

// A whole-file copy that a crash cannot leave half done: the target holds the old or
// the complete new contents (on the disk when WriteAheadSync).
int CopyDurably(const InstallEnvironment& env, const std::string& source, const std::string& target,
                std::string& detail) {
    std::string contents;
    if (platform::ReadFileBytes(source, contents) != 0) return Broken(detail, source);
    if (platform::ReplaceFileBytes(target, contents, env.WriteAheadSync) != 0) {
        return Broken(detail, target);
    }
    return 0;
}

// Deletes a file; one that is already gone is the state wanted.
int DeleteIfPresent(const std::string& path, std::string& detail) {
    const platform::WinError result = platform::DeleteFileW(path);
    if (result == 0 || result == 2 || result == 3) return 0;
    return Broken(detail, path);
}

// Removes a folder with everything in it; true when it is gone.
bool RemoveFolder(const std::string& dir) {
    if (!platform::DirectoryExists(dir)) return true;
    // The folder's own state below decides: RemoveTree does not report every failure.
    (void)RemoveTree(dir);
    return !platform::DirectoryExists(dir);
}

// A folder moved from `from` to `to` (the same store, one rename), durable when
// WriteAheadSync: both folders' entries are forced to the disk.
int MoveFolder(const InstallEnvironment& env, const std::string& from, const std::string& to,
               std::string& detail) {
    if (platform::MoveFileW(from, to) != 0) return Broken(detail, from);
    if (env.WriteAheadSync) {
        if (platform::FlushFileW(to) != 0) return Broken(detail, to);
        if (platform::FlushFileW(env.VersionDownRoot) != 0)
            return Broken(detail, env.VersionDownRoot);
    }
    return 0;
}

std::string GroupDir(const InstallEnvironment& env, const std::string& group) {
    return env.VersionDownRoot + "\\" + group;
}

// The record of a job about to start, from CurrentMedia.
JobRecord RecordOfMedium(const VERUP_FILE_REC& media, JobMode mode, const std::string& group) {
    JobRecord record;
    record.mode = mode;
    record.group = group;
    record.title = media.Title;
    record.mediaVersion = media.Version;
    record.versionText = media.VersionText;
    record.revision = media.RevisionId;
    record.required = media.RequiredVersion;
    record.mediaNo = media.MediaNo;
    record.mediaCount = media.MediaCount;
    record.downVersion = media.DownVersion;
    return record;
}

// Folder of an ended job removed, so that the new job's copies start clean. -13 when
// an interrupted job's record is still there: it must be rolled back first.
int PrepareRecordFolder(const InstallEnvironment& env, std::string& detail) {
    JobRecord ignored;
    if (ReadJobRecord(env, ignored) != JobRecordState::None)
        return Broken(detail, JobRecordPath(env));
    if (!RemoveFolder(JobRecordDir(env))) return Broken(detail, JobRecordDir(env));
    return 0;
}

// A start that failed after the record was written: nothing of the machine has
// changed, so the record is withdrawn again (best effort: a record that stays only
// makes the next start offer a roll-back that changes nothing).
void WithdrawRecord(InstallerState& state) {
    std::string ignored;
    if (state.record.MarkJobRecordDone(state.env, ignored)) RemoveEndedJobRecord(state.env);
    state.record.CloseJobRecord();
}

}  // namespace

int BeginInstallJobRecord(InstallerState& state, bool holdPreviousGroup, std::string& detail) {
    if (int result = PrepareRecordFolder(state.env, detail); result != 0) return result;
    JobRecord record = RecordOfMedium(state.run.CurrentMedia, JobMode::Install,
                                      state.run.CurrentMedia.RevisionName);

    bool hadVersion = false;
    if (ReadStoredVersionValue(record.version, hadVersion) != 0) {
        detail = kVersionKeyName;
        return kCodeRegistryUnreadable;
    }
    record.hadVersion = hadVersion;

    if (platform::CreateDirectoryTree(JobRecordDir(state.env)) != 0)
        return Broken(detail, JobRecordDir(state.env));
    record.hadList = platform::FileExists(state.env.RevisionListFile);
    if (*record.hadList) {
        if (int result = CopyDurably(state.env, state.env.RevisionListFile,
                                     SavedRevisionListPath(state.env), detail);
            result != 0) {
            return result;
        }
    }
    const std::string group = GroupDir(state.env, record.group);
    const bool groupExists = platform::DirectoryExists(group);
    record.held = holdPreviousGroup && groupExists;
    record.hadGroup = groupExists && !*record.held;
    record.hadControl = *record.hadGroup && platform::FileExists(group + ControlFileName);
    if (*record.hadControl) {
        if (int result = CopyDurably(state.env, group + ControlFileName,
                                     SavedControlFilePath(state.env), detail);
            result != 0) {
            return result;
        }
    }
    if (!state.record.OpenJobRecord(state.env, record, detail)) {
        WithdrawRecord(state);
        return kCodeBrokenContent;
    }
    if (*record.held) {
        // Written before the move: a crash between the two leaves HELD with no held
        // folder, which the roll-back reads as "the group never moved".
        if (int result = MoveFolder(state.env, group, HeldGroupDir(state.env), detail);
            result != 0) {
            if (platform::DirectoryExists(group)) WithdrawRecord(state);
            return result;
        }
    }
    return 0;
}

int BeginUninstallJobRecord(InstallerState& state, const std::vector<JobRecordEntry>& entries,
                            std::string& detail) {
    if (int result = PrepareRecordFolder(state.env, detail); result != 0) return result;
    JobRecord record =
        RecordOfMedium(state.run.CurrentMedia, JobMode::Uninstall, state.run.UninstallGroupName);
    record.entries = entries;
    if (!state.record.OpenJobRecord(state.env, record, detail)) {
        WithdrawRecord(state);
        return kCodeBrokenContent;
    }
    return 0;
}

int EndJobRecord(InstallerState& state, std::string& detail) {
    if (!state.record.MarkJobRecordDone(state.env, detail)) return kCodeBrokenContent;
    if (platform::DirectoryExists(HeldGroupDir(state.env))) {
        // The previous full version's group goes for good, as the command interpreter
        // removes a tree; whatever stays is removed with the folder below.
        (void)RunAndWait("", RemoveTreeCommandLine(HeldGroupDir(state.env)));
    }
    RemoveEndedJobRecord(state.env);
    return 0;
}

void RemoveEndedJobRecord(const InstallEnvironment& env) {
    JobRecord ignored;
    if (ReadJobRecord(env, ignored) != JobRecordState::None) return;
    // Not reported: the job has ended; a folder that stays is removed at the next start
    // or before the next job (PrepareRecordFolder), which reports a failure.
    (void)RemoveFolder(JobRecordDir(env));
}

void LoadMediaFromRecord(VERUP_FILE_REC& media, const JobRecord& record) {
    auto Take = [](std::string& field, const std::string& value) {
        if (!value.empty()) field = value;
    };
    Take(media.Title, record.title);
    Take(media.Version, record.mediaVersion);
    Take(media.VersionText, record.versionText);
    Take(media.RevisionId, record.revision);
    Take(media.RequiredVersion, record.required);
    Take(media.MediaNo, record.mediaNo);
    Take(media.MediaCount, record.mediaCount);
    Take(media.DownVersion, record.downVersion);
    Take(media.RevisionName, record.group);
}

std::vector<JobRecordEntry> RollBackOrder(const JobRecord& record) {
    std::vector<JobRecordEntry> order = record.entries;
    if (record.mode != JobMode::Uninstall) std::reverse(order.begin(), order.end());
    return order;
}

int RestoreAfterInstallRollBack(InstallerState& state, const JobRecord& record,
                                std::string& detail) {
    if (!record.group.empty()) {
        const std::string group = GroupDir(state.env, record.group);
        if (record.held.value_or(false)) {
            // The held folder still there: the group of the interrupted job goes and the
            // previous one comes back. Gone: it was never moved, or is back already.
            if (platform::DirectoryExists(HeldGroupDir(state.env))) {
                if (!RemoveFolder(group)) return Broken(detail, group);
                if (int result = MoveFolder(state.env, HeldGroupDir(state.env), group, detail);
                    result != 0) {
                    return result;
                }
            }
        } else if (record.held && record.hadGroup && !*record.hadGroup) {
            // The job made the group: with its uninstall scripts run, it goes whole
            // (with the markers of entries that kept no uninstall script).
            if (!RemoveFolder(group)) return Broken(detail, group);
        } else if (record.hadGroup.value_or(false) && record.hadControl) {
            const std::string control = group + ControlFileName;
            const int result =
                *record.hadControl
                    ? CopyDurably(state.env, SavedControlFilePath(state.env), control, detail)
                    : DeleteIfPresent(control, detail);
            if (result != 0) return result;
        }
    }
    if (record.hadVersion) {
        if (RestoreStoredVersionValue(record.version, *record.hadVersion) != 0) {
            detail = kVersionKeyName;
            return kCodeRegistryUnreadable;
        }
    }
    if (record.hadList) {
        const int result = *record.hadList
                               ? CopyDurably(state.env, SavedRevisionListPath(state.env),
                                             state.env.RevisionListFile, detail)
                               : DeleteIfPresent(state.env.RevisionListFile, detail);
        if (result != 0) return result;
    }
    return 0;
}
