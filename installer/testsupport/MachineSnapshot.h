// The state of the target machine of a test prefix, to compare before and after a
// job: every file under the prefix's own drives (the drives whose folder lies inside
// the prefix; Z:, the host's root, is not one) byte for byte, and every value under
// chosen registry keys with its type. MorvanUP's own work folders are left out: the
// staging, temporary and backup folders under the work root and its lock file, which
// the program empties or removes itself and which hold nothing of the machine.
//
// Folders are not part of the state: a rollback deletes the files a job added but
// keeps the folders the job created on the way.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Registry.h"

struct RegistryArea {
    platform::RegRoot root;
    std::string key;  // this key with all its subkeys
};

struct MachineSnapshot {
    // "c:/MORVAN/MORVAN.INI" -> contents (files larger than 64 KiB: size and a digest);
    // "HKLM\SOFTWARE\Morvan\COMMON\VERSION" -> "<type>:<data>" (UTF-8), and
    // "<key>\" -> "<no key>" for a key that does not exist.
    std::map<std::string, std::string> items;
};

// `workRoot` is the work root's host folder (its VERUPDN, TEMP and INSTBACK folders and
// its MORVANUP.LCK files are left out).
MachineSnapshot TakeMachineSnapshot(const std::string& workRootHost,
                                    const std::vector<RegistryArea>& registry);

// The differences, one line each ("changed", "added", "missing"), empty when equal.
std::string DescribeDifferences(const MachineSnapshot& expected, const MachineSnapshot& actual);
