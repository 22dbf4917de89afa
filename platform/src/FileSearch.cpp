// Directory search with DOS wildcards.
//
// The pattern's folder is resolved like any path; its name part is matched against
// every host entry converted to code page 932. Matching works on whole characters, so
// "?" takes a double-byte character as one, and case is folded with UpperCase().
#include "platform/FileSearch.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>

#include "HostPath.h"
#include "platform/Cp932.h"
#include "platform/Files.h"

namespace platform {
namespace {

// The characters of `s`, upper-cased, one code per character (lead byte << 8 | trail).
std::vector<unsigned> FoldedChars(std::string_view s) {
    std::string upper = UpperCase(s);
    std::vector<unsigned> chars;
    for (std::size_t i = 0; i < upper.size();) {
        std::size_t len = CharLength(upper, i);
        unsigned code = static_cast<unsigned char>(upper[i]);
        if (len == 2) code = (code << 8) | static_cast<unsigned char>(upper[i + 1]);
        chars.push_back(code);
        i += len;
    }
    return chars;
}

bool Match(const std::vector<unsigned>& p, const std::vector<unsigned>& n) {
    // Iterative glob with a single backtrack point for the last "*".
    std::size_t pi = 0, ni = 0, starP = std::string::npos, starN = 0;
    while (ni < n.size()) {
        if (pi < p.size() && (p[pi] == '?' || p[pi] == n[ni])) {
            ++pi;
            ++ni;
        } else if (pi < p.size() && p[pi] == '*') {
            starP = pi++;
            starN = ni;
        } else if (starP != std::string::npos) {
            pi = starP + 1;
            ni = ++starN;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == '*') ++pi;
    return pi == p.size();
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
    if (Match(FoldedChars(pattern), FoldedChars(name))) return true;
    // DOS rule: a trailing ".*" also matches a name without an extension, so "*.*"
    // matches every name and "README.*" matches "README".
    if (pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == ".*" &&
        FindCharDbcs(name, '.') == std::string_view::npos) {
        return Match(FoldedChars(pattern.substr(0, pattern.size() - 2)), FoldedChars(name));
    }
    return false;
}

WinError FindFiles(std::string_view pattern, FindSelection selection,
                   std::vector<FindEntry>& entries) {
    entries.clear();
    if (!IsValidCp932(pattern)) return kErrorInvalidName;
    std::size_t delim = FindLastPathDelimiter(pattern);
    std::string dirPart =
        delim == std::string_view::npos ? std::string() : std::string(pattern.substr(0, delim + 1));
    std::string namePart =
        std::string(pattern.substr(delim == std::string_view::npos ? 0 : delim + 1));

    // Resolve the folder first so a missing drive or folder is reported as such even
    // for a pattern that names nothing.
    std::string folder = dirPart.empty() ? std::string(".") : dirPart;
    if (folder.size() == 2 && folder[1] == ':')
        folder += '.';  // "X:" alone is the drive's current folder
    detail::ResolvedPath resolved;
    if (WinError rc = detail::ResolvePath(folder, resolved, true); rc != kErrorSuccess) return rc;
    if (resolved.known == detail::PathKnown::MissingFile ||
        resolved.known == detail::PathKnown::MissingPath) {
        return kErrorPathNotFound;
    }
    if (resolved.known != detail::PathKnown::Folder) {
        struct stat st;
        if (stat(resolved.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return kErrorPathNotFound;
    }
    if (namePart.empty()) return kErrorFileNotFound;

    // The folder's names: from the listing the walk kept current (no system call),
    // else read from the folder.
    std::vector<std::string> names;
    if (resolved.listed) {
        names = std::move(resolved.listing);
        names.push_back(".");
        names.push_back("..");
    } else {
        DIR* d = opendir(resolved.host.c_str());
        if (!d) return kErrorPathNotFound;
        while (dirent* e = readdir(d)) names.push_back(e->d_name);
        closedir(d);
    }
    std::string cp932;
    for (const std::string& hostName : names) {
        bool dotEntry = hostName == "." || hostName == "..";
        if (dotEntry && selection != FindSelection::Raw) continue;
        if (!Utf8ToCp932(hostName, cp932)) continue;  // no Windows name for it
        if (!MatchesWildcard(namePart, cp932)) continue;
        // The attributes need the mode (read-only), and a link is reported as what it
        // leads to, marked as a link: each match is asked for.
        struct stat est;
        std::string full = detail::JoinHost(resolved.host, hostName);
        if (lstat(full.c_str(), &est) != 0) continue;  // vanished entry
        const bool link = S_ISLNK(est.st_mode);
        if (link && stat(full.c_str(), &est) != 0) continue;  // dangling link
        std::uint32_t attrs = S_ISDIR(est.st_mode) ? kAttrDirectory : kAttrArchive;
        if (link) attrs |= kAttrReparsePoint;
        if (detail::IsReadOnlyMode(est)) attrs |= kAttrReadOnly;
        if (!dotEntry && hostName[0] == '.') attrs |= kAttrHidden;
        if (selection == FindSelection::PlainFiles &&
            (attrs & (kAttrDirectory | kAttrHidden | kAttrSystem)))
            continue;
        entries.push_back({cp932, attrs});
    }
    std::sort(entries.begin(), entries.end(),
              [](const FindEntry& a, const FindEntry& b) { return a.name < b.name; });
    return entries.empty() ? kErrorFileNotFound : kErrorSuccess;
}

}  // namespace platform
