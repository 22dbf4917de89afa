// Setting read figures: the cost of reading one string value of the settings key, as
// the script engine does for every "%SECTION\NAME%" reference, with the hive saved
// just before by the same process. Run by hand: platform-bench-registry [COUNT]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/Prefix.h"
#include "platform/Registry.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    // A prefix of its own holding nothing but the hives.
    std::string folder = (fs::temp_directory_path() / "morvan-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr || setenv("MORVAN_PREFIX", folder.c_str(), 1) != 0) {
        return 1;
    }
    const fs::path prefix = folder;
    platform::ResetPrefixForTesting();

    // A settings key of the usual size: a few sections of a few values each.
    for (const char* section : {"KELSYS", "INSTALL_DRIVE", "MORVANUP", "FONTS", "PATHS"}) {
        platform::RegKey key;
        if (platform::RegCreateKey(platform::RegRoot::CurrentUser,
                                   std::string("SOFTWARE\\KEL\\") + section, key) != 0) {
            return 1;
        }
        for (int i = 0; i < 8; ++i) {
            if (platform::RegSetString(key, "VALUE" + std::to_string(i),
                                       "C:\\KEL\\" + std::string(section) + "\\" +
                                           std::to_string(i)) != 0) {
                return 1;
            }
        }
    }

    using Clock = std::chrono::steady_clock;
    auto us = [count](auto d) { return std::chrono::duration<double, std::micro>(d).count() / count; };
    std::string value;
    int found = 0;

    auto t0 = Clock::now();
    for (int i = 0; i < count; ++i) {
        platform::RegKey key;
        found += platform::RegOpenKey(platform::RegRoot::CurrentUser, "SOFTWARE\\KEL\\KELSYS",
                                      platform::RegAccess::Read, key) == 0 &&
                 platform::RegQueryString(key, "VALUE3", value) == 0;
    }
    auto t1 = Clock::now();
    int foundAtOnce = 0;
    for (int i = 0; i < count; ++i) {
        foundAtOnce += platform::RegReadString(platform::RegRoot::CurrentUser,
                                               "SOFTWARE\\KEL\\KELSYS", "VALUE3", value) == 0;
    }
    auto t2 = Clock::now();
    std::printf("reads:                               %d (%d, %d found)\n", count, found,
                foundAtOnce);
    std::printf("open key + query string:             %8.3f us per read\n", us(t1 - t0));
    std::printf("one read of the string by its path:  %8.3f us per read\n", us(t2 - t1));
    fs::remove_all(prefix);
    return 0;
}
