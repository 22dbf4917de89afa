// Runs the real MorvanUP program of the build (MORVAN_BIN_DIR) as a child process, on
// the offscreen platform with its test-only automation (MORVANUP_AUTOPILOT: every box
// answered with its first button and printed to standard error in UTF-8, OK pressed
// whenever the program waits for the user), and tells how it ended: its exit code, or
// the signal that killed it. The child inherits this process's environment (the test
// prefix in MORVAN_PREFIX), its current directory and its mount namespace.
//
// A crash point ("<n>" or "<n>:ahead") is handed over in MORVANUP_TEST_CRASH_AT: the
// program then kills itself with SIGKILL at that command, as a crash or a power cut
// would end it. Without one the variable is removed from the child's environment.
#pragma once

#include <string>
#include <vector>

struct MorvanUpRun {
    bool started = false;
    bool timedOut = false;  // killed by the runner after the time limit
    bool exited = false;    // ended by itself; exitCode is valid
    int exitCode = -1;
    int signal = 0;      // the signal that ended it (0 when it exited)
    std::string errors;  // standard error (UTF-8): the boxes the automation answered

    // True when the program ended by itself with exit code 0.
    bool EndedNormally() const { return exited && exitCode == 0; }
    // True when the program was ended by SIGKILL (and not by the runner's time limit).
    bool KilledBySigkill() const;
    // True when standard error holds `utf8Text`.
    bool Printed(const std::string& utf8Text) const;
    // A short account for failure messages: how it ended and what it printed.
    std::string Account() const;
};

// Runs MorvanUP with `parameters` (UTF-8 argv entries, e.g. "/DD:\\" or "/U") and waits
// for it, at most `timeLimitSeconds`. `crashAt` empty: no crash point.
MorvanUpRun RunMorvanUpProgram(const std::vector<std::string>& parameters,
                               const std::string& crashAt = "", int timeLimitSeconds = 60);
