// Finding an installed TrueType face by name, with a process-wide cache of the installed
// fonts so that one conversion enumerates them once.
//
// The cache is a RecList of 188-byte font descriptions (LogFontBytes.h), filled by the
// first lookup after it was created. The element walk creates it at its start and
// destroys it at its end. Not thread-safe (the converter has one thread).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/Fonts.h"
#include "support/util/LogFontBytes.h"

inline constexpr int kFontNotInstalled = -9320;
inline constexpr int kFontNullName = -9398;
inline constexpr int kFontEmptyName = -9399;
inline constexpr int kFontCacheDataStep = 18800;  // 100 descriptions

// Creates the empty cache (a record list with a data step of 18 800 bytes). A cache that
// already exists is kept as it is.
void FontCache_Create();
// Destroys the cache; lookups enumerate the installed fonts again until the next create.
void FontCache_Destroy();

// Looks up `faceName` (code page 932, compared byte for byte) among the installed fonts:
// the first description whose face name or full name equals it gives the result, a
// LOGFONTA with its character set set to 1 (the default set). The pitch-and-family byte
// (bit value 2 variable pitch, 1 fixed) tells a proportional face from a fixed one.
//  - With a cache that is empty, all installed fonts of every character set are
//    enumerated into it first, then it is searched; with a filled cache only the cache
//    is searched.
//  - Without a cache, the enumeration stops at the first match.
// 0 and `logFont`; -9398 when `faceName` is null (a default string_view), -9399 when it
// is empty, -9320 when no installed face matches (also when the fonts cannot be
// enumerated). `logFont` is untouched on an error.
int Font_Find(std::string_view faceName, std::span<std::uint8_t, kLogFontSize> logFont);
int Font_Find(std::string_view faceName, platform::LogFontA& logFont);

// How many times the installed fonts have been enumerated by Font_Find in this process.
int FontCache_EnumerationCount();
