// The script table: one entry per install script found by the scan, shared by the
// scan (which fills it), the list rows of the main dialog and the executor.
//
// Entries are numbered from 1, as the callers count them: Entry(1) .. Entry(
// ScriptEntryCount()). The table holds at most kMaxScriptEntries entries; Add refuses
// more. TotalCommandCount is polled by the UI thread's timer while the worker runs,
// so it is atomic; the entries themselves are written only while no worker runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

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

class ScriptTable {
public:
    ScriptTable() = default;
    ScriptTable(const ScriptTable&) = delete;
    ScriptTable& operator=(const ScriptTable&) = delete;

    int ScriptEntryCount() const { return static_cast<int>(entries_.size()); }
    // True for 1 <= index <= ScriptEntryCount().
    bool HasEntry(int index) const { return index >= 1 && index <= ScriptEntryCount(); }
    // Entry `index` (1-based); only for an index HasEntry accepts.
    ScriptEntry& Entry(int index) { return entries_[static_cast<std::size_t>(index - 1)]; }
    const ScriptEntry& Entry(int index) const {
        return entries_[static_cast<std::size_t>(index - 1)];
    }
    // Appends `entry` as the next entry; false (nothing added) when the table is full.
    bool Add(const ScriptEntry& entry);
    // No entries, TotalCommandCount 0.
    void Clear();

    std::atomic<std::int32_t> TotalCommandCount{0};

private:
    std::vector<ScriptEntry> entries_;
};
