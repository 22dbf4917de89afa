// Fennoc: the product's folders, read from the per-user registry.
//
// All values live under HKEY_CURRENT_USER\SOFTWARE\KEL\PDM, where the product's set-up
// (and `morvan-prefix init --product`) writes them:
//   TMPDIR         the temporary folder (key 0, and any key without its own value)
//   TMPDIR<key>    the temporary folder of one key, e.g. TMPDIR3 for key 3
//   PDMDIR         the PDM programs' folder
//   KELPROGS       the product's shared programs' folder
// Every answer is a Windows path without a trailing "\" that fits the caller's buffer
// of kPdmIniPathSize bytes with its NUL. The values are read on every call, so a
// changed setting is seen by the next request without restarting the program.
#include "fennoc/Fennoc.h"

#include <cstring>
#include <string>
#include <utility>

#include "platform/Cp932.h"
#include "platform/Registry.h"
#include "platform/WinError.h"

namespace {

constexpr const char* kSettingsKey = "SOFTWARE\\KEL\\PDM";

// Reads one value; 0, or 2 when the key or the value is missing or empty, or the
// registry's own code (1009 for a hive that does not parse, 1629 a value that is not
// a string).
platform::WinError ReadSetting(const char* name, std::string& value) {
    platform::RegKey key;
    if (platform::WinError rc = platform::RegOpenKey(platform::RegRoot::CurrentUser, kSettingsKey,
                                                     platform::RegAccess::Read, key);
        rc != platform::kErrorSuccess) {
        return rc;
    }
    if (platform::WinError rc = platform::RegQueryString(key, name, value);
        rc != platform::kErrorSuccess) {
        return rc;
    }
    return value.empty() ? platform::kErrorFileNotFound : platform::kErrorSuccess;
}

// Removes one trailing "\" that is a character of its own; the "\"-coded second byte
// of a double-byte character such as 表 is part of the name and stays.
void RemoveTrailingBackslash(std::string& path) {
    if (!path.empty() && path.back() == '\\' &&
        platform::FindLastPathDelimiter(path) == path.size() - 1) {
        path.pop_back();
    }
}

// Fills `buffer` with `value` made a folder name, or leaves it empty and returns the code.
int FillFolder(std::string value, char* buffer) {
    RemoveTrailingBackslash(value);
    if (value.empty()) return static_cast<int>(platform::kErrorFileNotFound);
    // A cut path would name another folder, so a value too long is refused whole.
    if (value.size() >= kPdmIniPathSize) return static_cast<int>(platform::kErrorFilenameTooLong);
    std::memcpy(buffer, value.data(), value.size());
    buffer[value.size()] = '\0';
    return 0;
}

// Fills `buffer` with the setting `name`, or leaves it empty and returns the code.
int FillFromSetting(const char* name, char* buffer) {
    if (buffer == nullptr) return static_cast<int>(platform::kErrorInvalidParameter);
    buffer[0] = '\0';
    std::string value;
    if (platform::WinError rc = ReadSetting(name, value); rc != platform::kErrorSuccess) {
        return static_cast<int>(rc);
    }
    return FillFolder(std::move(value), buffer);
}

}  // namespace

extern "C" int PdmIni_GetTmpDir(int key, char* buffer) {
    if (buffer == nullptr) return static_cast<int>(platform::kErrorInvalidParameter);
    buffer[0] = '\0';
    if (key != 0) {
        // A key's own folder when the setting names one, else the common folder.
        std::string value;
        if (ReadSetting(("TMPDIR" + std::to_string(key)).c_str(), value) ==
            platform::kErrorSuccess) {
            return FillFolder(std::move(value), buffer);
        }
    }
    return FillFromSetting("TMPDIR", buffer);
}

extern "C" int PdmIni_GetPdmDir(char* buffer) { return FillFromSetting("PDMDIR", buffer); }

extern "C" int PdmIni_GetKelprogsDir(char* buffer) { return FillFromSetting("KELPROGS", buffer); }
