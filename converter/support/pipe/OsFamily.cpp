#include "support/pipe/OsFamily.h"

#include "platform/OsVersion.h"

bool Os_IsNT() {
    // Asked every time rather than cached: the query is cheap (the registry keeps its
    // hive parsed) and a cached answer would outlive a change of the prefix's setting
    // that a test or a person makes between two runs of the same process.
    platform::OsVersionInfoA info;
    info.osVersionInfoSize = sizeof(platform::OsVersionInfoA);
    if (platform::GetVersionExA(info) != platform::kErrorSuccess) return false;
    return info.platformId == platform::kVerPlatformWin32Nt;
}
