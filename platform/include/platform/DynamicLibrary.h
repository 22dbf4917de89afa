// Run-time loading of a library by its Windows file name (LoadLibraryA and friends).
//
// A library of the prefix is a host shared object installed under its Windows name
// (e.g. "C:\WINDOWS\SYSTEM32\Tessop.DLL"). A name with a folder is taken as given
// (relative to the current folder); a bare name is searched as Windows does: the
// running program's own folder, C:\WINDOWS\SYSTEM32, C:\WINDOWS, the current folder,
// then the folders of PATH. ".DLL" is appended to a name without an extension.
// Loading the same file twice gives the same module (reference counted, as dlopen).
#pragma once

#include <string>
#include <string_view>

#include "platform/WinError.h"

namespace platform {

using ModuleHandle = void*;

// 0 and the module; 126 when no such file or it cannot be loaded (not a shared object
// for this machine, missing dependencies); 123 for a bad name. `why`, when given,
// receives the host loader's explanation for people (UTF-8).
[[nodiscard]] WinError LoadLibraryA(std::string_view fileName, ModuleHandle& module,
                                    std::string* why = nullptr);

// The address of an exported function; nullptr when the module has no such export
// (or the module is null).
[[nodiscard]] void* GetProcAddress(ModuleHandle module, const char* exportName);

// Releases one reference; 0, or 6 for a null module.
WinError FreeLibrary(ModuleHandle module);

}  // namespace platform
