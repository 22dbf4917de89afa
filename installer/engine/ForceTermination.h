// "@HALTAPP": stops the product's running applications once per run, after a warning.
#pragma once
#include <string>

// Always 1.
int ForceTerminateApplications(const std::string& line);
// Program end: runs PAUSER when HALTAPP has run.
void RunPauserIfHalted();
