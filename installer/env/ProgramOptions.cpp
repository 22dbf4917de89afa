#include "installer/env/ProgramOptions.h"

#include "installer/env/StringRoutines.h"
#include "platform/Cp932.h"
#include "platform/Prefix.h"

ProgramOptions ParseProgramOptions(const std::vector<std::string>& parameters) {
    ProgramOptions options;
    char option = '\0';  // the letter of the last option, until the next one
    for (const std::string& raw : parameters) {
        const std::string parameter = platform::UpperCase(raw);
        if (!parameter.empty() && parameter[0] == '/') {
            option = parameter.size() > 1 ? parameter[1] : '\0';
            if (option == 'D') {
                options.mediumDir = parameter.substr(2);
                if (options.mediumDir.empty()) options.mediumDir = platform::GetCurrentDirectoryW();
                options.hasMediumOption = true;
            } else if (option == 'I') {
                options.uninstall = false;
            } else if (option == 'U') {
                options.uninstall = true;
            }
        } else if (option == 'D') {
            options.mediumDir += " " + parameter;
        }
    }
    if (options.hasMediumOption) RemoveTrailingBackslash(options.mediumDir);
    return options;
}
