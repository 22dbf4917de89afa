// The translation between Windows paths (code page 932) and host paths (UTF-8).
//
// A Windows path is first made full and canonical as text ("X:\A\B"), then walked
// component by component from the drive's host folder: an exact host name wins, else the
// directory listing is searched case-insensitively (DirectoryCache.cpp), else the
// component does not exist yet and is appended as written, so new files get the name
// the script gave them. A host path goes the other way through the drive whose folder
// holds it.
#include "HostPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "platform/Cp932.h"
#include "platform/Prefix.h"

namespace platform {
namespace {

using detail::IsDriveLetter;
using detail::NormalizeHost;
using detail::UpperDriveLetter;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Splits at "\" and "/" that are characters of their own; empty parts are dropped.
std::vector<std::string> SplitComponents(std::string_view s) { return SplitAtChars(s, "\\/"); }

// Windows ignores trailing dots and blanks of a name ("FILE." is "FILE"); both bytes are
// below the trail-byte range, so trimming from the end is safe in code page 932.
void TrimTrailingDotsAndBlanks(std::string& name) {
    if (name == "." || name == "..") return;
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
}

// Applies "." and ".." to `stack`; ".." never climbs above the root.
void PushComponents(std::vector<std::string>& stack, std::string_view text) {
    for (std::string part : SplitComponents(text)) {
        TrimTrailingDotsAndBlanks(part);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!stack.empty()) stack.pop_back();
            continue;
        }
        stack.push_back(std::move(part));
    }
}

std::string JoinWindows(char drive, const std::vector<std::string>& parts) {
    std::string out{drive, ':', '\\'};
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '\\';
        out += parts[i];
    }
    return out;
}

// A component the host (or Windows) cannot hold: characters Windows forbids in names.
// Walked by character, as "|" (0x7C) can be a trail byte.
bool IsValidComponent(std::string_view name) {
    for (std::size_t i = 0; i < name.size(); i += CharLength(name, i)) {
        if (CharLength(name, i) == 2) continue;
        auto c = static_cast<unsigned char>(name[i]);
        if (c < 0x20 || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' ||
            c == '|') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string detail::HostWorkingDir() {
    char buf[PATH_MAX];
    if (getcwd(buf, sizeof buf)) return buf;
    return "/";
}

std::string detail::NormalizeHost(std::string_view path) {
    std::string abs = (!path.empty() && path[0] == '/')
                          ? std::string(path)
                          : HostWorkingDir() + "/" + std::string(path);
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= abs.size()) {
        std::size_t j = abs.find('/', i);
        if (j == std::string::npos) j = abs.size();
        std::string part = abs.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

namespace {

// The canonical form of a host path: the longest existing ancestor is resolved through
// realpath() (symlinks such as dosdevices entries), the rest appended as it is.
std::string CanonicalHost(std::string_view path) {
    std::string norm = NormalizeHost(path);
    std::string head = norm, tail;
    while (true) {
        char buf[PATH_MAX];
        if (realpath(head.c_str(), buf)) {
            std::string out = buf;
            return tail.empty() ? out : detail::JoinHost(out, tail);
        }
        if (head == "/") return norm;
        std::string base = detail::HostBaseName(head);
        tail = tail.empty() ? base : base + "/" + tail;
        head = detail::HostParent(head);
    }
}

}  // namespace

std::string FullWindowsPath(std::string_view path) {
    std::string current = GetCurrentDirectoryW();
    char curDrive = current.empty() ? 'Z' : current[0];

    // UNC names are not modelled; they are returned untouched so ToHostPath rejects them.
    if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) return std::string(path);

    char drive = curDrive;
    std::vector<std::string> stack;
    std::string_view rest = path;
    if (path.size() >= 2 && path[1] == ':' && detail::IsDriveLetter(path[0])) {
        drive = detail::UpperDriveLetter(path[0]);
        rest = path.substr(2);
        if (rest.empty() || !IsSeparator(rest[0])) {
            // "X:NAME" is relative to the drive's current folder; only the current
            // drive has one here, other drives start at their root.
            if (drive == curDrive) PushComponents(stack, std::string_view(current).substr(2));
        }
    } else if (!path.empty() && IsSeparator(path[0])) {
        // rooted on the current drive
    } else {
        PushComponents(stack, std::string_view(current).substr(2));
    }
    PushComponents(stack, rest);
    return JoinWindows(drive, stack);
}

WinError detail::ResolvePath(std::string_view windowsPath, ResolvedPath& out, bool wantListing) {
    if (windowsPath.empty()) return kErrorPathNotFound;
    if (!IsValidCp932(windowsPath)) return kErrorInvalidName;
    std::string full = FullWindowsPath(windowsPath);
    if (full.size() < 3 || full[1] != ':' || full[2] != '\\') return kErrorBadPathname;
    std::vector<std::string> parts = SplitComponents(std::string_view(full).substr(3));
    for (const auto& part : parts) {
        if (!IsValidComponent(part)) return kErrorInvalidName;
    }
    out.windows = full;
    out.drive = full[0];
    out.isDriveRoot = parts.empty();
    std::string root;
    struct stat rootStat;
    if (WinError state = DriveRoot(out.drive, root, rootStat); state != kErrorSuccess) return state;
    return detail::ResolveBelow(root, rootStat, parts, wantListing, out);
}

WinError ToHostPath(std::string_view windowsPath, std::string& hostPath) {
    detail::ResolvedPath resolved;
    WinError rc = detail::ResolvePath(windowsPath, resolved);
    if (rc == kErrorSuccess) hostPath = std::move(resolved.host);
    return rc;
}

std::string ToWindowsPath(std::string_view hostPath) {
    std::string host = CanonicalHost(hostPath);
    char bestDrive = 'Z';
    std::string bestTarget;
    bool found = false;
    for (char letter : ListDrives()) {
        std::string target = detail::DriveTarget(letter);
        if (target.empty()) continue;
        bool holds = target == "/" || host == target ||
                     (host.size() > target.size() && host.compare(0, target.size(), target) == 0 &&
                      host[target.size()] == '/');
        if (holds && (!found || target.size() > bestTarget.size())) {
            found = true;
            bestDrive = letter;
            bestTarget = target;
        }
    }
    std::string rest = found ? (bestTarget == "/" ? host.substr(1) : host.substr(bestTarget.size()))
                             : host.substr(1);
    if (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
    std::string cp932;
    if (!Utf8ToCp932(rest, cp932)) cp932 = rest;  // carried byte for byte
    for (char& c : cp932) {
        if (c == '/') c = '\\';  // "/" is never a trail byte, so this is safe in code page 932
    }
    return std::string{bestDrive, ':', '\\'} + cp932;
}

std::string detail::JoinHost(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string detail::HostParent(const std::string& hostPath) {
    std::size_t slash = hostPath.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return hostPath.substr(0, slash);
}

std::string detail::HostBaseName(const std::string& hostPath) {
    std::size_t slash = hostPath.find_last_of('/');
    return slash == std::string::npos ? hostPath : hostPath.substr(slash + 1);
}

WinError detail::MissingPathError(const std::string& hostPath) {
    struct stat st;
    std::string parent = HostParent(hostPath);
    if (stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return kErrorFileNotFound;
    return kErrorPathNotFound;
}

}  // namespace platform
