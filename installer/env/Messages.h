// The installer's message texts: result codes turned into boxes, and the prompts and
// notices at the end of a job. Texts are code page 932, byte for byte.
#pragma once

#include <string>

#include "installer/env/InstallRun.h"

// Result codes with a message.
inline constexpr int kCodeNotReady = -1;
inline constexpr int kCodeDirMissing = -3;
inline constexpr int kCodeNoControlFile = -4;
inline constexpr int kCodeBadControlFile = -5;
inline constexpr int kCodeNothingToInstallSelected = -7;
inline constexpr int kCodeWildcardArchive = -8;
inline constexpr int kCodeNothingToUninstall = -9;
inline constexpr int kCodeNothingToUninstallSelected = -10;
inline constexpr int kCodeNeedsNewerVersion = -11;
inline constexpr int kCodeOlderThanInstalled = -12;
inline constexpr int kCodeBrokenContent = -13;
inline constexpr int kCodeUnsupported = -14;
inline constexpr int kCodeRegistryUnreadable = -15;
inline constexpr int kCodeNotInstallable = -16;
inline constexpr int kCodeWrongMedium = 1;
inline constexpr int kCodeAlreadyInstalled = 4;
inline constexpr int kCodeUninstallNewestFirst = 10;

// The text of a code ("" for a code without text); -1, -3, -4, -11, -12 and 1 name
// facts of `run` (InstallDiskPath, CurrentMedia, InstalledVersion) as they are now.
std::string CodeMessageText(int code, const std::string& detail, const InstallRun& run);

// Shows the text of `code`: nothing and 0 for a code without text; otherwise a beep,
// then an error box ("エラー", OK) returning 5 for a negative code, or a warning box
// ("警告", Abort/Retry/Ignore) returning the button (3, 4, 5) for a positive code.
int ShowCodeMessage(int code, const std::string& detail, const InstallRun& run);
// The same for a code whose text names nothing of the run (-8, -13, -15, ...): places
// that have no run at hand, such as the reading of the settings.
int ShowCodeMessage(int code, const std::string& detail);

// A work directory that cannot be created: a beep and an error box naming it, in the
// style of the registry message ("...\rerror in \"<dir>\""). Returns 5 like every
// error box.
int ShowDirectoryCreateFailure(const std::string& dir);

// OK/Cancel prompts: IDOK or IDCANCEL.
int AskNextMedium(int n, int m);
int AskStop();
// Notices with OK only.
void NotifyInstallDone();
void NotifyUninstallDone();
void NotifyNothingToUninstall();  // preceded by a beep

// An interrupted job found at start ("確認", OK/Cancel, warning icon; OK first, so
// Enter answers it): IDOK or IDCANCEL. `title` is the medium's title.
int AskRollBackInterruptedInstall(const std::string& title);
int AskFinishInterruptedUninstall(const std::string& title);
// The end of a roll-back: done ("終了", OK), or failed ("エラー", a beep first, OK).
void NotifyRollBackDone();
void NotifyRollBackFailed();
