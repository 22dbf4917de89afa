// The backup step of an uninstallable entry: the former files saved into the store
// and the undo lines inserted into the uninstall script (UndoScript.h), both on disk
// before the command changes anything.
//
// Order: the saved copies first (made durable with platform::FlushFileW when
// WriteAheadSync), then the command's undo lines in one write of the script. So the
// uninstall script always covers at least every change made, and an undo line
// recorded for a change that then never happened is harmless when it runs: it
// deletes a file that is not there, copies back a file that is still the same, or
// writes back the value the registry still holds.
//
// Undo lines carry file names in fields that end at a blank and pass through the
// executor's collapsing of blank runs. A staged name that its undo line could not
// carry exactly is refused before anything is saved, recorded or changed:
//   - a former file that is saved and copied back ("C rel D": C, D, A, P) must have
//     no blank in its name;
//   - a new file removed again ("D D rel": C, L) must have no run of two blanks and
//     must not end in a blank;
//   - an L command's former files travel in the saved archive: any name is kept.
// The refusal is the command's failure (-13 with the line).
//
// Former files and archives are kept in the medium's store folder, which every entry
// of the medium shares. A kept copy is never overwritten: when its name is taken (an
// earlier entry kept the same file, e.g. the package list), the copy gets "~nn" before
// its extension and the undo line names the file it goes back to:
// "C CONF~01.INI C:\APP\CONF.INI", "L APP~01.LZH C:\APP\". Undoing the entries latest
// first then brings back the state before the first of them.
//
// Within one entry the first command that touches a file keeps its oldest state: the
// uninstall run carries out the undo lines in order, so a later record of the same
// file would put a later state back over it. A file is the same file when an undo
// line already puts back that target (folder and name, without regard to case; see
// FilesNotCoveredInUndoScript): such a file is neither saved nor recorded again, while
// a file of the same name in another folder is. A command may thus record only some
// of its files (a wildcard matching covered and new ones). An archive extracted again
// into a folder its saved copy already goes back to ("L <archive> <folder>") is not
// recorded again; into another folder it is, with its own saved copy.
#pragma once

#include <string>

#include "installer/engine/InstallerState.h"

// Called after a command succeeded and before its staged tree, deletion or value
// reaches the machine. Returns true at once when UndoScriptPath is kNonBackup (and in
// uninstall mode). False when the command must not go on: `failedDetail` is then the
// path that could not be written (a saved copy, the archive, the uninstall script, the
// staging list) or the line itself (a name no undo line can carry, an archiver that
// failed). Nothing is shown here: the executor reports and aborts.
[[nodiscard]] bool BackupBeforeInstall(const InstallerState& state, const std::string& line,
                                       const std::string& destination, std::string& failedDetail);
// The file name a command line works on (wildcards kept, blanks removed).
std::string UndoTargetName(const std::string& line);
