// The pieces of the Windows search for a program or a library by name, shared by
// process start (Process.cpp) and library loading (DynamicLibrary.cpp), which search
// the same kinds of folders in different orders. Not part of the platform's public
// interface. Names and folders are Windows paths in code page 932.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace platform::detail {

// True when `name` holds a "\", "/" or ":" of its own (not a trail byte): it names a
// folder or a drive and is not searched for.
[[nodiscard]] bool NameHasFolder(std::string_view name);

// True when the last component of `name` has a "." (an extension, possibly empty).
[[nodiscard]] bool NameHasExtension(std::string_view name);

// True when `windowsPath` names an existing plain file (links followed).
[[nodiscard]] bool IsPlainFileAt(const std::string& windowsPath);

// `dir` + "\" + `name`, without doubling a "\" or ":" that ends `dir`.
[[nodiscard]] std::string JoinWindowsPath(const std::string& dir, std::string_view name);

// The folder of the running program as a Windows path; empty when unknown.
[[nodiscard]] std::string OwnProgramFolder();

// The folders of the host's PATH, each by its Windows name, in order (empty entries
// skipped).
[[nodiscard]] std::vector<std::string> PathVariableFolders();

}  // namespace platform::detail
