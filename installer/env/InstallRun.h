// The run: what one start of the installer works on beside its environment - the
// medium (or, in uninstall mode, the kept group), the control record last read and
// the installed version.
//
// Written by the program's start-up (command line), its dialogs, ReadControlFile /
// LoadInstalledVersion and the engine's HALTAPP step; read by the scan, the executor,
// the commands and the messages. The owner of the installer's state holds the one
// InstallRun of a run and hands it on by reference.
#pragma once

#include <string>

#include "installer/env/MediaRecord.h"

inline constexpr int kHaltAppNotRun = 100;
inline constexpr int kHaltAppHasRun = 101;

struct InstallRun {
    std::string InstallDiskPath;     // medium directory
    bool UninstallMode = false;      // true: uninstall / version-down run
    std::string UninstallGroupName;  // the kept group chosen for an uninstall run (<= 8 chars)
    int HaltAppState = kHaltAppNotRun;  // kHaltAppHasRun once HALTAPP has run
    // The control file last read (overwritten field by field by every read).
    VERUP_FILE_REC CurrentMedia;
    // The installed version, "0.00" when none is known.
    std::string InstalledVersion = "0.00";
};
