// Starting the analyser.
#include "tolvane/AnalyserRun.h"

#include <array>
#include <cstdint>

#include "fennoc/Fennoc.h"
#include "platform/CommandLine.h"
#include "platform/SystemServices.h"
#include "support/util/PathEdit.h"
#include "support/util/ProcRun.h"

std::string Analyser_CommandLine(std::string_view workCopy) {
    std::string line;
    // One byte more than Fennoc fills, so that the "\" always has room.
    std::array<char, kPdmIniPathSize + 1> folder{};
    if (PdmIni_GetKelprogsDir(folder.data()) == 0 && Path_AddBackslash(folder) == 0) {
        line = folder.data();
    }
    std::string shortPath;
    if (platform::GetShortPathNameA(workCopy, shortPath) != platform::kErrorSuccess) {
        shortPath.assign(workCopy);
    }
    line += "Stovik.EXE ";
    line += platform::QuoteArgument(shortPath);
    return line;
}

void Analyser_Run(std::string_view workCopy) {
    std::int32_t exitCode = 0;
    (void)Proc_Run(Analyser_CommandLine(workCopy), true, exitCode);
}
