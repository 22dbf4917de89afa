#include "installer/engine/RegistryCommand.h"

bool ParseRegistryLine(const std::string& line, RegistryRequest& request) {
    (void)line;
    request = RegistryRequest{};
    return false;
}

std::string RegistryValuePath(const RegistryRequest& request) {
    (void)request;
    return "";
}

int RegistryCommand(const std::string& line) {
    (void)line;
    return -13;
}

void RegistryBackupAndWrite(const std::string& line) { (void)line; }
