// Case-insensitive lookup of a name in a host folder.
//
// Windows scripts upper-case every path while the files on the host keep the case they
// were written with, so most lookups miss the exact name. Listing a folder for every
// such lookup would make resolving N files of one folder cost N listings; instead each
// folder's listing is kept, keyed by the upper-cased code page 932 form of every entry.
//
// The cache may never give a stale answer: a hit is checked with lstat() before it is
// returned (the entry could have been deleted or renamed since), and a miss always
// re-reads the folder (the entry could have been created since). So the cache only ever
// saves work, it never decides an outcome by itself.
#include <dirent.h>
#include <sys/stat.h>

#include <mutex>
#include <unordered_map>

#include "HostPath.h"
#include "platform/Cp932.h"

namespace platform::detail {
namespace {

using Listing = std::unordered_map<std::string, std::string>;  // upper-cased CP932 -> host name

// Folders are few in practice; the bound only keeps a long-running process (a tree
// walk over a large medium) from growing without limit.
constexpr std::size_t kMaxCachedFolders = 512;

std::mutex gMutex;
std::unordered_map<std::string, Listing> gListings;

bool ReadListing(const std::string& dir, Listing& listing) {
    DIR* d = opendir(dir.c_str());
    if (!d) return false;
    std::string cp932;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        // A host name with no code page 932 form cannot be named by a Windows path.
        if (!Utf8ToCp932(name, cp932)) continue;
        auto [it, inserted] = listing.emplace(UpperCase(cp932), name);
        // Names differing only in case: keep the smallest, so the answer does not
        // depend on the order of the folder.
        if (!inserted && name < it->second) it->second = name;
    }
    closedir(d);
    return true;
}

}  // namespace

bool FindEntryNoCase(const std::string& dir, std::string_view cp932Name, std::string& hostName) {
    const std::string key = UpperCase(cp932Name);
    std::lock_guard lock(gMutex);
    if (auto it = gListings.find(dir); it != gListings.end()) {
        if (auto hit = it->second.find(key); hit != it->second.end()) {
            struct stat st;
            std::string candidate = JoinHost(dir, hit->second);
            if (lstat(candidate.c_str(), &st) == 0) {
                hostName = hit->second;
                return true;
            }
        }
    }
    Listing fresh;
    if (!ReadListing(dir, fresh)) {
        gListings.erase(dir);
        return false;
    }
    bool found = false;
    if (auto hit = fresh.find(key); hit != fresh.end()) {
        hostName = hit->second;
        found = true;
    }
    if (gListings.size() >= kMaxCachedFolders && !gListings.count(dir)) gListings.clear();
    gListings[dir] = std::move(fresh);
    return found;
}

void ClearDirectoryCache() {
    std::lock_guard lock(gMutex);
    gListings.clear();
}

}  // namespace platform::detail
