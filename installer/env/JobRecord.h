// The record of a job in progress, kept in the store (VersionDownRoot) from the
// moment a job starts until it has ended, so that a job cut short by a crash or a
// power cut is found at the next start and can be rolled back (an install) or run
// to its end (an uninstall).
//
// The record lives in the folder VersionDownRoot\JOBREC (a name no store group can
// have: groups are 8 digits or "Revision"). It holds JOB.INF, a code page 932 text of
// NAME=VALUE lines ending in CR LF, always written whole and atomically (a reader or
// a killed program sees the old or the complete new record; synced to the disk when
// WriteAheadSync is on). Beside it the job keeps what a roll-back must put back: the
// revision list as it was (Readme.ver), the group's control file as it was
// (MorvanUP.INF), and the previous full version's group while a new full version is
// installed (Revision).
//
// Fields of JOB.INF:
//   MODE=INSTALL|UNINSTALL
//   GROUP=<store group: RevisionName of an install, UninstallGroupName of an uninstall>
//   TITLE, MEDIAVERSION, VERSIONTEXT, REVISION, REQUIRED, MEDIA, MEDIACOUNT, DOWNVERSION:
//       the fields of CurrentMedia when the job started
//   VERSION=<registered version before the job>   HADVERSION=0|1
//   HADLIST=0|1     the revision list existed (its copy is JOBREC\Readme.ver)
//   HADGROUP=0|1    the group folder existed before (and is not the one being held)
//   HADCONTROL=0|1  the group's control file existed (its copy is JOBREC\MorvanUP.INF)
//   HELD=0|1        the previous full version's group was moved to JOBREC\Revision
//   ENTRY=mm,nn     one line per entry the job started, in order
// A record whose job has ended holds the single line STATE=DONE until the folder is
// removed: it is no interrupted job.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "installer/env/InstallEnvironment.h"

enum class JobMode { Install, Uninstall };

struct JobRecordEntry {
    std::string mediaNo;   // "01".."99"
    std::string scriptNo;  // "00".."99"
    bool operator==(const JobRecordEntry&) const = default;
};

struct JobRecord {
    std::optional<JobMode> mode;
    std::string group;  // empty when the record does not name a valid group
    std::string title, mediaVersion, versionText, revision, required, mediaNo, mediaCount,
        downVersion;
    std::string version;
    // Flags a damaged record does not state stay empty: the roll-back leaves alone
    // what it cannot know.
    std::optional<bool> hadVersion, hadList, hadGroup, hadControl, held;
    std::vector<JobRecordEntry> entries;
};

// The paths of the record (from env.VersionDownRoot).
std::string JobRecordDir(const InstallEnvironment& env);           // VersionDownRoot\JOBREC
std::string JobRecordPath(const InstallEnvironment& env);          // ...\JOB.INF
std::string SavedRevisionListPath(const InstallEnvironment& env);  // ...\Readme.ver
std::string SavedControlFilePath(const InstallEnvironment& env);   // ...\MorvanUP.INF
std::string HeldGroupDir(const InstallEnvironment& env);           // ...\Revision

// The text of a record (CR LF lines, every field that is set).
std::string FormatJobRecord(const JobRecord& record);
// Reads a record's text. True when every line was understood and the record is
// complete (a mode, a valid group and, for an install, every flag); false otherwise,
// with `out` holding what could be read. Never fails on any bytes.
bool ParseJobRecord(const std::string& text, JobRecord& out);

// What the store holds.
enum class JobRecordState {
    None,     // no record, or the record of a job that has ended
    Found,    // an interrupted job, fully described
    Damaged,  // an interrupted job whose record cannot be read or understood
};
JobRecordState ReadJobRecord(const InstallEnvironment& env, JobRecord& out);

// The running job's record: opened on the UI thread before the worker starts,
// extended by the worker (RecordJobEntry), marked done after it has ended. Its owner
// (the installer's state) hands it to the flow and the executor; the lock keeps the
// record whole should two callers ever overlap. Every write goes to the record of
// env.VersionDownRoot (durable when env.WriteAheadSync).
class RunningJobRecord {
public:
    // Starts the record of a job: creates JobRecordDir() and writes `record` whole as
    // the running job's record, to which RecordJobEntry appends. False with the path
    // that could not be written.
    [[nodiscard]] bool OpenJobRecord(const InstallEnvironment& env, const JobRecord& record,
                                     std::string& failedPath);
    // Writes the running job's record again, e.g. after a field changed (HELD).
    [[nodiscard]] bool UpdateJobRecord(const InstallEnvironment& env, const JobRecord& record,
                                       std::string& failedPath);
    // The running job's record as it stands (empty when none is open).
    JobRecord OpenedJobRecord() const;
    bool JobRecordIsOpen() const;
    // Marks the job as ended (JOB.INF := "STATE=DONE", durable) and forgets the running
    // record; the caller then removes the folder. False with the path that could not be
    // written (the record then still shows the interrupted job).
    [[nodiscard]] bool MarkJobRecordDone(const InstallEnvironment& env, std::string& failedPath);
    // Forgets the running record without touching the disk: a job that stops keeps its
    // record for the roll-back at the next start.
    void CloseJobRecord();
    // Install job: adds entry (mediaNo "01".."99", scriptNo "00".."99") to the running
    // job's record, on disk before it returns. True when recorded, or when no job record
    // is open (the engine run on its own); false with the path that could not be written.
    [[nodiscard]] bool RecordJobEntry(const InstallEnvironment& env, const std::string& mediaNo,
                                      const std::string& scriptNo, std::string& failedPath);

private:
    mutable std::mutex mutex_;
    JobRecord openRecord_;
    bool recordOpen_ = false;
};
