// The command line of pdmmon.
#pragma once

#include <optional>
#include <string>

struct MonitorOptions {
    std::string outputFile;                // -o FILE: raw copy of the lines (appended)
    std::optional<unsigned long> count;    // --count N: stop after N lines
    std::optional<double> timeoutSeconds;  // --timeout SECONDS: limit of the whole run
    bool help = false;
};

// Parses argv. False with a message for people in `error` on a bad command line.
[[nodiscard]] bool ParseMonitorOptions(int argc, char** argv, MonitorOptions& options,
                                       std::string& error);

// The text of --help.
const char* MonitorUsage();
