// Unique temporary names, made safe between processes.
//
// Every conversion draws the same unseeded pseudo-random sequence, so two conversions
// started at once try the same names in the same order. Testing a name for existence
// and using it later would hand both the same working copy; creating the name
// exclusively (platform::CreateNewFile) instead lets exactly one of them have it and
// sends the other on to its next name.
#include "support/util/TmpName.h"

#include <cstdio>
#include <cstdlib>
#include <string>

#include "fennoc/Fennoc.h"
#include "platform/ExclusiveCreate.h"
#include "platform/Files.h"
#include "platform/SystemServices.h"
#include "support/util/OutBuffer.h"

namespace {

constexpr int kRandomAttempts = 51;
constexpr std::uint32_t kTimeNamePauseMs = 1000;

enum class Claim { Taken, InUse };

// Tries to make `name` the caller's. Created: taken. Already there: in use. Neither
// creatable nor present: taken without a file, as the name is free.
Claim TryName(const std::string& name) {
    const platform::WinError rc = platform::CreateNewFile(name);
    if (rc == platform::kErrorSuccess) return Claim::Taken;
    if (rc == platform::kErrorFileExists) return Claim::InUse;
    return platform::PathExists(name) ? Claim::InUse : Claim::Taken;
}

std::string Compose(std::string_view folder, const char* number, std::string_view suffix) {
    std::string name(folder);
    name.append("\\").append(number).append(suffix);
    return name;
}

// The answer when a name does not fit the caller's buffer: no name, no file.
int NoName(std::span<char> out) {
    (void)CopyToBuffer({}, out);
    return 0;
}

long CurrentTimeCount() {
    const std::time_t now = std::time(nullptr);
    // The converter is single-threaded; std::localtime's shared result is not a risk.
    const std::tm* local = std::localtime(&now);
    return local ? TimeCountOf(*local) : static_cast<long>(now);
}

}  // namespace

long TimeCountOf(const std::tm& local) {
    return local.tm_sec + 60L * local.tm_min + 3600L * local.tm_hour + 86400L * local.tm_mday +
           2678400L * local.tm_mon;
}

int Tmp_MakeUniqueName(int dirKey, std::string_view suffix, std::span<char> out) {
    char folderBuffer[kPdmIniPathSize] = {};
    // A missing setting leaves the buffer empty: the names then start at a root.
    (void)PdmIni_GetTmpDir(dirKey, folderBuffer);
    const std::string_view folder = StringInBuffer(folderBuffer);

    char number[32];
    for (int attempt = 0; attempt < kRandomAttempts; ++attempt) {
        std::snprintf(number, sizeof number, "%lX", static_cast<long>(std::rand()));
        const std::string name = Compose(folder, number, suffix);
        if (name.size() + 1 > out.size()) return NoName(out);
        if (TryName(name) == Claim::Taken) return CopyToBuffer(name, out) ? 1 : 0;
    }
    while (true) {
        std::snprintf(number, sizeof number, "%ld", CurrentTimeCount());
        const std::string name = Compose(folder, number, suffix);
        if (name.size() + 1 > out.size()) return NoName(out);
        if (TryName(name) == Claim::Taken) return CopyToBuffer(name, out) ? 1 : 0;
        platform::Sleep(kTimeNamePauseMs);
    }
}
