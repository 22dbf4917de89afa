// The control record of a medium: the fields of its control file ("\MorvanUP.INF")
// as ReadControlFile leaves them, and as the store and the job record keep them.
#pragma once

#include <string>

struct VERUP_FILE_REC {
    std::string Title;
    std::string Version;          // "0.00" for a revision-only medium
    std::string VersionText;
    std::string RevisionId;       // 8 characters
    std::string RevisionName;     // "Revision" or RevisionId
    std::string RequiredVersion;  // "0.00" = no condition
    std::string MediaCount;       // two digits
    std::string MediaNo;          // two digits
    std::string DownVersion;
};
