// morvan-prefix: creates and inspects a prefix and maps its drives.
//
//   morvan-prefix init [DIR]          create (or complete) the prefix
//   morvan-prefix show [DIR]          the prefix, its drives and hive files
//   morvan-prefix map X: HOSTDIR      map drive X: to a host folder
//   morvan-prefix unmap X:            remove drive X:
//
// The prefix is DIR when given, else $MORVAN_PREFIX, else ~/.morvan. `init` also
// installs the stand-in programs found beside this executable: bin/stand-in-NAME
// becomes drive_c/WINDOWS/SYSTEM32/NAME.EXE.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/Prefix.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
    std::fprintf(stderr,
                 "usage: morvan-prefix init [DIR]\n"
                 "       morvan-prefix show [DIR]\n"
                 "       morvan-prefix map X: HOSTDIR\n"
                 "       morvan-prefix unmap X:\n"
                 "The prefix is DIR, else $MORVAN_PREFIX, else ~/.morvan.\n");
    return 2;
}

// "X:" or "X" -> 'X'; 0 when not a drive letter.
char ParseDrive(const std::string& arg) {
    if (arg.empty() || arg.size() > 2 || (arg.size() == 2 && arg[1] != ':')) return 0;
    char c = arg[0];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 0x20);
    return (c >= 'A' && c <= 'Z') ? c : 0;
}

void UsePrefix(const char* dir) {
    // Read lazily by the platform layer, so setting it before the first use is enough.
    if (dir) setenv("MORVAN_PREFIX", fs::absolute(dir).lexically_normal().c_str(), 1);
}

bool Ensure(const fs::path& dir) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec) std::fprintf(stderr, "morvan-prefix: cannot create %s: %s\n", dir.c_str(), ec.message().c_str());
    return !ec;
}

bool EnsureLink(const fs::path& entry, const std::string& target) {
    std::error_code ec;
    if (fs::symlink_status(entry, ec).type() != fs::file_type::not_found) return true;  // keep a mapping
    fs::create_directory_symlink(target, entry, ec);
    if (ec) std::fprintf(stderr, "morvan-prefix: cannot create %s: %s\n", entry.c_str(), ec.message().c_str());
    return !ec;
}

bool EnsureHive(const fs::path& hive) {
    if (fs::exists(hive)) return true;
    FILE* f = std::fopen(hive.c_str(), "w");
    if (!f) {
        std::fprintf(stderr, "morvan-prefix: cannot create %s: %s\n", hive.c_str(), std::strerror(errno));
        return false;
    }
    std::fputs("REGEDIT4\n\n", f);
    return std::fclose(f) == 0;
}

// Copies every bin/stand-in-NAME beside this program to SYSTEM32/NAME.EXE.
int InstallStandIns(const fs::path& system32) {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return 0;
    self[n] = '\0';
    fs::path bin = fs::path(self).parent_path();
    int count = 0;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(bin, ec)) {
        std::string name = entry.path().filename().string();
        const std::string tag = "stand-in-";
        if (name.compare(0, tag.size(), tag) != 0 || name.size() == tag.size()) continue;
        if (!entry.is_regular_file() || access(entry.path().c_str(), X_OK) != 0) continue;
        std::string windowsName = name.substr(tag.size());
        if (windowsName.find('.') == std::string::npos) windowsName += ".EXE";
        fs::path target = system32 / windowsName;
        std::error_code copyEc;
        fs::copy_file(entry.path(), target, fs::copy_options::overwrite_existing, copyEc);
        if (copyEc) {
            std::fprintf(stderr, "morvan-prefix: cannot install %s: %s\n", target.c_str(), copyEc.message().c_str());
            continue;
        }
        fs::permissions(target, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec, copyEc);
        std::printf("installed %s\n", target.c_str());
        ++count;
    }
    return count;
}

int Init() {
    fs::path prefix = platform::PrefixDir();
    bool ok = Ensure(prefix / "dosdevices") && Ensure(prefix / "drive_c" / "WINDOWS" / "SYSTEM32") &&
              Ensure(prefix / "pipes") && EnsureLink(prefix / "dosdevices" / "c:", "../drive_c") &&
              EnsureLink(prefix / "dosdevices" / "z:", "/") && EnsureHive(prefix / "system.reg") &&
              EnsureHive(prefix / "user.reg");
    if (!ok) return 1;
    InstallStandIns(prefix / "drive_c" / "WINDOWS" / "SYSTEM32");
    std::printf("prefix ready: %s\n", prefix.c_str());
    return 0;
}

int Show() {
    fs::path prefix = platform::PrefixDir();
    std::printf("prefix: %s%s\n", prefix.c_str(), fs::is_directory(prefix) ? "" : " (missing)");
    std::printf("drives:\n");
    for (char letter : platform::ListDrives()) {
        std::string entry = platform::DriveEntryPath(letter);
        std::error_code ec;
        std::string target = fs::is_symlink(entry, ec) ? fs::read_symlink(entry, ec).string() : "(folder)";
        platform::WinError state = platform::DriveState(letter);
        std::printf("  %c:  %-40s %s\n", letter, target.c_str(), state == 0 ? "ready" : "not ready (no medium)");
    }
    for (const char* hive : {"system.reg", "user.reg"}) {
        fs::path p = prefix / hive;
        std::error_code ec;
        auto size = fs::file_size(p, ec);
        if (ec) {
            std::printf("%-11s missing\n", hive);
        } else {
            std::printf("%-11s %ju bytes\n", hive, static_cast<uintmax_t>(size));
        }
    }
    return 0;
}

const char* ErrorText(platform::WinError rc) {
    switch (rc) {
        case platform::kErrorPathNotFound: return "no such drive";
        case platform::kErrorAccessDenied: return "access denied";
        case platform::kErrorDirNotEmpty: return "the drive is a folder that is not empty";
        case platform::kErrorInvalidParameter: return "invalid drive letter or folder";
        default: return "failed";
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    std::string cmd = argv[1];
    if (cmd == "init" && argc <= 3) {
        UsePrefix(argc == 3 ? argv[2] : nullptr);
        return Init();
    }
    if (cmd == "show" && argc <= 3) {
        UsePrefix(argc == 3 ? argv[2] : nullptr);
        return Show();
    }
    if (cmd == "map" && argc == 4) {
        char letter = ParseDrive(argv[2]);
        if (!letter) return Usage();
        std::error_code ec;
        std::string dir = fs::absolute(argv[3], ec).lexically_normal().string();
        if (!fs::is_directory(dir)) std::fprintf(stderr, "morvan-prefix: note: %s does not exist (drive not ready)\n", dir.c_str());
        if (platform::WinError rc = platform::MapDrive(letter, dir); rc != 0) {
            std::fprintf(stderr, "morvan-prefix: cannot map %c: (%s, error %u)\n", letter, ErrorText(rc), rc);
            return 1;
        }
        std::printf("%c: -> %s\n", letter, dir.c_str());
        return 0;
    }
    if (cmd == "unmap" && argc == 3) {
        char letter = ParseDrive(argv[2]);
        if (!letter) return Usage();
        if (platform::WinError rc = platform::UnmapDrive(letter); rc != 0) {
            std::fprintf(stderr, "morvan-prefix: cannot unmap %c: (%s, error %u)\n", letter, ErrorText(rc), rc);
            return 1;
        }
        std::printf("%c: removed\n", letter);
        return 0;
    }
    return Usage();
}
