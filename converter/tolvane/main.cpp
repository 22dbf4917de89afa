// Tolvane: converts one drawing file into one PDB file and ends. No window, no console
// output; it reports through its exit code and its log lines (the monitor pipe).
#include <string>
#include <vector>

#include "platform/CommandLine.h"
#include "tolvane/ConversionJob.h"
#include "tolvane/JobPaths.h"

int main(int argc, char** argv) {
    // The arguments as the Windows command line gives them (code page 932) and as the
    // host handed them over (UTF-8): Windows paths are read from the first, host paths
    // from the second. Both lists have one entry per argument; when a line from the
    // environment would split otherwise, GetCommandLineW does not use it.
    const std::vector<std::string> texts =
        platform::SplitCommandLine(platform::GetCommandLineW(argc, argv));
    std::vector<ProgramArgument> args;
    for (int i = 0; i < argc; ++i) {
        ProgramArgument argument;
        argument.host = argv[i] != nullptr ? argv[i] : "";
        argument.text = static_cast<std::size_t>(i) < texts.size() ? texts[i] : std::string();
        args.push_back(std::move(argument));
    }
    return Job_Run(args, Job_SystemServices());
}
