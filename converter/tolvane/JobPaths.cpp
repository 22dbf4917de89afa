// Host and Windows paths of the job.
//
// The decision between a Windows path and a host path is made on the text alone: a drive
// letter and a colon cannot begin a host path the job would be given (host paths begin
// with "/", ".", or a name), and reading such an argument as a host path would turn
// "C:\A.000" into a file named "C:\A.000" in the working directory.
#include "tolvane/JobPaths.h"

#include "platform/Cp932.h"
#include "platform/FileIdentity.h"
#include "platform/Prefix.h"

namespace {

bool BeginsWithDrive(std::string_view text) {
    if (text.size() < 2 || text[1] != ':') return false;
    const char c = text[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

std::string JobPath_FromArgument(const ProgramArgument& argument) {
    if (BeginsWithDrive(argument.text)) return argument.text;
    if (argument.host.empty()) return {};
    return platform::ToWindowsPath(argument.host);
}

bool JobPath_FitsField(std::string_view path, std::size_t fieldBytes) {
    return path.size() < fieldBytes;
}

bool JobPath_SameFile(std::string_view a, std::string_view b) {
    if (platform::EqualsNoCase(platform::FullWindowsPath(a), platform::FullWindowsPath(b))) {
        return true;
    }
    bool same = false;
    return platform::SameFile(a, b, same) == platform::kErrorSuccess && same;
}
