// The pause gate between commands (see JobState.h). The gate itself lives in the
// dialog program, which knows when the user is being asked to confirm a stop; the
// engine only knows the point where a pause is safe: between two command lines,
// when the staging directories are empty and no file is half copied.
#include "installer/engine/JobState.h"

#include <atomic>

namespace {
std::atomic<CommandGateFunction> installedGate{nullptr};
}  // namespace

void SetCommandGate(CommandGateFunction gate) { installedGate.store(gate); }

bool PassCommandGate() {
    CommandGateFunction gate = installedGate.load();
    if (gate != nullptr) return gate();
    return !JobAborted();
}
