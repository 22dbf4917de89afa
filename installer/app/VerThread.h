// TVerThread: the worker of one job. It runs the selected entries of the script table
// through the engine, in table order, and reports to the progress dialog only through
// the view's Post* calls. The selection is a snapshot of the list's rows taken on the
// UI thread before the worker starts (row n belongs to the n-th entry that has
// commands).
#pragma once

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class InstallerView;

class TVerThread {
public:
    TVerThread() = default;
    ~TVerThread();  // joins
    TVerThread(const TVerThread&) = delete;
    TVerThread& operator=(const TVerThread&) = delete;

    // Starts the worker for job `jobNumber`. A previous worker must have been joined.
    void Start(InstallerView& view, int jobNumber, std::vector<bool> selectedRows,
               bool freshRevision, bool uninstallMode);
    bool Running() const { return thread_.joinable(); }
    // True once the body has ended (the thread may still be unwinding).
    bool Finished() const { return finished_.load(); }
    void Join();

    // The body, run on the worker thread (public for the tests, which may run it inline).
    static void Body(InstallerView& view, int jobNumber, const std::vector<bool>& selectedRows,
                     bool freshRevision, bool uninstallMode);

private:
    std::thread thread_;
    std::atomic<bool> finished_{false};
};
