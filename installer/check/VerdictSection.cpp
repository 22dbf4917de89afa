// The installed version and the check the installer makes when OK is pressed.
#include "installer/check/CheckReport.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/VersionRecords.h"

bool ReportInstalledVersion(CheckRun& run) {
    // Read without a message: the check below shows the installer's own.
    if (LoadInstalledVersion(run.state.run) == 0) {
        PrintLine("Installed version", run.state.run.InstalledVersion);
    } else {
        PrintLine("Installed version",
                  "none (HKEY_LOCAL_MACHINE\\SOFTWARE\\Morvan\\COMMON VERSION is missing or "
                  "holds no number)");
    }
    return true;
}

bool ReportVerdict(CheckRun& run) {
    if (run.state.run.CurrentMedia.RequiredVersion == "0.00") {
        PrintNote("(no condition: the installed version is not consulted)");
    }
    if (CheckMedia(run.state.run, run.mediumDir)) {
        if (run.interruptedJob) {
            PrintLine("Verdict",
                      "NOT YET: the medium fits, but the installer first deals with the "
                      "interrupted job");
            run.verdict = kCheckNoFit;
        } else {
            PrintLine("Verdict", "FITS: the installer accepts this medium");
            run.verdict = kCheckFits;
        }
    } else {
        PrintLine("Verdict", "DOES NOT FIT: the installer refuses this medium");
        run.verdict = kCheckNoFit;
    }
    PrintMessages(run, "Message");
    return true;
}
