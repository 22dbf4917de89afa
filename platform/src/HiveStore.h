// The hive files of the prefix, and the parsed copy of each kept in memory.
//
// HKEY_LOCAL_MACHINE is $MORVAN_PREFIX/system.reg, HKEY_CURRENT_USER user.reg, each a
// ".reg" text (RegistryText.h). A save replaces the whole file (AtomicWrite.h), so a
// reader sees the old hive or the new one, never a mix, and a crash leaves one of them.
//
// Changes are serialised by flock() on a separate "<hive>.lock" file, because the hive
// itself is replaced by every save and a lock on it would be lost with the old inode:
// two processes that change the same hive at once lose nothing. Each change re-reads the
// hive under the lock before applying itself. Every save also adds one to the save
// counter in the lock file's first 8 bytes (little-endian), which programs of earlier
// builds sharing the prefix check their parsed copies against.
//
// Reads take no lock (a whole file is always there to read) and are answered from the
// parsed copy of the hive while it is known to be the file's contents: an inotify watch
// on the hive and on the prefix folder queues an event before any call that changes the
// file returns, whichever process makes it (a save renaming a new hive into place, a
// person's edit in place, a removal), and the queue is read before every operation. An
// event means the file is read again; the copy is parsed again only when the bytes
// differ. Where no watch can be kept (no inotify descriptor, a prefix on a network file
// system, a hive that is a symbolic link) every operation reads the file and compares
// it with the copy. So a read always sees the latest saved state, also of a change
// made by another process or by hand that keeps the file's size and times.
//
// Not part of the platform's public interface.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "RegistryText.h"
#include "RegistryTree.h"
#include "platform/Registry.h"
#include "platform/WinError.h"

namespace platform::hive {

// Runs `fn` on the latest saved tree of the hive of `root` (an empty tree when there is
// no hive file yet). A hive that does not parse gives 1009 with LastErrorText() set.
[[nodiscard]] WinError ReadHive(RegRoot root, const std::function<WinError(Key&)>& fn);

// Runs `fn` on the latest tree under the hive's exclusive lock and saves the tree when
// `fn` succeeds and sets its `changed` flag. The prefix folder is created when missing.
// A hive that does not parse is never overwritten.
[[nodiscard]] WinError ChangeHive(RegRoot root, const std::function<WinError(Key&, bool&)>& fn);

// Applies the operations of an imported file to both hives: each hive touched is locked
// (always in the same order) and loaded before anything is saved, so a broken hive
// stops the import before any change.
[[nodiscard]] WinError ApplyToHives(const std::vector<Op>& ops);

// Reads a whole host file. With `missingIsEmpty` a missing file reads as "". A failed
// read is an error, never a shorter text.
[[nodiscard]] WinError ReadHostFile(const std::string& path, std::string& contents,
                                    bool missingIsEmpty);

// The text of this thread's last failure to parse a hive or an imported file, UTF-8.
[[nodiscard]] std::string& LastErrorText();

}  // namespace platform::hive
