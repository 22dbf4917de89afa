// The version query, answered from the prefix's setting.
//
// The prefix is an NT-family Windows unless HKLM\SOFTWARE\MorvanPrefix "Platform" says
// "Windows". The setting is read on every call (it is one small registry read, and a
// person or a test may change it between two programs' runs); reading it fails quietly
// into the NT answer, since a missing or unreadable hive is an ordinary NT prefix.
// The value is compared without regard to ASCII case, as a person types it by hand.
#include "platform/OsVersion.h"

#include <cstring>
#include <string>

#include "platform/Cp932.h"
#include "platform/Registry.h"

namespace platform {
namespace {

constexpr std::uint32_t kSizeOsVersionInfo = 148;
constexpr std::uint32_t kSizeOsVersionInfoEx = 156;

bool PrefixIsWindowsFamily() {
    RegKey key;
    if (RegOpenKey(RegRoot::LocalMachine, "SOFTWARE\\MorvanPrefix", RegAccess::Read, key) !=
        kErrorSuccess) {
        return false;
    }
    std::string value;
    if (RegQueryString(key, "Platform", value) != kErrorSuccess) return false;
    return EqualsNoCase(value, "Windows");
}

}  // namespace

WinError GetVersionExA(OsVersionInfoA& info) {
    if (info.osVersionInfoSize != kSizeOsVersionInfo &&
        info.osVersionInfoSize != kSizeOsVersionInfoEx) {
        return kErrorInsufficientBuffer;
    }
    // Only the 148 bytes of the plain form are ours to fill; the size field stays as
    // the caller set it.
    std::memset(info.csdVersion, 0, sizeof info.csdVersion);
    if (PrefixIsWindowsFamily()) {
        info.majorVersion = 4;
        info.minorVersion = 10;
        info.buildNumber = 2222;
        info.platformId = kVerPlatformWin32Windows;
    } else {
        info.majorVersion = 5;
        info.minorVersion = 1;
        info.buildNumber = 2600;
        info.platformId = kVerPlatformWin32Nt;
    }
    return kErrorSuccess;
}

}  // namespace platform
