// The drawing path on Stovik's command line.
//
// `commandLine` is the whole line as the starter wrote it (code page 932), the program
// name first. The path is:
//  - the one argument after the program name, split and unquoted by the Windows rules
//    (so "C:\MY DRAWINGS\PLAN 1.099" in quotes is one path);
//  - when the line holds several arguments and no quote after the program name: the
//    rest of the line after the program name, blanks inside kept and blanks and tabs at
//    its ends dropped. The converter writes the drawing's short path unquoted, and
//    where a folder has no 8.3 name the short path is the long one, blanks included.
// Returns false (path empty) when nothing follows the program name, or when several
// arguments follow with quotes among them: then the line is ambiguous and not guessed at.
// `arguments` gets the number of arguments after the program name by the Windows rules.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace stovik {

[[nodiscard]] bool DrawingPathOf(std::string_view commandLine, std::string& path,
                                 std::size_t& arguments);

}  // namespace stovik
