#include "installer/env/ScriptTable.h"

bool ScriptTable::Add(const ScriptEntry& entry) {
    if (ScriptEntryCount() >= kMaxScriptEntries) return false;
    entries_.push_back(entry);
    return true;
}

void ScriptTable::Clear() {
    entries_.clear();
    TotalCommandCount.store(0);
}
