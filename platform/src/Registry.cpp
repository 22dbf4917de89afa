// Temporary registry: names only; the hive store follows.
#include "platform/Registry.h"

namespace platform {

namespace {
thread_local std::string gLastError;
}

WinError RegOpenKey(RegRoot, std::string_view, RegAccess, RegKey&) { return kErrorFileNotFound; }
WinError RegCreateKey(RegRoot, std::string_view, RegKey&) { return kErrorAccessDenied; }
WinError RegCreateSubKey(const RegKey&, std::string_view, RegKey&) { return kErrorAccessDenied; }
WinError RegQueryString(const RegKey&, std::string_view, std::string&) { return kErrorFileNotFound; }
bool RegValueExists(const RegKey&, std::string_view) { return false; }
WinError RegQueryValue(const RegKey&, std::string_view, RegValueInfo&) { return kErrorFileNotFound; }
WinError RegSetString(const RegKey&, std::string_view, std::string_view) { return kErrorAccessDenied; }
WinError RegSetValue(const RegKey&, const RegValueInfo&) { return kErrorAccessDenied; }
WinError RegDeleteValue(const RegKey&, std::string_view) { return kErrorFileNotFound; }
WinError RegDeleteTree(RegRoot, std::string_view) { return kErrorFileNotFound; }
WinError RegEnumSubKeys(const RegKey&, std::vector<std::string>&) { return kErrorFileNotFound; }
WinError RegEnumValues(const RegKey&, std::vector<RegValueInfo>&) { return kErrorFileNotFound; }
WinError RegImportFile(const std::string&) { return kErrorBadRegistryFile; }
WinError RegExportKey(RegRoot, std::string_view, const std::string&) { return kErrorFileNotFound; }
const std::string& LastRegistryError() { return gLastError; }
const char* RegRootName(RegRoot root) {
    return root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}
bool ParseRegRootName(std::string_view, RegRoot&) { return false; }

}  // namespace platform
