// The drawing analyser Stovik, run on the job's working copy before the conversion.
//
// Analyser_CommandLine(workCopy): the folder of the product's shared programs
// (PdmIni_GetKelprogsDir) with a "\" added when it lacks one, then "Stovik.EXE", one
// blank and the short (8.3) form of `workCopy` (the path as given when it has none),
// quoted when it contains a blank. When the folder cannot be had, the line begins with
// "Stovik.EXE" and the program is searched as a bare name is.
//
// Analyser_Run(workCopy): starts that line (Proc_Run), waits for its end and uses
// neither its exit code nor a failure to start: the analyser only improves the copy.
#pragma once

#include <string>
#include <string_view>

[[nodiscard]] std::string Analyser_CommandLine(std::string_view workCopy);
void Analyser_Run(std::string_view workCopy);
