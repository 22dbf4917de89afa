// The script table: one entry per install script found by the scan, shared by the
// scan (which fills it), the list rows of the main dialog and the executor.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

struct ScriptEntry {
    std::string ScriptNo;          // "nn" of INSTnn.DAT
    std::string MediaNo;           // uninstall mode: "mm" of the media directory
    std::string Title;             // cut to 40 bytes
    std::uint16_t CommandCount = 0;
    std::int16_t Status = 0;       // kScriptPlain, kScriptUninstallable, kScriptInstalled
};

inline constexpr std::int16_t kScriptPlain = 0;
inline constexpr std::int16_t kScriptUninstallable = 1;
inline constexpr std::int16_t kScriptInstalled = 2;

inline constexpr int kMaxScriptEntries = 99;

// Entries 1..kMaxScriptEntries (index 0 unused, as the entries are numbered from 1).
extern ScriptEntry ScriptEntries[kMaxScriptEntries + 1];
extern int ScriptEntryCount;
// Polled by the UI thread's timer while the worker runs.
extern std::atomic<std::int32_t> TotalCommandCount;

void ResetScriptTable();
