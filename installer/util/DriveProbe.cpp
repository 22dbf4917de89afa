#include "installer/util/DriveProbe.h"

#include <string>

#include "platform/Files.h"

std::uint32_t ProbeDrive(char letter) {
    // Opening (and if need be creating) a file in the root makes the drive show its
    // state: a missing disk, a write-protected one, or a medium that fails. The host
    // raises no critical-error boxes, so there is no error mode to switch.
    const std::string path = std::string(1, letter) + ":\\TEMP.LOG";
    // A TEMP.LOG that is there already belongs to someone else: the probe only
    // removes the file it created itself.
    const bool existedBefore = platform::FileExists(path);
    const platform::WinError error = platform::OpenOrCreateProbe(path);
    // The probe's own file: the drive's state is the result, not its removal.
    if (!existedBefore && error == 0) (void)platform::DeleteFileW(path);
    switch (error) {
        case platform::kErrorWriteProtect:
        case platform::kErrorNotReady:
        case platform::kErrorGenFailure:
            return error;
        default:
            return 0;
    }
}

bool IsDriveAvailable(char letter) { return ProbeDrive(letter) != platform::kErrorNotReady; }
