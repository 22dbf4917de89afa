// The settings the installer reads at start-up. The check reads them without the
// side effects of start-up (no work directories are made), and says plainly when the
// product's environment is missing, since the installer would then not get as far
// as the medium.
#include "installer/check/CheckReport.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"

bool ReportEnvironment(CheckRun& run) {
    PrintLine("Medium", run.mediumDir);
    const SettingsSurvey survey = SurveySettings();
    if (!survey.keyPresent) {
        PrintLine("Environment",
                  "MISSING: no settings under HKEY_CURRENT_USER\\SOFTWARE\\KEL");
        PrintNote("The product is not set up in this prefix: the installer would find no");
        PrintNote("work, tools or archiver directories, and scripts that name settings fail.");
        return true;
    }
    if (survey.missing.empty()) {
        PrintLine("Environment", "settings complete (HKEY_CURRENT_USER\\SOFTWARE\\KEL)");
        return true;
    }
    PrintLine("Environment", "INCOMPLETE: the installer would stop at start-up with:");
    for (const std::string& reference : survey.missing) {
        ShowCodeMessage(kCodeRegistryUnreadable, reference);
    }
    PrintMessages(run, "Start-up message");
    return true;
}
