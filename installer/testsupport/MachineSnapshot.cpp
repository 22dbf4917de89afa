// The files are read on the host side (every name is UTF-8 there, so keys print as
// they are); the registry through the platform layer, as the program reads it.
#include "installer/testsupport/MachineSnapshot.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uintmax_t kWholeFileLimit = 64 * 1024;

std::string FileItem(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return "<unreadable>";
    std::ostringstream all;
    all << in.rdbuf();
    std::string bytes = all.str();
    if (bytes.size() <= kWholeFileLimit) return bytes;
    // FNV-1a: a large file is compared by size and digest, so a failure message
    // stays readable.
    std::uint64_t digest = 1469598103934665603ull;
    for (unsigned char c : bytes) digest = (digest ^ c) * 1099511628211ull;
    return "<" + std::to_string(bytes.size()) + " bytes, digest " + std::to_string(digest) + ">";
}

bool Inside(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

// Work files of MorvanUP under the work root: left out of the machine's state.
bool IsWorkFile(const fs::path& path, const fs::path& workRoot) {
    for (const char* folder : {"VERUPDN", "TEMP", "INSTBACK"}) {
        if (Inside(path, workRoot / folder)) return true;
    }
    return path.parent_path() == workRoot && path.filename().string().rfind("MORVANUP.LCK", 0) == 0;
}

void AddDrive(const std::string& letter, const fs::path& root, const fs::path& workRoot,
              MachineSnapshot& out) {
    std::error_code error;
    fs::recursive_directory_iterator it(root, error), end;
    for (; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        if (IsWorkFile(path, workRoot)) {
            if (it->is_directory()) it.disable_recursion_pending();
            continue;
        }
        const std::string key = letter + "/" + path.lexically_relative(root).generic_string();
        if (it->is_symlink()) {
            out.items[key] = "<link to " + fs::read_symlink(path, error).string() + ">";
        } else if (it->is_regular_file()) {
            out.items[key] = FileItem(path);
        }
    }
    if (error) out.items[letter + "/"] = "<walk failed: " + error.message() + ">";
}

void AddKey(platform::RegRoot root, const std::string& key, MachineSnapshot& out) {
    const std::string name =
        std::string(root == platform::RegRoot::LocalMachine ? "HKLM\\" : "HKCU\\") +
        platform::Cp932ToUtf8Lossy(key) + "\\";
    platform::RegKey handle;
    if (platform::RegOpenKey(root, key, platform::RegAccess::Read, handle) != 0) {
        out.items[name] = "<no key>";
        return;
    }
    std::vector<platform::RegValueInfo> values;
    if (platform::RegEnumValues(handle, values) != 0) out.items[name] = "<values unreadable>";
    for (const auto& value : values) {
        out.items[name + platform::Cp932ToUtf8Lossy(value.name)] =
            std::to_string(static_cast<int>(value.type)) + ":" +
            platform::Cp932ToUtf8Lossy(value.data);
    }
    std::vector<std::string> subKeys;
    if (platform::RegEnumSubKeys(handle, subKeys) != 0) out.items[name] = "<subkeys unreadable>";
    for (const std::string& sub : subKeys) AddKey(root, key + "\\" + sub, out);
}

}  // namespace

MachineSnapshot TakeMachineSnapshot(const std::string& workRootHost,
                                    const std::vector<RegistryArea>& registry) {
    MachineSnapshot snapshot;
    std::error_code error;
    const fs::path prefix = fs::weakly_canonical(platform::PrefixDir(), error);
    const fs::path workRoot = fs::weakly_canonical(workRootHost, error);
    fs::directory_iterator it(prefix / "dosdevices", error), end;
    for (; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        const fs::path target = fs::weakly_canonical(it->path(), ignored);
        // Only the prefix's own drives: Z: and other mapped host folders are not the machine.
        if (ignored || !Inside(target, prefix) || target == prefix) continue;
        AddDrive(it->path().filename().string(), target, workRoot, snapshot);
    }
    for (const RegistryArea& area : registry) AddKey(area.root, area.key, snapshot);
    return snapshot;
}

std::string DescribeDifferences(const MachineSnapshot& expected, const MachineSnapshot& actual) {
    auto shown = [](const std::string& value) {
        return value.size() <= 200 ? "\"" + value + "\""
                                   : "<" + std::to_string(value.size()) + " bytes>";
    };
    std::string text;
    for (const auto& [key, value] : expected.items) {
        auto found = actual.items.find(key);
        if (found == actual.items.end()) {
            text += "missing " + key + " (was " + shown(value) + ")\n";
        } else if (found->second != value) {
            text += "changed " + key + ": " + shown(value) + " -> " + shown(found->second) + "\n";
        }
    }
    for (const auto& [key, value] : actual.items) {
        if (!expected.items.contains(key)) text += "added " + key + ": " + shown(value) + "\n";
    }
    return text;
}
