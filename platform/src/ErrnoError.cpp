// errno to Windows error codes. Kept in one place so that a file, a hive, a copy and a
// replaced file all report the same failure with the same number.
#include "ErrnoError.h"

#include <cerrno>

namespace platform::detail {

WinError ErrnoToWinError(int err) {
    switch (err) {
        case 0:
            return kErrorSuccess;
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
            return kErrorPathNotFound;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EBUSY:
        case ETXTBSY:
            return kErrorAccessDenied;
        case EROFS:
            return kErrorWriteProtect;
        case EEXIST:
            return kErrorAlreadyExists;
        case ENOTEMPTY:
            return kErrorDirNotEmpty;
        case ENAMETOOLONG:
            return kErrorFilenameTooLong;
        case EILSEQ:
        case EINVAL:
            return kErrorInvalidName;
        case ENOMEDIUM:
        case ENXIO:
        case ENODEV:
            return kErrorNotReady;
        // A full disk or an exhausted quota is what Windows reports as a full disk; a
        // general failure would hide why a write stopped.
        case ENOSPC:
        case EDQUOT:
            return kErrorDiskFull;
        default:
            return kErrorGenFailure;
    }
}

}  // namespace platform::detail
