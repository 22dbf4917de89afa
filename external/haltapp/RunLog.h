// The run record of the product-tool stand-ins (HALTAPP, PAUSER): every run appends
// one line to $MORVAN_PREFIX/logs/<TOOL>.log, where tests and people can see that the
// tool ran, how often, and in which order:
//
//   <local time yyyy-mm-dd hh:mm:ss> TAB <current directory> TAB <command line>
//
// The directory is the Windows path, the command line the exact line the parent
// wrote (MORVAN_CMDLINE), both converted to UTF-8.
#pragma once

#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/CommandLine.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

inline bool AppendToolRun(const std::string& tool, int argc, char** argv) {
    namespace fs = std::filesystem;
    fs::path logs = fs::path(platform::PrefixDir()) / "logs";
    std::error_code ignored;
    fs::create_directories(logs, ignored);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::ofstream out(logs / (tool + ".log"), std::ios::app | std::ios::binary);
    out << stamp << '\t' << platform::Cp932ToUtf8Lossy(platform::GetCurrentDirectoryW()) << '\t'
        << platform::Cp932ToUtf8Lossy(platform::GetCommandLineW(argc, argv)) << '\n';
    return static_cast<bool>(out);
}
