#include "installer/engine/RegistryBackup.h"

#include "installer/engine/RegistryLine.h"
#include "installer/engine/UndoScript.h"

bool RegistryBackup(const InstallerState& state, const std::string& line,
                    std::string& failedDetail) {
    if (state.run.UninstallMode || state.entry.UndoScriptPath == kNonBackup) return true;
    RegistryRequest request;
    if (!ParseRegistryLine(line, request)) return true;
    platform::RegKey key;
    if (OpenRequestKey(request, key) != 0) return true;
    const std::string valuePath = RegistryValuePath(request);
    if (IsValueRecorded(state.entry.UndoScriptPath, valuePath)) return true;
    std::string undoText, storedName, undo;
    switch (ReadOldValue(request, undoText, storedName)) {
        case OldValue::Restorable: {
            RegistryRequest stored = request;
            stored.valueName = storedName;
            undo = "R \"" + RegistryValuePath(stored) + "\" " + undoText;
            break;
        }
        case OldValue::Missing:
            // Deleting a value that is not there needs no undo.
            if (request.deleteValue) return true;
            undo = "R \"" + valuePath + "\"";
            break;
        case OldValue::Unrestorable:
            // RegistryCommand refused such a value; one that has become so since must
            // not be overwritten either.
            failedDetail = line;
            return false;
    }
    if (InsertUndoLine(state.env, state.entry, undo)) return true;
    failedDetail = state.entry.UndoScriptPath;
    return false;
}
