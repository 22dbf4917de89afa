// The gate the worker passes between commands and between entries. The UI thread
// closes it while the user is asked whether to stop a job; the worker then waits at
// the next command boundary, and goes on when the gate opens again.
#pragma once

#include <condition_variable>
#include <mutex>

#include "installer/engine/JobControl.h"

class PauseGate {
public:
    void Close();
    void Open();
    bool IsClosed() const;
    // Waits while the gate is closed. True when the job may go on, false when `job` has
    // been aborted (JobState 3) meanwhile or before.
    bool Pass(const JobControl& job);

private:
    mutable std::mutex mutex_;
    std::condition_variable opened_;
    bool closed_ = false;
};
