// The options of the installer's command line, shared by MorvanUP and the check tool.
//
//   /D<dir>   the medium directory ("/D" alone: the current directory); parameters
//             without "/" that follow it are appended with one blank (a path with
//             blanks that the shell split); one trailing "\" is removed
//   /I /U     install (default) / uninstall; the last one given counts
//   /<other>  ignored; a parameter without "/" anywhere else is ignored
// Every parameter is upper-cased first.
#pragma once

#include <string>
#include <vector>

struct ProgramOptions {
    bool hasMediumOption = false;  // a /D option was given
    std::string mediumDir;
    bool uninstall = false;
};

ProgramOptions ParseProgramOptions(const std::vector<std::string>& parameters);
