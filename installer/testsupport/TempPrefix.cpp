#include "installer/testsupport/TempPrefix.h"

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "platform/Prefix.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;

namespace {

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("test prefix set-up failed: " + command);
    }
}

void SetSetting(platform::RegRoot root, const std::string& key, const std::string& name,
                const std::string& value) {
    platform::RegKey handle;
    if (platform::RegCreateKey(root, key, handle) != 0 ||
        platform::RegSetString(handle, name, value) != 0) {
        throw std::runtime_error("test prefix: cannot write setting " + key + "\\" + name);
    }
}

void CopyStandIn(const std::string& name, const fs::path& target) {
    fs::path built = fs::path(TempPrefix::BinDir()) / ("stand-in-" + name);
    if (!fs::exists(built)) return;
    fs::create_directories(target.parent_path());
    fs::copy_file(built, target, fs::copy_options::overwrite_existing);
}

}  // namespace

std::string TempPrefix::BinDir() {
    const char* bin = std::getenv("MORVAN_BIN_DIR");
    if (bin == nullptr || *bin == '\0') {
        throw std::runtime_error("MORVAN_BIN_DIR is not set (run the tests through ctest)");
    }
    return bin;
}

TempPrefix::TempPrefix() {
    std::string pattern = (fs::temp_directory_path() / "morvan-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = pattern;
    setenv("MORVAN_PREFIX", dir_.c_str(), 1);
    platform::ResetPrefixForTesting();
    // Built with append() rather than a chain of "+": g++ 12 at -O3 reports a false
    // -Wrestrict on the chain.
    std::string command = "'";
    command.append(BinDir()).append("/morvan-prefix' init '").append(dir_).append("' >/dev/null");
    Run(command);
    // Tests name files relative to C:\; running them anywhere else would touch the wrong files.
    if (platform::SetCurrentDirectoryW("C:\\") != 0) {
        throw std::runtime_error("cannot make C:\\ of the new prefix current");
    }
}

TempPrefix::~TempPrefix() {
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    fs::remove_all(dir_, ignored);
}

std::string TempPrefix::HostC(const std::string& relative) const {
    return (fs::path(dir_) / "drive_c" / relative).string();
}

void TempPrefix::InstallStandardProduct(const std::string& version) {
    using platform::RegRoot;
    const std::string kel = "SOFTWARE\\KEL";
    SetSetting(RegRoot::CurrentUser, kel + "\\INSTALL_DRIVE", "INSTALL_AP_PATH", "C:\\MORVAN");
    SetSetting(RegRoot::CurrentUser, kel + "\\KELSYS", "KELTEMP", "C:\\KEL\\WORK");
    SetSetting(RegRoot::CurrentUser, kel + "\\KELSYS", "KEL_WORK", "C:\\KEL\\WORK2");
    SetSetting(RegRoot::CurrentUser, kel + "\\KELSYS", "INSTALL", "C:\\KEL\\INSTALL");
    SetSetting(RegRoot::CurrentUser, kel + "\\KELSYS", "QVD_DAT", "C:\\KEL\\QVD\\");
    SetSetting(RegRoot::CurrentUser, kel + "\\KELSYS", "TOOLS", "C:\\KEL\\TOOLS");
    for (const char* folder : {"MORVAN", "KEL/WORK", "KEL/INSTALL", "KEL/QVD", "KEL/EXE", "KEL/TOOLS"}) {
        fs::create_directories(HostC(folder));
    }
    if (!version.empty()) {
        SetSetting(RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "VERSION", version);
    }
    CopyStandIn("LHA", HostC("KEL/EXE/LHA.EXE"));
    CopyStandIn("HALTAPP", HostC("KEL/TOOLS/HALTAPP.EXE"));
    CopyStandIn("PAUSER", HostC("MORVAN/PAUSER/PAUSER.EXE"));
}

std::string TempPrefix::MapNewDrive(char letter) {
    fs::path folder = fs::path(dir_) / (std::string("media_") + letter);
    fs::create_directories(folder);
    if (platform::MapDrive(letter, folder.string()) != 0) {
        throw std::runtime_error(std::string("cannot map drive ") + letter);
    }
    return folder.string();
}
