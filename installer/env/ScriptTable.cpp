#include "installer/env/ScriptTable.h"

ScriptEntry ScriptEntries[kMaxScriptEntries + 1];
int ScriptEntryCount = 0;
std::atomic<std::int32_t> TotalCommandCount{0};

void ResetScriptTable() {
    for (ScriptEntry& entry : ScriptEntries) entry = ScriptEntry{};
    ScriptEntryCount = 0;
    TotalCommandCount = 0;
}
