#include "installer/engine/RegistryCommand.h"

#include "installer/engine/RegistryLine.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/Registry.h"


namespace {

// Writes or deletes the value. A value already absent is deleted: nothing to do.
bool Apply(const RegistryRequest& request) {
    platform::RegKey key;
    if (request.deleteValue) {
        // No section key: no value in it either.
        platform::WinError error = OpenValueKey(request, false, key);
        if (error == 0) error = platform::RegDeleteValue(key, request.valueName);
        return error == 0 || error == platform::kErrorFileNotFound;
    }
    return OpenValueKey(request, true, key) == 0 &&
           platform::RegSetString(key, request.valueName, request.valueText) == 0;
}

bool KeepsUndoScript(const InstallerState& state) {
    return !state.run.UninstallMode && state.entry.UndoScriptPath != kNonBackup;
}

// The value name and text of the line as the script holds it, when it names the same
// value: the restored value gets back its name's case, its case and its blanks.
void TakeValueAsWritten(RegistryRequest& request, const std::string& lineAsWritten) {
    if (lineAsWritten.empty() || request.deleteValue) return;
    std::string path, value;
    bool deleteValue = false;
    if (!SplitRegistryLine(lineAsWritten, path, value, deleteValue) || deleteValue) return;
    RegistryRequest written;
    ParseRegistryValuePath(path, written);
    std::string writtenPath = RegistryValuePath(written);
    std::string linePath = RegistryValuePath(request);
    CollapseBlanks(writtenPath);
    CollapseBlanks(linePath);
    if (!written.root || written.valueName.empty() ||
        !platform::EqualsNoCase(writtenPath, linePath)) {
        return;
    }
    request.valueName = written.valueName;
    request.valueText = value;
}

}  // namespace

int RegistryCommand(const InstallerState& state, const std::string& line) {
    RegistryRequest request;
    if (KeepsUndoScript(state)) {
        // Only an old value that no undo line could restore stops the line here,
        // before anything has changed.
        std::string undoText, storedName;
        if (ParseRegistryLine(line, request) &&
            !IsValueRecorded(state.entry.UndoScriptPath, RegistryValuePath(request)) &&
            ReadOldValue(request, undoText, storedName) == OldValue::Unrestorable) {
            return kCodeBrokenContent;
        }
        return 1;
    }
    if (!ParseRegistryLine(line, request)) return kCodeBrokenContent;
    platform::RegKey key;
    if (OpenRequestKey(request, key) != 0) return kCodeBrokenContent;
    return 1;
}

int ApplyRegistryLine(const InstallerState& state, const std::string& line,
                      const std::string& lineAsWritten) {
    RegistryRequest request;
    // In a section that keeps an uninstall script an invalid line, or one whose key
    // does not exist, is skipped without a trace (nothing was recorded for it).
    const int skipped = KeepsUndoScript(state) ? 1 : kCodeBrokenContent;
    if (!ParseRegistryLine(line, request)) return skipped;
    platform::RegKey key;
    const platform::WinError error = OpenRequestKey(request, key);
    if (error == platform::kErrorFileNotFound) return skipped;
    if (error != 0) return kCodeBrokenContent;
    if (state.run.UninstallMode) TakeValueAsWritten(request, lineAsWritten);
    return Apply(request) ? 1 : kCodeBrokenContent;
}
