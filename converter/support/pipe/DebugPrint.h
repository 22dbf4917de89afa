// The converter's log lines: each line goes to the debug monitor through the pipe
// "\PIPE\DBGPRT\PDMMON", or is dropped when no monitor listens.
//
// A line is formatted printf-style into a line buffer of 256 bytes. A line of 256
// bytes or more is cut to at most 255 bytes, never inside a double-byte character.
// Every line is its own connection: open the monitor pipe (waiting while every
// instance is busy), write the text and its terminating NUL as one message, close.
// Lines carry their own "\n"; an empty line is sent as the single NUL byte.
#pragma once

#include <cstddef>
#include <string_view>

inline constexpr std::string_view kMonitorPipeName = "\\PIPE\\DBGPRT\\PDMMON";
inline constexpr std::size_t kDbgLineBuffer = 256;

// The number of bytes of text written (without the NUL), or -1 when the monitor pipe
// could not be opened or the write failed (the line is lost; nothing is shown), or when
// the format itself fails (nothing is sent).
int DbgPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
