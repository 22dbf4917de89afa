// Path resolution figures: 10,000 upper-cased Windows paths resolved to 10,000
// lower-case files of one folder, against 10,000 plain stat() calls on the exact host
// names as a baseline. Run by hand: platform-bench-paths [COUNT]
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Files.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    std::string templ = (fs::temp_directory_path() / "morvan-bench-XXXXXX").string();
    if (!mkdtemp(templ.data())) return 1;
    const fs::path prefix = templ;
    const fs::path folder = prefix / "drive_c" / "data" / "many files";
    fs::create_directories(folder);
    fs::create_directories(prefix / "dosdevices");
    fs::create_directory_symlink("../drive_c", prefix / "dosdevices" / "c:");
    setenv("MORVAN_PREFIX", prefix.c_str(), 1);
    platform::ResetPrefixForTesting();

    std::vector<std::string> hostNames, windowsNames;
    for (int i = 0; i < count; ++i) {
        std::string name = "file_" + std::to_string(i) + ".dat";
        std::ofstream(folder / name);
        hostNames.push_back((folder / name).string());
        std::string upper = "FILE_" + std::to_string(i) + ".DAT";
        windowsNames.push_back("C:\\DATA\\MANY FILES\\" + upper);
    }

    using Clock = std::chrono::steady_clock;
    auto t0 = Clock::now();
    int found = 0;
    struct stat st;
    for (const auto& h : hostNames) found += stat(h.c_str(), &st) == 0;
    auto t1 = Clock::now();
    int resolved = 0;
    std::string host;
    for (const auto& w : windowsNames) resolved += platform::ToHostPath(w, host) == 0 && stat(host.c_str(), &st) == 0;
    auto t2 = Clock::now();
    // A second pass: the folder's listing is already cached.
    int again = 0;
    for (const auto& w : windowsNames) again += platform::ToHostPath(w, host) == 0;
    auto t3 = Clock::now();

    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("files in one folder:             %d\n", count);
    std::printf("stat() on exact host names:      %8.2f ms (%d found)\n", ms(t1 - t0), found);
    std::printf("resolve upper-cased paths+stat:  %8.2f ms (%d found)\n", ms(t2 - t1), resolved);
    std::printf("resolve again (listing cached):  %8.2f ms\n", ms(t3 - t2));
    fs::remove_all(prefix);
    return resolved == count && again == count ? 0 : 1;
}
