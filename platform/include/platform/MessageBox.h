// Message boxes of a program without windows.
//
// The converter and the stand-ins have no dialog toolkit: a message box is written to
// standard error as one line "<caption>: <text>" (converted to UTF-8), and appended
// with the time and the program's name to the log "$MORVAN_PREFIX/messages.log"
// (UTF-8), so that a message shown while nobody watched the terminal is not lost.
// The box is answered at once with its default button.
#pragma once

#include <cstdint>
#include <string_view>

namespace platform {

inline constexpr std::uint32_t kMbOk = 0x0;
inline constexpr std::uint32_t kMbIconError = 0x10;
inline constexpr std::uint32_t kMbIconWarning = 0x30;
inline constexpr std::uint32_t kMbIconInformation = 0x40;
inline constexpr int kIdOk = 1;

// `text` and `caption` are code page 932. Returns the button taken: the default button
// of the button set in `type` (kIdOk for kMbOk; e.g. IDNO = 7 for MB_YESNO|MB_DEFBUTTON2).
int MessageBoxA(std::string_view text, std::string_view caption, std::uint32_t type);

}  // namespace platform
