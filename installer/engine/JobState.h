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

// Restores the engine's state to program start (tests): the job state, the counter,
// the strings above and the report of the last scan.
void ResetJobState();
