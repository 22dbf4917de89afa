// The codec of the installed package list "package.5": byte i is stored as
// (plain + i) mod 256.
#pragma once
#include <string>

// The installed package list's file in InstallDir.
inline constexpr char kPackageListFile[] = "package.5";

// File to file; nothing happens (true) when the source does not exist. False when
// the source exists but cannot be read, or the target cannot be written; `failedPath`
// then names that file.
[[nodiscard]] bool DecodePackageList(const std::string& source, const std::string& target,
                                     std::string& failedPath);
[[nodiscard]] bool EncodePackageList(const std::string& source, const std::string& target,
                                     std::string& failedPath);
