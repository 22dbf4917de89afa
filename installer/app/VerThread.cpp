#include "installer/app/VerThread.h"

#include <algorithm>

#include "installer/app/InstallerView.h"
#include "installer/app/PauseGate.h"
#include "installer/engine/InstallerState.h"
#include "installer/engine/ScriptExecution.h"
#include "installer/env/ScriptTable.h"

TVerThread::~TVerThread() { Join(); }

void TVerThread::Start(InstallerView& view, InstallerState& state, PauseGate& gate, int jobNumber,
                       std::vector<bool> selectedRows, bool freshRevision, bool uninstallMode,
                       bool everyEntry) {
    Join();
    finished_ = false;
    thread_ = std::thread([this, &view, &state, &gate, jobNumber, rows = std::move(selectedRows),
                           freshRevision, uninstallMode, everyEntry] {
        Body(view, state, gate, jobNumber, rows, freshRevision, uninstallMode, everyEntry);
        finished_ = true;
    });
}

void TVerThread::Join() {
    if (thread_.joinable()) thread_.join();
}

std::vector<int> TVerThread::RunOrder(const ScriptTable& table,
                                      const std::vector<bool>& selectedRows, bool uninstallMode,
                                      bool everyEntry) {
    std::vector<int> order;
    std::size_t row = 0;
    for (int i = 1; i <= table.ScriptEntryCount(); ++i) {
        if (everyEntry) {
            order.push_back(i);
            continue;
        }
        if (table.Entry(i).CommandCount == 0) continue;
        const bool selected = row < selectedRows.size() && selectedRows[row];
        ++row;
        if (selected) order.push_back(i);
    }
    if (uninstallMode && !everyEntry) std::reverse(order.begin(), order.end());
    return order;
}

void TVerThread::Body(InstallerView& view, InstallerState& state, PauseGate& gate, int jobNumber,
                      const std::vector<bool>& selectedRows, bool freshRevision,
                      bool uninstallMode, bool everyEntry) {
    if (!uninstallMode) {
        view.PostInstLabel("インストール中");
    } else {
        view.PostProgressCaption("バージョンダウン中");
        view.PostInstLabel("アンインストール中");
    }
    state.job.ExecutedCommandCount = 0;
    for (int i : RunOrder(state.table, selectedRows, uninstallMode, everyEntry)) {
        // A stop being confirmed holds the worker here; once the job is aborted
        // (a failed command, a confirmed stop, the progress dialog closed) the
        // remaining entries are not started.
        if (!gate.Pass(state.job)) break;
        view.PostTitleLabel(state.table.Entry(i).Title);
        RunScript(state, i, freshRevision);
    }
    // Finished, unless aborted: an aborted job stays aborted.
    std::uint8_t jobState = state.job.JobState.load();
    while (jobState != kJobAborted &&
           !state.job.JobState.compare_exchange_weak(jobState, kJobFinished)) {
    }
    view.PostCloseProgressDialog(jobNumber);
}
