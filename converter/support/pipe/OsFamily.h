// Which family of Windows the converter runs on.
//
// The pipe layer reaches its pipes natively on the NT family and through the pipe
// emulator library on the other family. The answer comes from the system's version
// query each time it is asked (the prefix decides it; see platform/OsVersion.h).
#pragma once

// True when the version query succeeds with the 148-byte version structure and reports
// the NT platform (platform id 2). A failed query reads as "not NT", so the caller
// takes the emulator path, which reports its own failure.
[[nodiscard]] bool Os_IsNT();
