// The checkpoints of the command pipeline (see JobState.h). The hook is set by the
// program's start-up or a test before the worker runs, and read on the worker thread.
#include <atomic>

#include "installer/engine/JobState.h"

namespace {
std::atomic<JobCheckpointHook> installedHook{nullptr};
}  // namespace

void SetJobCheckpointHook(JobCheckpointHook hook) { installedHook.store(hook); }

void ReachJobCheckpoint(JobCheckpoint point, int commandNumber) {
    JobCheckpointHook hook = installedHook.load();
    if (hook != nullptr) hook(point, commandNumber);
}
