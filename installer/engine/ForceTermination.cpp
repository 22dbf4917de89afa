#include "installer/engine/ForceTermination.h"

int ForceTerminateApplications(const std::string& line) {
    (void)line;
    return 1;
}

void RunPauserIfHalted() {}
