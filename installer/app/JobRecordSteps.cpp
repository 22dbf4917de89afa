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
int CopyDurably(const std::string& source, const std::string& target, std::string& detail) {
    std::string contents;
    if (platform::ReadFileBytes(source, contents) != 0) return Broken(detail, source);
    if (platform::ReplaceFileBytes(target, contents, WriteAheadSync) != 0) {
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
int MoveFolder(const std::string& from, const std::string& to, std::string& detail) {
    if (platform::MoveFileW(from, to) != 0) return Broken(detail, from);
    if (WriteAheadSync) {
        if (platform::FlushFileW(to) != 0) return Broken(detail, to);
        if (platform::FlushFileW(VersionDownRoot) != 0) return Broken(detail, VersionDownRoot);
    }
    return 0;
}

std::string GroupDir(const std::string& group) { return VersionDownRoot + "\\" + group; }

// The record of a job about to start, from CurrentMedia.
JobRecord RecordOfMedium(JobMode mode, const std::string& group) {
    JobRecord record;
    record.mode = mode;
    record.group = group;
    record.title = CurrentMedia.Title;
    record.mediaVersion = CurrentMedia.Version;
    record.versionText = CurrentMedia.VersionText;
    record.revision = CurrentMedia.RevisionId;
    record.required = CurrentMedia.RequiredVersion;
    record.mediaNo = CurrentMedia.MediaNo;
    record.mediaCount = CurrentMedia.MediaCount;
    record.downVersion = CurrentMedia.DownVersion;
    return record;
}

// Folder of an ended job removed, so that the new job's copies start clean. -13 when
// an interrupted job's record is still there: it must be rolled back first.
int PrepareRecordFolder(std::string& detail) {
    JobRecord ignored;
    if (ReadJobRecord(ignored) != JobRecordState::None) return Broken(detail, JobRecordPath());
    if (!RemoveFolder(JobRecordDir())) return Broken(detail, JobRecordDir());
    return 0;
}

// A start that failed after the record was written: nothing of the machine has
// changed, so the record is withdrawn again (best effort: a record that stays only
// makes the next start offer a roll-back that changes nothing).
void WithdrawRecord() {
    std::string ignored;
    if (MarkJobRecordDone(ignored)) RemoveEndedJobRecord();
    CloseJobRecord();
}

}  // namespace

int BeginInstallJobRecord(bool holdPreviousGroup, std::string& detail) {
    if (int result = PrepareRecordFolder(detail); result != 0) return result;
    JobRecord record = RecordOfMedium(JobMode::Install, CurrentMedia.RevisionName);

    bool hadVersion = false;
    if (ReadStoredVersionValue(record.version, hadVersion) != 0) {
        detail = kVersionKeyName;
        return kCodeRegistryUnreadable;
    }
    record.hadVersion = hadVersion;

    if (platform::CreateDirectoryTree(JobRecordDir()) != 0) return Broken(detail, JobRecordDir());
    record.hadList = platform::FileExists(RevisionListFile);
    if (*record.hadList) {
        if (int result = CopyDurably(RevisionListFile, SavedRevisionListPath(), detail);
            result != 0) {
            return result;
        }
    }
    const std::string group = GroupDir(record.group);
    const bool groupExists = platform::DirectoryExists(group);
    record.held = holdPreviousGroup && groupExists;
    record.hadGroup = groupExists && !*record.held;
    record.hadControl = *record.hadGroup && platform::FileExists(group + ControlFileName);
    if (*record.hadControl) {
        if (int result = CopyDurably(group + ControlFileName, SavedControlFilePath(), detail);
            result != 0) {
            return result;
        }
    }
    if (!OpenJobRecord(record, detail)) {
        WithdrawRecord();
        return kCodeBrokenContent;
    }
    if (*record.held) {
        // Written before the move: a crash between the two leaves HELD with no held
        // folder, which the roll-back reads as "the group never moved".
        if (int result = MoveFolder(group, HeldGroupDir(), detail); result != 0) {
            if (platform::DirectoryExists(group)) WithdrawRecord();
            return result;
        }
    }
    return 0;
}

int BeginUninstallJobRecord(const std::vector<JobRecordEntry>& entries, std::string& detail) {
    if (int result = PrepareRecordFolder(detail); result != 0) return result;
    JobRecord record = RecordOfMedium(JobMode::Uninstall, UninstallGroupName);
    record.entries = entries;
    if (!OpenJobRecord(record, detail)) {
        WithdrawRecord();
        return kCodeBrokenContent;
    }
    return 0;
}

int EndJobRecord(std::string& detail) {
    if (!MarkJobRecordDone(detail)) return kCodeBrokenContent;
    if (platform::DirectoryExists(HeldGroupDir())) {
        // The previous full version's group goes for good, as the command interpreter
        // removes a tree; whatever stays is removed with the folder below.
        (void)RunAndWait("", RemoveTreeCommandLine(HeldGroupDir()));
    }
    RemoveEndedJobRecord();
    return 0;
}

void RemoveEndedJobRecord() {
    JobRecord ignored;
    if (ReadJobRecord(ignored) != JobRecordState::None) return;
    // Not reported: the job has ended; a folder that stays is removed at the next start
    // or before the next job (PrepareRecordFolder), which reports a failure.
    (void)RemoveFolder(JobRecordDir());
}

void LoadMediaFromRecord(const JobRecord& record) {
    auto Take = [](std::string& field, const std::string& value) {
        if (!value.empty()) field = value;
    };
    Take(CurrentMedia.Title, record.title);
    Take(CurrentMedia.Version, record.mediaVersion);
    Take(CurrentMedia.VersionText, record.versionText);
    Take(CurrentMedia.RevisionId, record.revision);
    Take(CurrentMedia.RequiredVersion, record.required);
    Take(CurrentMedia.MediaNo, record.mediaNo);
    Take(CurrentMedia.MediaCount, record.mediaCount);
    Take(CurrentMedia.DownVersion, record.downVersion);
    Take(CurrentMedia.RevisionName, record.group);
}

std::vector<JobRecordEntry> RollBackOrder(const JobRecord& record) {
    std::vector<JobRecordEntry> order = record.entries;
    if (record.mode != JobMode::Uninstall) std::reverse(order.begin(), order.end());
    return order;
}

int RestoreAfterInstallRollBack(const JobRecord& record, std::string& detail) {
    if (!record.group.empty()) {
        const std::string group = GroupDir(record.group);
        if (record.held.value_or(false)) {
            // The held folder still there: the group of the interrupted job goes and the
            // previous one comes back. Gone: it was never moved, or is back already.
            if (platform::DirectoryExists(HeldGroupDir())) {
                if (!RemoveFolder(group)) return Broken(detail, group);
                if (int result = MoveFolder(HeldGroupDir(), group, detail); result != 0) {
                    return result;
                }
            }
        } else if (record.held && record.hadGroup && !*record.hadGroup) {
            // The job made the group: with its uninstall scripts run, it goes whole
            // (with the markers of entries that kept no uninstall script).
            if (!RemoveFolder(group)) return Broken(detail, group);
        } else if (record.hadGroup.value_or(false) && record.hadControl) {
            const std::string control = group + ControlFileName;
            const int result = *record.hadControl
                                   ? CopyDurably(SavedControlFilePath(), control, detail)
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
                               ? CopyDurably(SavedRevisionListPath(), RevisionListFile, detail)
                               : DeleteIfPresent(RevisionListFile, detail);
        if (result != 0) return result;
    }
    return 0;
}
