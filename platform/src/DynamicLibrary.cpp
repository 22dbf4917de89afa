// Run-time loading of a library by Windows name, over the host's dlopen.
//
// The name is found by the Windows rules over Windows paths (so the prefix's drives,
// case-insensitive names and code page 932 all apply), and only the file found is
// handed to dlopen, always by a host path with a "/": dlopen never searches the host's
// library folders itself, so a Windows name cannot pick up an unrelated host library.
// Libraries are loaded with RTLD_LOCAL, as a Windows DLL keeps its exports to itself
// until GetProcAddress asks for them; two libraries exporting the same name do not
// disturb each other.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>

#include <mutex>
#include <vector>

#include "ProgramSearch.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace platform {
namespace {

// dlerror's text is per thread but the loader's state is not ours to interleave:
// dlopen and dlerror are called as one step under this lock so `why` belongs to the
// failure at hand.
std::mutex gLoaderMutex;

// Finds the library file by the search order of the header; empty when not found.
std::string FindLibrary(const std::string& name) {
    if (detail::NameHasFolder(name)) return detail::IsPlainFileAt(name) ? name : std::string();
    std::vector<std::string> folders;
    if (std::string own = detail::OwnProgramFolder(); !own.empty()) folders.push_back(own);
    folders.push_back(GetWindowsDirectoryW() + "\\SYSTEM32");
    folders.push_back(GetWindowsDirectoryW());
    folders.push_back(GetCurrentDirectoryW());
    for (std::string& dir : detail::PathVariableFolders()) folders.push_back(std::move(dir));
    for (const auto& folder : folders) {
        std::string candidate = detail::JoinWindowsPath(folder, name);
        if (detail::IsPlainFileAt(candidate)) return candidate;
    }
    return {};
}

}  // namespace

WinError LoadLibraryA(std::string_view fileName, ModuleHandle& module, std::string* why) {
    module = nullptr;
    if (fileName.empty() || !IsValidCp932(fileName) ||
        FindCharDbcs(fileName, '\0') != std::string_view::npos) {
        if (why) *why = "invalid library name";
        return kErrorInvalidName;
    }
    std::string name(fileName);
    if (!detail::NameHasExtension(name)) name += ".DLL";

    std::string windowsPath = FindLibrary(name);
    if (windowsPath.empty()) {
        if (why) *why = "no such library: " + Cp932ToUtf8Lossy(name);
        return kErrorModNotFound;
    }
    std::string host;
    if (WinError rc = ToHostPath(windowsPath, host); rc != kErrorSuccess) {
        if (why) *why = "no host path for " + Cp932ToUtf8Lossy(windowsPath);
        return kErrorModNotFound;
    }

    std::lock_guard<std::mutex> lock(gLoaderMutex);
    void* handle = dlopen(host.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        // Not a shared object for this machine, or a dependency is missing.
        const char* text = dlerror();
        if (why) *why = text ? text : "cannot load " + host;
        return kErrorModNotFound;
    }
    module = handle;
    return kErrorSuccess;
}

void* GetProcAddress(ModuleHandle module, const char* exportName) {
    if (module == nullptr || exportName == nullptr) return nullptr;
    // A null address is "not found" for a Windows caller either way, so dlerror's
    // distinction between a missing symbol and one whose value is null does not matter.
    return dlsym(module, exportName);
}

WinError FreeLibrary(ModuleHandle module) {
    if (module == nullptr) return kErrorInvalidHandle;
    std::lock_guard<std::mutex> lock(gLoaderMutex);
    // A failing dlclose leaves the library loaded, which costs memory but no
    // correctness; Windows callers ignore FreeLibrary's result likewise.
    (void)dlclose(module);
    return kErrorSuccess;
}

}  // namespace platform
