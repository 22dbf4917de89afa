// The fields of a command line that names a source and the folder it works on ("L"
// archive lines and "A" / "P" list-file lines).
#pragma once

#include <string>

#include "installer/engine/CommandResult.h"

// Splits `line` (upper-cased, blanks collapsed) into the source, the text between the
// first and second blank, and the folder, everything after the second blank, which
// gets a trailing "\"; `result.destination` is that folder. False, with `result.code`
// -13, when the line lacks either field or the folder is not a full path ("C:\..." or
// "\\server\..."): a folder not given in full would be taken against whatever the
// current directory is, and the lines that undo the command would be refused.
bool SplitSourceAndFolder(const std::string& line, std::string& source, std::string& folder,
                          CommandResult& result);
