// Gristo: drawing names, read from the machine's registry.
//
// All names are strings under HKEY_LOCAL_MACHINE\SOFTWARE\KEL\GRISTO\ZMNNAME, one value
// per drawing id: "<id>" is the drawing's name, "<id>-<sheet>" the name of one of its
// sheets. The machine-wide hive is the right home: every user of the workstation
// converts the same drawings under the same names.
#include "gristo/Gristo.h"

#include <cstring>
#include <string>

#include "platform/Cp932.h"
#include "platform/Registry.h"
#include "platform/WinError.h"

namespace {

constexpr const char* kNamesKey = "SOFTWARE\\KEL\\GRISTO\\ZMNNAME";

// Reads the value `name`: 0 with a non-empty text, 2 when the key or the value is
// missing or the text is empty, or the registry's own code (1009, 1629).
platform::WinError ReadName(const std::string& name, std::string& text) {
    platform::RegKey key;
    if (platform::WinError rc = platform::RegOpenKey(platform::RegRoot::LocalMachine, kNamesKey,
                                                     platform::RegAccess::Read, key);
        rc != platform::kErrorSuccess) {
        return rc;
    }
    if (platform::WinError rc = platform::RegQueryString(key, name, text);
        rc != platform::kErrorSuccess) {
        return rc;
    }
    return text.empty() ? platform::kErrorFileNotFound : platform::kErrorSuccess;
}

}  // namespace

extern "C" int32_t PdmIMG_ZmnID_GetZmnName(int32_t zmnId, char* name, int32_t sheet,
                                           int32_t reserved) {
    if (name == nullptr) return static_cast<int32_t>(platform::kErrorInvalidParameter);
    name[0] = '\0';
    if (sheet < 0 || reserved != 0) return static_cast<int32_t>(platform::kErrorInvalidParameter);

    std::string text;
    platform::WinError rc = platform::kErrorFileNotFound;
    if (sheet > 0) {
        // A sheet's own name when it has one; only a missing one falls back, so that a
        // broken hive or a mistyped value is reported rather than hidden.
        rc = ReadName(std::to_string(zmnId) + "-" + std::to_string(sheet), text);
    }
    if (rc == platform::kErrorFileNotFound) rc = ReadName(std::to_string(zmnId), text);
    if (rc != platform::kErrorSuccess) return static_cast<int32_t>(rc);

    // The buffer is the caller's and has exactly kZmnNameSize bytes: the name is cut to
    // leave room for the NUL, on a character boundary so that no half character ends it.
    const std::string fitted = platform::CutToBytes(text, kZmnNameSize - 1);
    std::memcpy(name, fitted.data(), fitted.size());
    name[fitted.size()] = '\0';
    return 0;
}
