#include "installer/engine/RegistryCommand.h"

#include <vector>

#include "installer/engine/UndoScript.h"
#include "installer/engine/LineFiles.h"
#include "installer/env/InstallEnvironment.h"
#include "installer/env/Messages.h"
#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/Files.h"
#include "platform/Registry.h"


namespace {

const char kLocalMachine[] = "HKEY_LOCAL_MACHINE";
const char kCurrentUser[] = "HKEY_CURRENT_USER";

// Splits an R line into its value path and value text. Blanks and double quotes are
// never trail bytes in code page 932, so plain byte searches are exact here.
bool SplitRegistryLine(const std::string& line, std::string& path, std::string& value,
                       bool& deleteValue) {
    std::size_t pos = 1;
    while (pos < line.size() && line[pos] == ' ') ++pos;
    if (pos < line.size() && line[pos] == '"') {
        std::size_t end = line.find('"', pos + 1);
        if (end == std::string::npos) return false;
        path = line.substr(pos + 1, end - pos - 1);
        pos = end + 1;
    } else {
        // An unquoted path must be followed by a blank; a path alone is quoted.
        std::size_t end = line.find(' ', pos);
        if (end == std::string::npos) return false;
        path = line.substr(pos, end - pos);
        pos = end;
    }
    while (pos < line.size() && line[pos] == ' ') ++pos;
    deleteValue = pos >= line.size();
    value.clear();
    if (deleteValue) return true;
    if (line[pos] == '"') {
        std::size_t end = line.find('"', pos + 1);
        value = end == std::string::npos ? line.substr(pos + 1) : line.substr(pos + 1, end - pos - 1);
    } else {
        value = line.substr(pos);
    }
    return true;
}

void ParseValuePath(const std::string& path, RegistryRequest& request) {
    const std::string lm = std::string(kLocalMachine) + "\\";
    const std::string cu = std::string(kCurrentUser) + "\\";
    if (path.compare(0, lm.size(), lm) == 0) {
        request.root = RegistryRoot::LocalMachine;
        request.key = path.substr(lm.size() - 1);
    } else if (path.compare(0, cu.size(), cu) == 0) {
        request.root = RegistryRoot::CurrentUser;
        request.key = path.substr(cu.size() - 1);
    } else {
        return;
    }
    std::string& key = request.key;
    std::size_t cut = platform::FindLastCharDbcs(key, '\\');
    request.valueName = key.substr(cut + 1);
    if (!request.valueName.empty() && request.valueName.size() < key.size()) key.erase(cut);
    // What remains is normally "\" key1 "\" key2: the last level goes back onto the
    // key. With a single level nothing is left of the key and the line is invalid.
    cut = platform::FindLastCharDbcs(key, '\\');
    request.section = cut == std::string::npos ? std::string() : key.substr(cut + 1);
    if (!request.section.empty() && request.section.size() < key.size()) {
        key.erase(cut);
        if (key.size() > 1) {
            key += "\\" + request.section;
            request.section.clear();
        }
    }
}

platform::RegRoot HostRoot(RegistryRoot root) {
    return root == RegistryRoot::LocalMachine ? platform::RegRoot::LocalMachine
                                              : platform::RegRoot::CurrentUser;
}

// Opens the key that holds the value: the key itself, or its subkey `section`
// (created only when `forWriting`). 0, or the registry's code (2: no such key).
platform::WinError OpenValueKey(const RegistryRequest& request, bool forWriting, platform::RegKey& key) {
    platform::RegKey base;
    const platform::WinError error = platform::RegOpenKey(HostRoot(request.root), request.key,
                                                          platform::RegAccess::ReadWrite, base);
    if (error != 0) return error;
    if (request.section.empty()) {
        key = base;
        return 0;
    }
    if (forWriting) return platform::RegCreateSubKey(base, request.section, key);
    return platform::RegOpenKey(HostRoot(request.root), request.key + "\\" + request.section,
                                platform::RegAccess::ReadWrite, key);
}

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

// How an undo line carries `value` back, or "" when no line can (see the header).
bool UndoValueText(const std::string& value, std::string& text) {
    if (value.find_first_of(std::string("\r\n%\0", 4)) != std::string::npos) return false;
    if (value.find('"') == std::string::npos) {
        text = "\"" + value + "\"";
        return true;
    }
    if (value[0] == '"' || value[0] == ' ') return false;
    text = value;
    return true;
}

enum class OldValue { Missing, Restorable, Unrestorable };

// Reads the value's old state; `storedName` is its name as the registry keeps it.
OldValue ReadOldValue(const RegistryRequest& request, std::string& undoText, std::string& storedName) {
    platform::RegKey key;
    if (OpenValueKey(request, false, key) != 0 || !platform::RegValueExists(key, request.valueName)) {
        return OldValue::Missing;
    }
    storedName = request.valueName;
    std::vector<platform::RegValueInfo> values;
    // Without a listing the name as the script wrote it is kept.
    (void)platform::RegEnumValues(key, values);
    for (const auto& stored : values) {
        if (platform::EqualsNoCase(stored.name, request.valueName)) storedName = stored.name;
    }
    platform::RegValueInfo info;
    if (platform::RegQueryValue(key, request.valueName, info) != 0 ||
        info.type != platform::RegType::Sz || !UndoValueText(info.data, undoText)) {
        return OldValue::Unrestorable;
    }
    return OldValue::Restorable;
}

// True when the uninstall script already holds an R line for the same value: the
// first change keeps the oldest state, which the rollback must end with.
bool ValueRecorded(const RunningEntry& entry, const std::string& valuePath) {
    std::vector<std::string> lines;
    if (entry.UndoScriptPath == kNonBackup || !ReadLineFile(entry.UndoScriptPath, lines)) {
        return false;
    }
    for (const std::string& line : lines) {
        RegistryRequest recorded;
        if (!line.empty() && line[0] == 'R' && ParseRegistryLine(line, recorded) &&
            platform::EqualsNoCase(RegistryValuePath(recorded), valuePath)) {
            return true;
        }
    }
    return false;
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
    ParseValuePath(path, written);
    std::string writtenPath = RegistryValuePath(written);
    std::string linePath = RegistryValuePath(request);
    CollapseBlanks(writtenPath);
    CollapseBlanks(linePath);
    if (written.root == RegistryRoot::None || written.valueName.empty() ||
        !platform::EqualsNoCase(writtenPath, linePath)) {
        return;
    }
    request.valueName = written.valueName;
    request.valueText = value;
}

}  // namespace

bool ParseRegistryLine(const std::string& line, RegistryRequest& request) {
    request = RegistryRequest{};
    std::string path;
    if (line.empty() || !SplitRegistryLine(line, path, request.valueText, request.deleteValue)) {
        return false;
    }
    ParseValuePath(path, request);
    return request.root != RegistryRoot::None && !request.key.empty() &&
           (!request.valueName.empty() || request.deleteValue);
}

std::string RegistryValuePath(const RegistryRequest& request) {
    std::string path;
    if (request.root == RegistryRoot::LocalMachine) path = kLocalMachine;
    if (request.root == RegistryRoot::CurrentUser) path = kCurrentUser;
    path += request.key;
    if (!request.section.empty()) path += "\\" + request.section;
    if (!request.valueName.empty()) path += "\\" + request.valueName;
    return path;
}

int RegistryCommand(const InstallerState& state, const std::string& line) {
    RegistryRequest request;
    if (KeepsUndoScript(state)) {
        // Only an old value that no undo line could restore stops the line here,
        // before anything has changed.
        std::string undoText, storedName;
        if (ParseRegistryLine(line, request) &&
            !ValueRecorded(state.entry, RegistryValuePath(request)) &&
            ReadOldValue(request, undoText, storedName) == OldValue::Unrestorable) {
            return kCodeBrokenContent;
        }
        return 1;
    }
    if (!ParseRegistryLine(line, request)) return kCodeBrokenContent;
    platform::RegKey key;
    if (platform::RegOpenKey(HostRoot(request.root), request.key, platform::RegAccess::ReadWrite,
                             key) != 0) {
        return kCodeBrokenContent;
    }
    return 1;
}

bool RegistryBackup(const InstallerState& state, const std::string& line,
                    std::string& failedDetail) {
    if (!KeepsUndoScript(state)) return true;
    RegistryRequest request;
    if (!ParseRegistryLine(line, request)) return true;
    platform::RegKey key;
    if (platform::RegOpenKey(HostRoot(request.root), request.key, platform::RegAccess::ReadWrite,
                             key) != 0) {
        return true;
    }
    const std::string valuePath = RegistryValuePath(request);
    if (ValueRecorded(state.entry, valuePath)) return true;
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

int ApplyRegistryLine(const InstallerState& state, const std::string& line,
                      const std::string& lineAsWritten) {
    RegistryRequest request;
    // In a section that keeps an uninstall script an invalid line, or one whose key
    // does not exist, is skipped without a trace (nothing was recorded for it).
    const int skipped = KeepsUndoScript(state) ? 1 : kCodeBrokenContent;
    if (!ParseRegistryLine(line, request)) return skipped;
    platform::RegKey key;
    const platform::WinError error = platform::RegOpenKey(HostRoot(request.root), request.key,
                                                          platform::RegAccess::ReadWrite, key);
    if (error == platform::kErrorFileNotFound) return skipped;
    if (error != 0) return kCodeBrokenContent;
    if (state.run.UninstallMode) TakeValueAsWritten(request, lineAsWritten);
    return Apply(request) ? 1 : kCodeBrokenContent;
}
