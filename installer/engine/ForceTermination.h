// "@HALTAPP": stops the product's running applications once per run, after a warning.
#pragma once
#include <string>

#include "installer/env/InstallEnvironment.h"
#include "installer/env/InstallRun.h"

// Always 1.
int ForceTerminateApplications(const InstallEnvironment& env, InstallRun& run,
                               const std::string& line);
// Program end: runs PAUSER when HALTAPP has run.
void RunPauserIfHalted(const InstallEnvironment& env, const InstallRun& run);
