// morvanup-check /D<medium directory>
//
// Reads the medium as the installer would (the control file, the installed version,
// the fit check) and prints every field and the verdict, with the exact message the
// installer would show. Exit 0: usable and fits; 1: does not fit; 2: unusable.
#include <cstdio>
#include <string>
#include <vector>

#include "installer/check/CheckReport.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/ProgramOptions.h"
#include "platform/CommandLine.h"

namespace {

using Section = bool (*)(CheckRun&);

// The report, section by section.
const Section kSections[] = {
    ReportEnvironment,
    ReportInterruptedJob,
    ReportMedium,
    ReportInstalledVersion,
    ReportVerdict,
    ReportScriptScan,
};

void PrintUsage() {
    std::fputs(
        "usage: morvanup-check /D<medium directory>\n"
        "       morvanup-check /U   (the kept groups of the version-down store)\n"
        "  Reads <medium directory>\\MorvanUP.INF (a Windows path in the prefix named by\n"
        "  MORVAN_PREFIX) as the installer does and prints its fields, the installed\n"
        "  version and whether the installer accepts the medium.\n"
        "  Exit status: 0 usable and fits, 1 does not fit (or an interrupted job must be\n"
        "  dealt with first), 2 unusable.\n",
        stderr);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> parameters =
        platform::SplitCommandLine(platform::GetCommandLineW(argc, argv));
    if (!parameters.empty()) parameters.erase(parameters.begin());  // the program itself

    // The medium is named as the installer's own command line names it.
    const ProgramOptions options = ParseProgramOptions(parameters);
    InstallerState state;
    CheckRun run(state);
    if (options.uninstall) {
        CapturedMessages messages;
        SetMessageSink(&messages);
        run.messages = &messages;
        const int result = ReportKeptGroups(run);
        SetMessageSink(nullptr);
        return result;
    }
    if (!options.hasMediumOption) {
        PrintUsage();
        return kCheckUnusable;
    }
    run.mediumDir = options.mediumDir;
    CapturedMessages messages;
    SetMessageSink(&messages);
    run.messages = &messages;
    state.run.InstallDiskPath = run.mediumDir;
    state.run.UninstallMode = false;

    for (Section section : kSections) {
        if (!section(run)) break;
    }
    SetMessageSink(nullptr);
    return run.verdict;
}
