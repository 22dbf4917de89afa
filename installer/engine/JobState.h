// Shared state of a running job: written by the engine on the worker thread and by
// the main dialog, polled by the UI thread's timer.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

inline constexpr std::uint8_t kJobRunning = 0;   // idle or running
inline constexpr std::uint8_t kJobFinished = 1;
inline constexpr std::uint8_t kJobStopRequested = 2;
inline constexpr std::uint8_t kJobAborted = 3;   // stays 3 for the rest of the run

extern std::atomic<std::uint8_t> JobState;
extern std::atomic<std::int32_t> ExecutedCommandCount;

// Install mode: the uninstall script of the running entry, or kNonBackup.
extern std::string UndoScriptPath;
extern const std::string kNonBackup;  // "NON_BACKUP"
extern std::string RunScriptNo;       // ScriptNo of the running entry
extern std::string RunMediaNo;        // uninstall mode: MediaNo of the running entry
// The name under which list-file commands handle the package list ("" at start).
extern std::string CurrentPackageName;

// Sets JobState to aborted (never leaves the aborted state once reached).
void AbortJob();
bool JobAborted();

// The pause gate between commands. The executor calls PassCommandGate() on the worker
// thread before it dispatches each command line. It blocks while the dialog program
// holds the gate closed (the user is being asked whether to stop the job) and returns
// false when the job has been aborted meanwhile: the executor then skips the command.
// Without a gate installed it returns !JobAborted() at once. (CommandGate.cpp)
using CommandGateFunction = bool (*)();
void SetCommandGate(CommandGateFunction gate);  // nullptr removes the gate
bool PassCommandGate();

// Checkpoints of the command pipeline, for tests that stop the program at an exact
// point (a crash or a power cut between two steps). `commandNumber` is the 1-based
// number of the command line being carried out in this job: ExecutedCommandCount + 1
// when it starts; every dispatched line counts, "@" lines too, and an uninstall or
// roll-back run counts from 1 as well.
//   BeforeCommand:   the command gate has passed; nothing of the command has run.
//   AfterWriteAhead: the command has staged its files and the backup step has
//                    recorded everything (undo lines and saved copies on disk); nothing
//                    of the destination, the registry or a list file has changed yet.
//                    In uninstall mode and for entries without an uninstall script it
//                    comes at the same place: just before the change.
// The hook runs on the worker thread. (JobCheckpoint.cpp)
enum class JobCheckpoint { BeforeCommand, AfterWriteAhead };
using JobCheckpointHook = void (*)(JobCheckpoint point, int commandNumber);
void SetJobCheckpointHook(JobCheckpointHook hook);  // nullptr removes it
// Called by the executor at each checkpoint; calls the hook when one is set.
void ReachJobCheckpoint(JobCheckpoint point, int commandNumber);

// Restores the engine's state to program start (tests): the job state, the counter,
// the strings above and the report of the last scan.
void ResetJobState();
