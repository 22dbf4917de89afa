// The control of a running job: its state and command counter, written by the engine
// on the worker thread and by the main dialog, polled by the UI thread's timer (hence
// atomic), and the two hooks the executor calls - the command gate and the checkpoint
// hook. One JobControl belongs to the installer's state; the program, a tool or a test
// sets its hooks before a worker starts and removes them after it has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

inline constexpr std::uint8_t kJobRunning = 0;   // idle or running
inline constexpr std::uint8_t kJobFinished = 1;
inline constexpr std::uint8_t kJobStopRequested = 2;
inline constexpr std::uint8_t kJobAborted = 3;   // stays 3 for the rest of the run

// The pause gate between commands: blocks while the dialog program holds it closed
// (the user is being asked whether to stop the job); false when the job has been
// aborted meanwhile.
using CommandGateFunction = std::function<bool()>;

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
// The hook runs on the worker thread.
enum class JobCheckpoint { BeforeCommand, AfterWriteAhead };
using JobCheckpointHook = std::function<void(JobCheckpoint point, int commandNumber)>;

class JobControl {
public:
    JobControl() = default;
    JobControl(const JobControl&) = delete;
    JobControl& operator=(const JobControl&) = delete;

    std::atomic<std::uint8_t> JobState{kJobRunning};
    std::atomic<std::int32_t> ExecutedCommandCount{0};

    // Sets JobState to aborted (never leaves the aborted state once reached).
    void AbortJob() { JobState.store(kJobAborted); }
    bool JobAborted() const { return JobState.load() == kJobAborted; }

    // Installs the gate (an empty function removes it). Set before the worker starts.
    void SetCommandGate(CommandGateFunction gate) { gate_ = std::move(gate); }
    // The executor calls this on the worker thread before it dispatches each command
    // line; false means the job has been aborted and the command is skipped. Without
    // a gate it returns !JobAborted() at once.
    bool PassCommandGate() const { return gate_ ? gate_() : !JobAborted(); }

    // Installs the checkpoint hook (an empty function removes it). Set before the
    // worker starts.
    void SetJobCheckpointHook(JobCheckpointHook hook) { hook_ = std::move(hook); }
    // Called by the executor at each checkpoint; calls the hook when one is set.
    void ReachJobCheckpoint(JobCheckpoint point, int commandNumber) const {
        if (hook_) hook_(point, commandNumber);
    }

private:
    CommandGateFunction gate_;
    JobCheckpointHook hook_;
};
