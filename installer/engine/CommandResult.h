// What a script command gives back to the executor.
#pragma once

#include <string>

struct CommandResult {
    // 0: copy the staged tree to `destination`; positive: done; negative: message code.
    int code = 0;
    std::string destination;  // the destination directory (ends in "\" where the command builds it so)
    // With a negative code: the message's detail when it is not the line itself (the
    // path of a file of ours that could not be written); "" means the line.
    std::string detail;
};
