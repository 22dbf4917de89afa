#include "installer/engine/ForceTermination.h"

#include "installer/engine/ScriptLines.h"
#include "installer/env/MessageBox.h"
#include "installer/util/ChildProcesses.h"

int ForceTerminateApplications(const InstallEnvironment& env, InstallRun& run,
                               const std::string& line) {
    if (run.HaltAppState != kHaltAppNotRun || !KeywordMatches(line, "@HALTAPP", 8)) return 1;
    ShowMessageBox("強制終了",
                   "アプリケーションの強制終了を行います。\r"
                   "未保存のデータがある場合は保存した後、ＯＫを押してください。",
                   MessageButtons::Ok, MessageIcon::Warning);
    // Whatever HALTAPP answers, or when it cannot be started at all, the run goes on
    // as if the applications had stopped; PAUSER is due at the end in either case.
    RunDetachedAndWait("", env.HaltAppExePath + " /NONUI", env.ToolsDir);
    run.HaltAppState = kHaltAppHasRun;
    return 1;
}

void RunPauserIfHalted(const InstallEnvironment& env, const InstallRun& run) {
    if (run.HaltAppState != kHaltAppHasRun) return;
    RunDetachedAndWait(env.PauserExePath, "", env.ToolsDir);
}
