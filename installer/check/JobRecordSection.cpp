// A job that was cut short: the record it left in the store. The installer asks about
// it before it offers anything else (a roll-back of an install, the rest of an
// uninstall), so the medium cannot be installed until that has been dealt with.
#include <string>

#include "installer/check/CheckReport.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/JobRecord.h"

namespace {

std::string Flag(const std::optional<bool>& flag) {
    if (!flag) return "?";
    return *flag ? "yes" : "no";
}

}  // namespace

bool ReportInterruptedJob(CheckRun& run) {
    LoadEnvironmentQuietly(run);
    JobRecord record;
    const JobRecordState state = ReadJobRecord(run.state.env, record);
    if (state == JobRecordState::None) {
        PrintLine("Interrupted job", "none");
        return true;
    }
    run.interruptedJob = true;
    const bool uninstall = record.mode == JobMode::Uninstall;
    std::string mode = !record.mode ? "UNKNOWN" : uninstall ? "UNINSTALL" : "INSTALL";
    PrintLine("Interrupted job",
              mode + " of \"" + record.title + "\" (" + JobRecordPath(run.state.env) + ")");
    if (state == JobRecordState::Damaged) {
        PrintNote("DAMAGED: the record cannot be read whole; a roll-back puts back only what");
        PrintNote("it states");
    }
    PrintNote("group " + (record.group.empty() ? std::string("(unknown)") : record.group) +
              ", revision " + record.revision + ", medium " + record.mediaNo);
    std::string entries;
    for (const JobRecordEntry& entry : record.entries) {
        entries += " " + entry.mediaNo + "\\INST" + entry.scriptNo;
    }
    PrintNote(std::to_string(record.entries.size()) + " entr" +
              (record.entries.size() == 1 ? "y" : "ies") + (uninstall ? " to run:" : " started:") +
              entries);
    if (!uninstall) {
        PrintNote("version before the job: " +
                  (record.hadVersion.value_or(false) ? record.version : std::string("(none)")) +
                  "; revision list kept: " + Flag(record.hadList) +
                  "; previous full version held: " + Flag(record.held));
        PrintNote("The installer offers to roll this job back at its next start.");
    } else {
        PrintNote("The installer offers to run this uninstall to its end at its next start.");
    }
    return true;
}
