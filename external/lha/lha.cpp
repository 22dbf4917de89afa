// LHA.EXE stand-in: the two archiver command lines the installer uses.
//
//   LHA x -rxcmn ARCHIVE     extracts every member with its stored relative path into
//                            the current directory, overwriting, asking nothing
//   LHA a -rxcmn ARCHIVE *   archives everything below the current directory (the
//                            archive itself excepted) with relative paths
//
// ARCHIVE is a Windows path (code page 932), read from the exact command line in
// MORVAN_CMDLINE. The work is done by the host's LZH archiver (`lha` on the PATH,
// Debian package jlha-utils), which exits 0 even when the archive is missing or
// damaged and checks no CRC; so this program checks for itself:
//   - before extracting, every member header is read; a member stored with an
//     absolute path, a drive, a ".." (or ".") level, or as a link is refused, and
//     nothing at all is extracted;
//   - the archiver extracts into a fresh folder inside the current directory; every
//     member must then be there with its stored size and CRC, and no link may be
//     there, before the files are moved into place.
// Exit codes: 0 success; 1 bad command line; 2 archive missing, empty or not a complete
// LZH archive; 3 a member refused; 4 the host archiver failed or its result did not
// check out; 5 nothing to archive, or a pattern whose folder cannot be searched.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "LzhHeaders.h"
#include "platform/CommandLine.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/FileSearch.h"
#include "platform/Prefix.h"

namespace fs = std::filesystem;

namespace {

int Fail(int code, const std::string& message) {
    std::fprintf(stderr, "LHA: %s\n", message.c_str());
    return code;
}

bool ReadHostFile(const fs::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream all;
    all << in.rdbuf();
    bytes = all.str();
    return true;
}

// Runs the host archiver in `dir` with UTF-8 file names (its "y" option converts
// them to and from the code page 932 names stored in the archive).
bool RunHostArchiver(const fs::path& dir, const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("LC_ALL", "C.UTF-8", 1);
        std::FILE* devnull = std::fopen("/dev/null", "r+");
        if (devnull) {
            dup2(fileno(devnull), 0);
            dup2(fileno(devnull), 1);
        }
        std::vector<char*> argv;
        std::string program = "lha";
        argv.push_back(program.data());
        std::vector<std::string> copy = args;
        for (std::string& arg : copy) argv.push_back(arg.data());
        argv.push_back(nullptr);
        execvp("lha", argv.data());
        execv("/usr/bin/lha", argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The host path of a member below `root`; false when a name cannot be converted.
bool MemberHostPath(const fs::path& root, const LzhMember& member, fs::path& path) {
    path = root;
    for (const std::string& part : member.components) {
        std::string utf8;
        if (!platform::Cp932ToUtf8(part, utf8)) return false;
        path /= utf8;
    }
    return true;
}

// Moves the contents of the Windows folder `from` into `to`, merging folders and
// replacing files; names are matched as Windows matches them (any letter case).
bool MoveInto(const std::string& from, const std::string& to) {
    std::vector<platform::FindEntry> entries;
    platform::WinError rc = platform::FindFiles(from + "\\*", platform::FindSelection::AllEntries, entries);
    if (rc == platform::kErrorFileNotFound) return true;
    if (rc != 0) return false;
    bool ok = true;
    for (const auto& entry : entries) {
        const std::string source = from + "\\" + entry.name;
        const std::string target = to + "\\" + entry.name;
        if (entry.attributes & platform::kAttrDirectory) {
            if (!platform::DirectoryExists(target)) {
                // A file left in the way fails the folder's creation below, which is counted.
                if (platform::PathExists(target)) (void)platform::DeleteFileW(target);
                ok = platform::CreateDirectoryTree(target) == 0 && ok;
            }
            ok = MoveInto(source, target) && ok;
        } else {
            // A target that stays read-only fails the move below, which is counted.
            if (platform::FileExists(target)) (void)platform::ClearReadOnly(target);
            ok = platform::MoveFileW(source, target) == 0 && ok;
        }
    }
    return ok;
}

int Extract(const std::string& archive) {
    std::string hostArchive;
    if (platform::ToHostPath(archive, hostArchive) != 0 || !platform::FileExists(archive)) {
        return Fail(2, "archive not found: " + platform::Cp932ToUtf8Lossy(archive));
    }
    std::string bytes;
    std::vector<LzhMember> members;
    std::string error;
    if (!ReadHostFile(hostArchive, bytes) || !ReadLzhMembers(bytes, members, error)) {
        return Fail(2, "not an LZH archive (" + error + "): " + hostArchive);
    }
    // An empty file, or one whose first byte is the end mark (0), reads as an archive
    // without members: extracting it would succeed having written nothing. No archive
    // this archiver writes is empty, so such a file is damaged or not an archive.
    if (members.empty()) return Fail(2, "not an LZH archive (no member): " + hostArchive);
    for (const LzhMember& member : members) {
        if (member.unsafe || member.symlink) {
            std::string shown;
            for (const std::string& part : member.components) shown += "\\" + part;
            return Fail(3, "member refused: " + platform::Cp932ToUtf8Lossy(shown));
        }
    }

    const std::string current = platform::GetCurrentDirectoryW();
    std::string hostCurrent;
    if (platform::ToHostPath(current, hostCurrent) != 0) return Fail(4, "no current directory");
    std::string pattern = (fs::path(hostCurrent) / ".lha-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return Fail(4, "cannot make a work folder");
    const fs::path work = pattern;
    std::error_code ignored;

    int code = 0;
    if (!RunHostArchiver(work, {"xqfy", fs::absolute(hostArchive).string()})) {
        code = Fail(4, "the host archiver failed");
    }
    // Later members of the same name replace earlier ones, as the archiver writes them.
    std::map<fs::path, const LzhMember*> last;
    for (const LzhMember& member : members) {
        fs::path path;
        if (!MemberHostPath(work, member, path)) {
            code = code ? code : Fail(3, "member name is not code page 932");
            break;
        }
        last[path] = &member;
    }
    for (const auto& [path, member] : last) {
        if (code) break;
        fs::file_status status = fs::symlink_status(path, ignored);
        bool good = member->directory ? fs::is_directory(status) : fs::is_regular_file(status);
        std::string data;
        if (good && !member->directory) {
            good = ReadHostFile(path, data) && data.size() == member->originalSize &&
                   LzhCrc16(data) == member->crc;
        }
        if (!good) code = Fail(4, "member damaged or missing: " + path.string());
    }
    for (auto it = fs::recursive_directory_iterator(work, ignored); !code && it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (it->is_symlink(ignored)) code = Fail(4, "link in the archive: " + it->path().string());
    }
    if (!code && !MoveInto(platform::ToWindowsPath(work.string()), current)) {
        code = Fail(4, "cannot move the members into place");
    }
    fs::remove_all(work, ignored);
    return code;
}

int Add(const std::string& archive, const std::vector<std::string>& patterns) {
    const std::string current = platform::GetCurrentDirectoryW();
    const std::string full = platform::FullWindowsPath(archive);
    std::vector<std::string> names;
    for (const std::string& pattern : patterns) {
        std::vector<platform::FindEntry> entries;
        // A pattern that matches nothing adds nothing; one that cannot be searched at all
        // would leave files out unseen.
        const platform::WinError rc =
            platform::FindFiles(current + "\\" + pattern, platform::FindSelection::AllEntries, entries);
        if (rc != 0 && rc != platform::kErrorFileNotFound) return Fail(5, "cannot search " + pattern);
        for (const auto& entry : entries) {
            // The archive never goes into itself.
            if (platform::EqualsNoCase(platform::FullWindowsPath(current + "\\" + entry.name), full)) continue;
            std::string utf8;
            if (!platform::Cp932ToUtf8(entry.name, utf8)) return Fail(4, "name is not code page 932");
            names.push_back(utf8);
        }
    }
    if (names.empty()) return Fail(5, "nothing to archive");
    std::string hostArchive, hostCurrent;
    if (platform::ToHostPath(full, hostArchive) != 0 || platform::ToHostPath(current, hostCurrent) != 0) {
        return Fail(2, "bad archive path");
    }
    std::vector<std::string> args = {"aqy", hostArchive};
    args.insert(args.end(), names.begin(), names.end());
    if (!RunHostArchiver(hostCurrent, args)) return Fail(4, "the host archiver failed");
    std::string bytes, error;
    std::vector<LzhMember> members;
    if (!ReadHostFile(hostArchive, bytes) || !ReadLzhMembers(bytes, members, error) || members.empty()) {
        return Fail(4, "the archive was not written");
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args = platform::SplitCommandLine(platform::GetCommandLineW(argc, argv));
    // The line may or may not begin with the program's own name.
    auto isCommand = [](const std::string& word) {
        std::string w = platform::UpperCaseAscii(word);
        return w == "X" || w == "E" || w == "A";
    };
    std::size_t at = 0;
    if (!args.empty() && !isCommand(args[0])) at = 1;
    if (at >= args.size() || !isCommand(args[at])) return Fail(1, "usage: LHA x|a -rxcmn ARCHIVE [*]");
    const std::string command = platform::UpperCaseAscii(args[at++]);
    while (at < args.size() && !args[at].empty() && (args[at][0] == '-' || args[at][0] == '/')) ++at;
    if (at >= args.size()) return Fail(1, "no archive named");
    const std::string archive = args[at++];
    if (command == "A") {
        std::vector<std::string> patterns(args.begin() + static_cast<std::ptrdiff_t>(at), args.end());
        if (patterns.empty()) patterns.push_back("*");
        return Add(archive, patterns);
    }
    if (at != args.size()) return Fail(1, "extracting selected members is not supported");
    return Extract(archive);
}
