// Windows error codes as the platform layer reports them.
//
// Every platform operation that can fail returns one of these values (0 = success),
// so callers can branch on the same numbers a Windows program would see.
#pragma once

#include <cstdint>

namespace platform {

using WinError = std::uint32_t;

inline constexpr WinError kErrorSuccess = 0;
inline constexpr WinError kErrorFileNotFound = 2;
inline constexpr WinError kErrorPathNotFound = 3;  // also: no such drive
inline constexpr WinError kErrorAccessDenied = 5;  // also: not executable
inline constexpr WinError kErrorInvalidHandle = 6;
inline constexpr WinError kErrorInvalidData = 13;
inline constexpr WinError kErrorNotSameDevice = 17;  // a move across file systems of a directory
inline constexpr WinError kErrorNoMoreFiles = 18;
inline constexpr WinError kErrorWriteProtect = 19;
inline constexpr WinError kErrorNotReady = 21;  // drive entry whose medium is missing
inline constexpr WinError kErrorGenFailure = 31;
inline constexpr WinError kErrorSharingViolation = 32;
inline constexpr WinError kErrorFileExists = 80;
inline constexpr WinError kErrorInvalidParameter = 87;
inline constexpr WinError kErrorBrokenPipe = 109;  // the other end of a pipe closed
inline constexpr WinError kErrorDiskFull = 112;
inline constexpr WinError kErrorSemTimeout = 121;   // a wait with a time limit ran out
inline constexpr WinError kErrorModNotFound = 126;  // LoadLibrary: no such library, or not loadable
inline constexpr WinError kErrorProcNotFound = 127;  // GetProcAddress: no such export
inline constexpr WinError kErrorInsufficientBuffer = 122;
inline constexpr WinError kErrorInvalidName =
    123;  // bad code page 932, bad drive letter, name the host cannot hold
inline constexpr WinError kErrorDirNotEmpty = 145;
inline constexpr WinError kErrorBadPathname = 161;
inline constexpr WinError kErrorAlreadyExists = 183;
inline constexpr WinError kErrorBadExeFormat = 193;
inline constexpr WinError kErrorFilenameTooLong = 206;
inline constexpr WinError kErrorPipeBusy = 231;  // all instances of a pipe are in use
inline constexpr WinError kErrorNoData = 232;    // the pipe is being closed
inline constexpr WinError kErrorPipeNotConnected = 233;
inline constexpr WinError kErrorMoreData =
    234;  // a message longer than the buffer; the rest follows
inline constexpr WinError kErrorDirectory = 267;  // not a directory (RemoveDirectoryW of a file)
inline constexpr WinError kErrorOperationAborted =
    995;  // a wait ended by Close from another thread
inline constexpr WinError kErrorDatatypeMismatch = 1629;  // registry value is not a string
inline constexpr WinError kErrorBadRegistryFile = 1009;   // a hive or .reg file that does not parse

inline constexpr std::uint32_t kStillActive = 259;

}  // namespace platform
