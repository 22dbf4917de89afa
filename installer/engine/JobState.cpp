#include "installer/engine/JobState.h"

#include "installer/engine/ScriptScan.h"

// One place for the state a job shares between the worker and the UI thread's timer.
// JobState and the counter are atomics because the timer polls them while the worker
// writes them; the strings belong to the worker alone while it runs.

std::atomic<std::uint8_t> JobState{kJobRunning};
std::atomic<std::int32_t> ExecutedCommandCount{0};

const std::string kNonBackup = "NON_BACKUP";

// Until an install run names its uninstall script there is nothing to record into,
// so the backup step must stay idle: start from the marker value, not from "".
std::string UndoScriptPath = kNonBackup;
std::string RunScriptNo;
std::string RunMediaNo;
std::string CurrentPackageName;

void AbortJob() { JobState.store(kJobAborted); }

bool JobAborted() { return JobState.load() == kJobAborted; }

void ResetJobState() {
    JobState.store(kJobRunning);
    ExecutedCommandCount.store(0);
    UndoScriptPath = kNonBackup;
    RunScriptNo.clear();
    RunMediaNo.clear();
    CurrentPackageName.clear();
    ResetScanReport();
}
