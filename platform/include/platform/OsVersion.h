// The version query of Win32 (GetVersionExA), answered from the prefix.
//
// By default the prefix is a Windows of the NT family: platform id 2, version 5.1,
// build 2600. When the hive HKEY_LOCAL_MACHINE holds the value
//   HKLM\SOFTWARE\MorvanPrefix  "Platform" = "Windows"
// the prefix is a Windows outside the NT family instead: platform id 1, version 4.10,
// build 2222 (then the converter reaches its pipes through the emulator library).
// "NT" (or a missing value) means the NT family; any other value is the NT family too.
// docs/prefix.md documents the setting.
#pragma once

#include <cstdint>

#include "platform/WinError.h"

namespace platform {

inline constexpr std::uint32_t kVerPlatformWin32Windows = 1;
inline constexpr std::uint32_t kVerPlatformWin32Nt = 2;

// OSVERSIONINFOA: 148 bytes, the caller sets `osVersionInfoSize` to 148 first.
struct OsVersionInfoA {
    std::uint32_t osVersionInfoSize = 0;
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    std::uint32_t buildNumber = 0;
    std::uint32_t platformId = 0;
    char csdVersion[128] = {};
};
static_assert(sizeof(OsVersionInfoA) == 148);

// Fills `info` when its size field is 148 (or 156, the extended form, of which only the
// first 148 bytes are filled). 0; 122 (insufficient buffer) for any other size.
[[nodiscard]] WinError GetVersionExA(OsVersionInfoA& info);

}  // namespace platform
