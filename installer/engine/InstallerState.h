// The installer's state: everything one run of MorvanUP (or of the check tool, a test,
// the benchmark) works on, in one object with one owner. The owner hands it by
// reference to the scan, the executor and the flow; each of them passes on only the
// part a step needs (a command that needs only the environment gets the environment).
//
// Written on the UI thread before a job starts and by the worker while it runs; the UI
// thread meanwhile reads only the atomics (job.JobState, job.ExecutedCommandCount,
// table.TotalCommandCount).
#pragma once

#include "installer/engine/JobControl.h"
#include "installer/engine/RunningEntry.h"
#include "installer/engine/ScanReport.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"
#include "installer/env/JobRecord.h"
#include "installer/env/ScriptTable.h"

struct InstallerState {
    InstallEnvironment env;  // the settings read at start-up
    InstallRun run;          // the medium or kept group, its control record, the version
    ScriptTable table;       // filled by the scan
    ScanReport scan;         // what the last scan found beyond the table
    RunningJobRecord record; // the record of the job in progress
    JobControl job;          // state, counter and hooks of the running job
    RunningEntry entry;      // the script entry being run
};
