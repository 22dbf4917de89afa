// Tolvane's command line:
//
//   Tolvane.EXE drawing newPdb kind [conditionFile | /D0 | /D1] [/D1]
//
//   1 drawing        the drawing to convert (a path, see JobPaths.h)
//   2 newPdb         the PDB to make
//   3 kind           the source data kind, read as "%d" reads it (0 when no number)
//   4 (optional)     "/D1" or "/D0" (any case) sets the dash-expansion switch to 1 or 0;
//                    anything else is the condition file's path
//   5 (optional)     "/D1" (any case) sets the switch to 1; anything else is ignored
//   further arguments are ignored. The switch starts at 0.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "tolvane/JobPaths.h"

struct CommandLine {
    std::string drawing;  // Windows path
    std::string newPdb;   // Windows path
    int sourceKind = 0;
    std::string conditionFile;  // Windows path; empty when none was given
    int dashExpansion = 0;      // 0 or 1
};

inline constexpr int kCommandLineOk = 0;
// Fewer than three arguments after the program's name (the job's exit code 1).
inline constexpr int kCommandLineTooFew = 1;

// Reads `args` (the program's name first) into `out`. kCommandLineOk, or
// kCommandLineTooFew (`out` untouched).
[[nodiscard]] int CommandLine_Read(std::span<const ProgramArgument> args, CommandLine& out);

// A decimal number as sscanf "%d" reads it: leading blanks (space, tab, CR, LF, VT, FF),
// an optional sign, digits; whatever follows is ignored. 0 when no digit comes; a value
// beyond the range of int is held at INT_MIN or INT_MAX.
[[nodiscard]] int ReadDecimal(std::string_view text);
