#include "MonitorOptions.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace {

bool ParseCount(std::string_view text, unsigned long& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && value > 0;
}

bool ParseSeconds(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value) && value > 0;
}

}  // namespace

const char* MonitorUsage() {
    return "Usage: pdmmon [-o FILE] [--count N] [--timeout SECONDS]\n"
           "\n"
           "Prints the log lines that programs of the prefix ($MORVAN_PREFIX) send to the\n"
           "debug monitor pipe \\\\.\\PIPE\\DBGPRT\\PDMMON, converted to UTF-8, as they come.\n"
           "\n"
           "  -o FILE            also append each line's raw bytes (code page 932) to FILE\n"
           "  --count N          exit after N lines (exit 0)\n"
           "  --timeout SECONDS  exit after SECONDS (exit 0, or 1 when --count was given\n"
           "                     and fewer than N lines came)\n"
           "  -h, --help         show this text\n"
           "\n"
           "Without --count or --timeout it runs until interrupted. It reports on standard\n"
           "error once it listens. Exit 2: bad command line, or the pipe cannot be served\n"
           "(another monitor already listens on the same prefix).\n";
}

bool ParseMonitorOptions(int argc, char** argv, MonitorOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool hasInlineValue = false;
        if (arg.starts_with("--")) {
            if (auto eq = arg.find('='); eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg.resize(eq);
                hasInlineValue = true;
            }
        }
        if (arg == "-h" || arg == "--help") {
            options.help = true;
            continue;
        }
        bool takesValue =
            arg == "-o" || arg == "--output" || arg == "--count" || arg == "--timeout";
        if (!takesValue) {
            error = "unknown option '" + std::string(argv[i]) + "'";
            return false;
        }
        if (!hasInlineValue) {
            if (i + 1 >= argc) {
                error = "option '" + arg + "' needs a value";
                return false;
            }
            value = argv[++i];
        }
        if (arg == "-o" || arg == "--output") {
            if (value.empty()) {
                error = "option '-o' needs a file name";
                return false;
            }
            options.outputFile = value;
        } else if (arg == "--count") {
            unsigned long count = 0;
            if (!ParseCount(value, count)) {
                error = "--count needs a whole number of lines above 0, not '" + value + "'";
                return false;
            }
            options.count = count;
        } else {
            double seconds = 0;
            if (!ParseSeconds(value, seconds)) {
                error = "--timeout needs a number of seconds above 0, not '" + value + "'";
                return false;
            }
            options.timeoutSeconds = seconds;
        }
    }
    return true;
}
