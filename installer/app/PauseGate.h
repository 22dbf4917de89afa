// The gate the worker passes between commands and between entries. The UI thread
// closes it while the user is asked whether to stop a job; the worker then waits at
// the next command boundary, and goes on when the gate opens again.
#pragma once

#include <condition_variable>
#include <mutex>

class PauseGate {
public:
    void Close();
    void Open();
    bool IsClosed() const;
    // Waits while the gate is closed. True when the job may go on, false when it has
    // been aborted (JobState 3) meanwhile or before.
    bool Pass();

private:
    mutable std::mutex mutex_;
    std::condition_variable opened_;
    bool closed_ = false;
};

// The one gate of the program's jobs, and the function the executor calls before each
// command (installed with SetCommandGate).
PauseGate& JobPauseGate();
bool PassJobPauseGate();
