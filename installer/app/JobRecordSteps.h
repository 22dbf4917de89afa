// The job record as the job control uses it: what a job writes into the store when
// it starts, what it clears when it has ended, and the steps of a roll-back that come
// after the interrupted job's uninstall scripts have run (installer/env/JobRecord.h
// holds the record itself).
//
// Every function returns 0 or a result code with its detail, ready for
// ShowCodeMessage: -13 with the path that could not be written or removed, -15 with
// the registry key. Every step of the roll-back may be run again after a crash in the
// middle of it and then finishes the work.
#pragma once

#include <string>
#include <vector>

#include "installer/engine/InstallerState.h"
#include "installer/env/JobRecord.h"

// Install job, before the worker starts (CurrentMedia holds the medium): removes the
// folder of an ended job, notes the registered version, keeps copies of the revision
// list and of the group's control file, writes the record (durable) and, when
// `holdPreviousGroup` (a new full version), moves the previous full version's group
// VersionDownRoot\Revision into the record (HELD) instead of removing it, so that a
// roll-back can put it back. On failure nothing of the machine has changed and the
// record is withdrawn again. -13 also when an interrupted job's record is still there.
int BeginInstallJobRecord(InstallerState& state, bool holdPreviousGroup, std::string& detail);

// Uninstall job, before the worker starts: the record of the group UninstallGroupName
// (CurrentMedia holds its control file) with the entries to run, in run order.
int BeginUninstallJobRecord(InstallerState& state, const std::vector<JobRecordEntry>& entries,
                            std::string& detail);

// A job (or a roll-back) that has ended: the record is marked done (durable), then the
// held group and the record's folder are removed. Only a failure of the marking is
// reported: once it is written the job counts as ended, and what is left of the folder
// goes at the next start.
int EndJobRecord(InstallerState& state, std::string& detail);

// Removes the folder of the record when it holds no interrupted job (a job that ended
// and was cut short while its folder was removed, or one that never started).
void RemoveEndedJobRecord(const InstallEnvironment& env);

// CurrentMedia as the record's job saw it (fields the record lacks stay as they are).
void LoadMediaFromRecord(VERUP_FILE_REC& media, const JobRecord& record);

// The entries of a record in the order a roll-back runs them: the latest first for an
// install, the recorded order for an uninstall.
std::vector<JobRecordEntry> RollBackOrder(const JobRecord& record);

// The roll-back of an install after its uninstall scripts ran: the group folder, its
// control file or the held group put back, the registered version and the revision
// list restored. A flag the record does not state leaves its part alone.
int RestoreAfterInstallRollBack(InstallerState& state, const JobRecord& record,
                                std::string& detail);
