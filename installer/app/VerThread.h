// TVerThread: the worker of one job. It runs the selected entries of the script table
// through the engine (in RunOrder) and reports to the progress dialog only through
// the view's Post* calls. The selection is a snapshot of the list's rows taken on the
// UI thread before the worker starts (row n belongs to the n-th entry that has
// commands). A roll-back runs every entry of its table (`everyEntry`) in table order,
// which its caller has filled in the order wanted: an uninstall script without
// commands must still be run to remove it and its marker.
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class InstallerView;
class PauseGate;
struct InstallerState;
class ScriptTable;

class TVerThread {
public:
    TVerThread() = default;
    ~TVerThread();  // joins
    TVerThread(const TVerThread&) = delete;
    TVerThread& operator=(const TVerThread&) = delete;

    // Starts the worker for job `jobNumber`. A previous worker must have been joined.
    // The worker runs on `state` and passes `gate` between entries; both must outlive it.
    void Start(InstallerView& view, InstallerState& state, PauseGate& gate, int jobNumber,
               std::vector<bool> selectedRows,
               bool freshRevision, bool uninstallMode, bool everyEntry = false);
    bool Running() const { return thread_.joinable(); }
    // True once the body has ended (the thread may still be unwinding).
    bool Finished() const { return finished_.load(); }
    void Join();

    // The entries (1-based indices of `table`) a job runs, in the order it runs
    // them. An install runs the selected entries in table order. An uninstall runs
    // them newest first (the last medium's last script first): each uninstall script
    // puts back the state its own install found, so where two entries changed the
    // same file or value, undoing them in install order would leave the first
    // entry's state in place instead of the state before the group.
    static std::vector<int> RunOrder(const ScriptTable& table,
                                     const std::vector<bool>& selectedRows, bool uninstallMode,
                                     bool everyEntry);

    // The body, run on the worker thread (public for the tests, which may run it inline).
    static void Body(InstallerView& view, InstallerState& state, PauseGate& gate, int jobNumber,
                     const std::vector<bool>& selectedRows,
                     bool freshRevision, bool uninstallMode, bool everyEntry = false);

private:
    std::thread thread_;
    std::atomic<bool> finished_{false};
};
