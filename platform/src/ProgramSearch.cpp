// Search helpers for programs and libraries by Windows name.
//
// Every test for a separator or a dot goes through the code page 932 helpers, since a
// trail byte may have the code of "\" (as in 表) and a name must not be split there.
#include "ProgramSearch.h"

#include <sys/stat.h>

#include <cstdlib>

#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace platform::detail {

bool NameHasFolder(std::string_view name) {
    return FindCharDbcs(name, '\\') != std::string_view::npos ||
           FindCharDbcs(name, '/') != std::string_view::npos ||
           FindCharDbcs(name, ':') != std::string_view::npos;
}

bool NameHasExtension(std::string_view name) {
    std::size_t delim = FindLastPathDelimiter(name);
    std::size_t dot = FindLastCharDbcs(name, '.');
    return dot != std::string_view::npos && (delim == std::string_view::npos || dot > delim);
}

bool IsPlainFileAt(const std::string& windowsPath) {
    std::string host;
    struct stat st;
    return ToHostPath(windowsPath, host) == kErrorSuccess && stat(host.c_str(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

std::string JoinWindowsPath(const std::string& dir, std::string_view name) {
    if (!dir.empty() && (dir.back() == '\\' || dir.back() == ':') &&
        FindLastPathDelimiter(dir) == dir.size() - 1) {
        return dir + std::string(name);
    }
    return dir + "\\" + std::string(name);
}

std::string OwnProgramFolder() {
    std::string self = GetModuleFileNameW();
    std::size_t d = FindLastPathDelimiter(self);
    if (d == std::string::npos) return {};
    // A program in a drive's root keeps its "\": "C:" alone would name the drive's
    // current folder instead.
    if (d > 0 && self[d] == '\\' && self[d - 1] == ':') return self.substr(0, d + 1);
    return self.substr(0, d);
}

std::vector<std::string> PathVariableFolders() {
    std::vector<std::string> folders;
    const char* path = std::getenv("PATH");
    if (path == nullptr) return folders;
    // PATH holds host folders; each is reached through its Windows name.
    std::string_view rest = path;
    while (!rest.empty()) {
        std::size_t colon = rest.find(':');
        std::string_view dir = rest.substr(0, colon);
        if (!dir.empty()) folders.push_back(ToWindowsPath(dir));
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return folders;
}

}  // namespace platform::detail
