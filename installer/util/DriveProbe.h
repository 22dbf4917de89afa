// Drive probe: whether a drive has its medium in it.
#pragma once

#include <cstdint>

// Opens or creates letter + ":\TEMP.LOG" and removes it again (a TEMP.LOG that was
// there before the probe is kept). 0, or 19 write-protected, 21 not ready, 31 general
// failure; every other error reads 0.
std::uint32_t ProbeDrive(char letter);
// False only for a drive that is not ready (21).
bool IsDriveAvailable(char letter);
