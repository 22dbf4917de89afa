// Plain file services over the platform layer.
//
// The size's diagnostic goes to standard output and not to the debug pipe: it is the one
// place where the converter, which otherwise has no console, tells why a size is 0.
#include "support/util/FileOps.h"

#include <cstdio>
#include <string>

#include "platform/Files.h"
#include "platform/SystemServices.h"

namespace {

constexpr std::uint32_t kFailCriticalErrors = 0x0001;
constexpr std::uint32_t kNoOpenFileErrorBox = 0x8000;

}  // namespace

int File_Exists(std::string_view path) {
    platform::SetErrorMode(kFailCriticalErrors | kNoOpenFileErrorBox);
    return platform::PathExists(path) ? 1 : 0;
}

std::uint64_t PdmDos_FileSize(std::string_view path) {
    std::uint64_t size = 0;
    if (platform::GetFileSizeW(path, size) != platform::kErrorSuccess) {
        // The path is written as the bytes it is (a view, not a C string).
        std::fputs("PdmDos_FileSize Error [", stdout);
        if (!path.empty()) std::fwrite(path.data(), 1, path.size(), stdout);
        std::fputs("]\n", stdout);
        std::fflush(stdout);
        return 0;
    }
    return size;
}

platform::WinError File_Delete(std::string_view path) { return platform::DeleteFileW(path); }

platform::WinError File_Copy(std::string_view from, std::string_view to) {
    return platform::CopyFileW(from, to, false);
}
