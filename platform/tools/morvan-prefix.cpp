// morvan-prefix: creates and inspects a prefix and maps its drives.
//
//   morvan-prefix init [DIR]          create (or complete) the prefix
//   morvan-prefix init --product [DIR]  the same, plus a whole Morvan installation
//   morvan-prefix show [DIR]          the prefix, its drives and hive files
//   morvan-prefix map X: HOSTDIR      map drive X: to a host folder
//   morvan-prefix unmap X:            remove drive X:
//
// The prefix is DIR when given, else $MORVAN_PREFIX, else ~/.morvan. `init` also
// installs the stand-in programs found beside this executable: bin/stand-in-NAME
// becomes drive_c/WINDOWS/SYSTEM32/NAME.EXE, and seeds the font substitutes.
// `--product` adds the product's settings, folders, tools and converter libraries
// (see InstallProduct); run again, it completes what is missing and keeps what a person
// changed.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "platform/AtomicWrite.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Fonts.h"
#include "platform/Prefix.h"
#include "platform/Registry.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
    std::fprintf(stderr,
                 "usage: morvan-prefix init [--product] [DIR]\n"
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

// The folder of this program: the build's bin/, where the programs it installs are.
fs::path OwnBinDir() {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return {};
    self[n] = '\0';
    return fs::path(self).parent_path();
}

// Copies every bin/stand-in-NAME beside this program to SYSTEM32/NAME.EXE.
int InstallStandIns(const fs::path& system32) {
    fs::path bin = OwnBinDir();
    if (bin.empty()) return 0;
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

// ---- the product installation (init --product) ----
//
// A Morvan 2.00 installation as the product's set-up leaves it: the installer's settings
// and the converter's, the folders they name, and the programs and libraries in those
// folders. A setting is written only when missing, so a value a person changed survives
// a second run. The folders and the places of the programs are taken from the settings
// as they then are, so a person who moved a folder gets the programs in the new place.

using platform::RegRoot;

struct ProductSetting {
    RegRoot root;
    const char* key;
    const char* name;
    const char* value;
};

constexpr const char* kKelSys = "SOFTWARE\\KEL\\KELSYS";
constexpr const char* kPdm = "SOFTWARE\\KEL\\PDM";

const ProductSetting kProductSettings[] = {
    {RegRoot::CurrentUser, "SOFTWARE\\KEL\\INSTALL_DRIVE", "INSTALL_AP_PATH", "C:\\MORVAN"},
    {RegRoot::CurrentUser, kKelSys, "KELTEMP", "C:\\KEL\\WORK"},
    {RegRoot::CurrentUser, kKelSys, "KEL_WORK", "C:\\KEL\\WORK2"},
    {RegRoot::CurrentUser, kKelSys, "INSTALL", "C:\\KEL\\INSTALL"},
    {RegRoot::CurrentUser, kKelSys, "QVD_DAT", "C:\\KEL\\QVD\\"},
    {RegRoot::CurrentUser, kKelSys, "TOOLS", "C:\\KEL\\TOOLS"},
    {RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "VERSION", "2.00"},
    {RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "PLOTTER", "PEN8"},
    {RegRoot::CurrentUser, kPdm, "PDMDIR", "C:\\KEL\\PDM"},
    {RegRoot::CurrentUser, kPdm, "TMPDIR", "C:\\KEL\\PDM\\TMP"},
    {RegRoot::CurrentUser, kPdm, "KELPROGS", "C:\\KEL\\PROGS"},
};

// The folders a program of the product is installed in, each named by a setting.
enum class ProductFolder {
    Application,  // INSTALL_DRIVE\INSTALL_AP_PATH
    Archiver,     // the sibling EXE of KELSYS\QVD_DAT, where the installer looks for LHA
    Tools,        // KELSYS\TOOLS
    Pdm,          // PDM\PDMDIR, the converter's programs and libraries
    Kelprogs,     // PDM\KELPROGS, the programs the converter starts (the analyser)
};

struct ProductFile {
    const char* built;  // file name beside morvan-prefix
    ProductFolder folder;
    const char* windowsName;  // below the folder
};

// Every program and library of the installation. A file the build did not make is
// skipped with a note, so a partial build still gives a usable prefix.
const ProductFile kProductFiles[] = {
    {"stand-in-LHA", ProductFolder::Archiver, "LHA.EXE"},
    {"stand-in-HALTAPP", ProductFolder::Tools, "HALTAPP.EXE"},
    {"stand-in-PAUSER", ProductFolder::Application, "PAUSER\\PAUSER.EXE"},
    {"Fennoc.DLL", ProductFolder::Pdm, "Fennoc.DLL"},
    {"Gristo.DLL", ProductFolder::Pdm, "Gristo.DLL"},
    {"Lutwin.DLL", ProductFolder::Pdm, "Lutwin.DLL"},
    {"Pelmar.DLL", ProductFolder::Pdm, "Pelmar.DLL"},
    {"Quillon.DLL", ProductFolder::Pdm, "Quillon.DLL"},
    {"Tessop.DLL", ProductFolder::Pdm, "Tessop.DLL"},
    {"Ambrel", ProductFolder::Pdm, "Ambrel.EXE"},
    {"Tolvane", ProductFolder::Pdm, "Tolvane.EXE"},
    // The analyser loads the drawing library from its own folder, as a program does.
    {"Stovik", ProductFolder::Kelprogs, "Stovik.EXE"},
    {"Quillon.DLL", ProductFolder::Kelprogs, "Quillon.DLL"},
};

// What `init --product` installed, one line per file: the FNV-1a hash of its contents
// (16 hex digits), a blank, its Windows path (UTF-8). A file whose contents still have
// the recorded hash is the one installed and may be refreshed from a newer build; any
// other contents were put there by a person and are kept.
constexpr const char* kManifestName = "product-files.lst";

std::string Utf8(std::string_view cp932) { return platform::Cp932ToUtf8Lossy(cp932); }

std::uint64_t ContentHash(std::string_view bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

std::map<std::string, std::uint64_t> ReadManifest(const fs::path& file) {
    std::map<std::string, std::uint64_t> entries;
    std::string text;
    if (platform::ReadFileBytes(platform::ToWindowsPath(file.string()), text) != 0) return entries;
    for (const std::string& line : platform::SplitLines(text)) {
        // A line that does not read is forgotten: its file then counts as changed by hand
        // and is kept, which is the safe side.
        if (line.size() < 18 || line[16] != ' ') continue;
        const std::string digits = line.substr(0, 16);
        char* end = nullptr;
        std::uint64_t hash = std::strtoull(digits.c_str(), &end, 16);
        if (end != digits.c_str() + 16) continue;
        entries[line.substr(17)] = hash;
    }
    return entries;
}

bool WriteManifest(const fs::path& file, const std::map<std::string, std::uint64_t>& entries) {
    std::string text;
    for (const auto& [path, hash] : entries) {
        char hex[17];
        std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
        text.append(hex).append(" ").append(path).append("\n");
    }
    if (platform::WinError rc = platform::AtomicWriteFile(file.string(), text); rc != 0) {
        std::fprintf(stderr, "morvan-prefix: cannot write %s (error %u)\n", file.c_str(), rc);
        return false;
    }
    return true;
}

// Writes the setting when the value is missing; true unless the registry failed.
bool SeedSetting(const ProductSetting& s) {
    const std::string where =
        std::string(platform::RegRootName(s.root)) + "\\" + s.key + " " + s.name;
    platform::RegKey key;
    platform::WinError rc = platform::RegCreateKey(s.root, s.key, key);
    if (rc == 0 && platform::RegValueExists(key, s.name)) return true;  // kept as it is
    if (rc == 0) rc = platform::RegSetString(key, s.name, s.value);
    if (rc != 0) {
        std::fprintf(stderr, "morvan-prefix: cannot write %s (error %u)\n", where.c_str(), rc);
        return false;
    }
    std::printf("set %s = %s\n", where.c_str(), s.value);
    return true;
}

// The setting's value as it is now; empty when missing.
std::string Setting(RegRoot root, const char* key, const char* name) {
    platform::RegKey handle;
    std::string value;
    if (platform::RegOpenKey(root, key, platform::RegAccess::Read, handle) != 0 ||
        platform::RegQueryString(handle, name, value) != 0) {
        return {};
    }
    return value;
}

// A folder setting made a full Windows path without a trailing "\" (the "\" that is a
// trail byte of a double-byte character is part of the name); empty stays empty.
std::string FolderOf(const std::string& value) {
    if (value.empty()) return {};
    std::string full = platform::FullWindowsPath(value);
    if (full.size() > 3 && full.back() == '\\' &&
        platform::FindLastPathDelimiter(full) == full.size() - 1) {
        full.pop_back();
    }
    return full;
}

std::string JoinFolder(const std::string& folder, const char* name) {
    return folder.empty() ? std::string() : FolderOf(folder + "\\" + name);
}

bool EnsureWindowsFolder(const std::string& folder) {
    if (folder.empty()) return true;
    if (platform::WinError rc = platform::CreateDirectoryTree(folder); rc != 0) {
        std::fprintf(stderr, "morvan-prefix: cannot create %s (error %u)\n", Utf8(folder).c_str(),
                     rc);
        return false;
    }
    return true;
}

// Installs one file by the refresh rule of the manifest; true unless something failed.
bool InstallProductFile(const fs::path& bin, const ProductFile& file, const std::string& folder,
                        std::map<std::string, std::uint64_t>& manifest) {
    const fs::path source = bin / file.built;
    if (!fs::is_regular_file(source)) {
        std::printf("not built, skipped: %s\n", file.built);
        return true;
    }
    if (folder.empty()) {
        std::fprintf(stderr, "morvan-prefix: no folder setting for %s\n", file.windowsName);
        return false;
    }
    const std::string target = FolderOf(folder + "\\" + file.windowsName);
    const std::string shown = Utf8(target);
    std::size_t delim = platform::FindLastPathDelimiter(target);
    if (!EnsureWindowsFolder(target.substr(0, delim))) return false;

    std::string bytes;
    if (platform::WinError rc =
            platform::ReadFileBytes(platform::ToWindowsPath(source.string()), bytes);
        rc != 0) {
        std::fprintf(stderr, "morvan-prefix: cannot read %s (error %u)\n", source.c_str(), rc);
        return false;
    }
    const std::uint64_t built = ContentHash(bytes);

    std::string host;
    if (platform::WinError rc = platform::ToHostPath(target, host); rc != 0) {
        std::fprintf(stderr, "morvan-prefix: cannot install %s (error %u)\n", shown.c_str(), rc);
        return false;
    }
    const char* action = "installed";
    std::string present;
    if (platform::ReadFileBytes(target, present) == 0) {
        const std::uint64_t now = ContentHash(present);
        if (now == built) {
            manifest[shown] = built;  // up to date (also a copy made before the manifest)
            return true;
        }
        auto recorded = manifest.find(shown);
        if (recorded == manifest.end() || recorded->second != now) {
            std::printf("kept %s (changed since it was installed; delete it to refresh)\n",
                        shown.c_str());
            return true;
        }
        action = "refreshed";
    }
    // Replaced whole through a rename, so a program running from the old file goes on
    // running and a reader never sees half a library.
    if (platform::WinError rc = platform::AtomicWriteFile(host, bytes, 0755); rc != 0) {
        std::fprintf(stderr, "morvan-prefix: cannot install %s (error %u)\n", shown.c_str(), rc);
        return false;
    }
    manifest[shown] = built;
    std::printf("%s %s\n", action, shown.c_str());
    return true;
}

// The installation on top of a ready prefix. 0, or 1 when any part failed (the rest
// is still done).
int InstallProduct(const fs::path& prefix) {
    bool ok = true;
    for (const ProductSetting& s : kProductSettings) ok = SeedSetting(s) && ok;

    const RegRoot user = RegRoot::CurrentUser;
    const std::string application =
        FolderOf(Setting(user, "SOFTWARE\\KEL\\INSTALL_DRIVE", "INSTALL_AP_PATH"));
    const std::string work = FolderOf(Setting(user, kKelSys, "KELTEMP"));
    const std::string qvd = Setting(user, kKelSys, "QVD_DAT");
    const std::string tools = FolderOf(Setting(user, kKelSys, "TOOLS"));
    const std::string pdm = FolderOf(Setting(user, kPdm, "PDMDIR"));
    const std::string kelprogs = FolderOf(Setting(user, kPdm, "KELPROGS"));
    // The installer finds its archiver in QVD_DAT + "..\EXE\" (the value ends in "\").
    const std::string archiver = qvd.empty() ? std::string() : FolderOf(qvd + "..\\EXE");

    const std::string folders[] = {
        application,
        JoinFolder(application, "PAUSER"),
        JoinFolder(application, "MorvanDN"),
        work,
        JoinFolder(work, "TEMP"),
        JoinFolder(work, "VERUPDN"),
        JoinFolder(work, "INSTBACK"),
        FolderOf(Setting(user, kKelSys, "INSTALL")),
        FolderOf(qvd),
        archiver,
        tools,
        pdm,
        FolderOf(Setting(user, kPdm, "TMPDIR")),
        kelprogs,
    };
    for (const std::string& folder : folders) ok = EnsureWindowsFolder(folder) && ok;

    const fs::path manifestFile = prefix / kManifestName;
    std::map<std::string, std::uint64_t> manifest = ReadManifest(manifestFile);
    const std::map<std::string, std::uint64_t> before = manifest;
    const fs::path bin = OwnBinDir();
    for (const ProductFile& file : kProductFiles) {
        const std::string* folder = nullptr;
        switch (file.folder) {
            case ProductFolder::Application:
                folder = &application;
                break;
            case ProductFolder::Archiver:
                folder = &archiver;
                break;
            case ProductFolder::Tools:
                folder = &tools;
                break;
            case ProductFolder::Pdm:
                folder = &pdm;
                break;
            case ProductFolder::Kelprogs:
                folder = &kelprogs;
                break;
        }
        ok = InstallProductFile(bin, file, *folder, manifest) && ok;
    }
    if (manifest != before) ok = WriteManifest(manifestFile, manifest) && ok;
    std::printf(
        "product %s: Morvan %s\n", ok ? "ready" : "incomplete",
        Utf8(Setting(RegRoot::LocalMachine, "SOFTWARE\\Morvan\\COMMON", "VERSION")).c_str());
    return ok ? 0 : 1;
}

int Init(bool product) {
    fs::path prefix = platform::PrefixDir();
    bool ok = Ensure(prefix / "dosdevices") &&
              Ensure(prefix / "drive_c" / "WINDOWS" / "SYSTEM32") && Ensure(prefix / "pipes") &&
              EnsureLink(prefix / "dosdevices" / "c:", "../drive_c") &&
              EnsureLink(prefix / "dosdevices" / "z:", "/") && EnsureHive(prefix / "system.reg") &&
              EnsureHive(prefix / "user.reg");
    if (!ok) return 1;
    InstallStandIns(prefix / "drive_c" / "WINDOWS" / "SYSTEM32");
    // Fonts are a convenience of the prefix, not part of it: a registry that refuses
    // them leaves a usable prefix whose drawings fall back to other faces.
    if (platform::WinError rc = platform::SeedFontSubstitutes(); rc != 0) {
        std::fprintf(stderr,
                     "morvan-prefix: warning: cannot seed the font substitutes (error %u)\n", rc);
    }
    std::printf("prefix ready: %s\n", prefix.c_str());
    return product ? InstallProduct(prefix) : 0;
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
    if (cmd == "init") {
        bool product = argc >= 3 && std::strcmp(argv[2], "--product") == 0;
        int first = product ? 3 : 2;
        if (argc > first + 1) return Usage();
        UsePrefix(argc == first + 1 ? argv[first] : nullptr);
        return Init(product);
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
