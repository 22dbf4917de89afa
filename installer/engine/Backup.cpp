#include "installer/engine/Backup.h"

void BackupBeforeInstall(const std::string& line, const std::string& destination) {
    (void)line;
    (void)destination;
}

void InsertUndoLine(const std::string& text) { (void)text; }

bool IsRecordedInUndoScript(const std::string& name) {
    (void)name;
    return false;
}

std::string UndoTargetName(const std::string& line) {
    (void)line;
    return "";
}
