// The installed fonts, enumerated as GDI enumerates font families
// (EnumFontFamiliesExA with the extended description), answered from fontconfig.
//
// Every installed scalable face is listed once per family name that fontconfig knows
// for it, in every language (so IPA Gothic is listed as "IPAGothic" and as
// "IPAゴシック"), with its full name, style and script. A face with Japanese glyphs
// is listed a second time with "@" in front of the face and full names (its
// vertical-writing form), as Windows lists Japanese faces. Names are code page 932,
// cut into their fields (face 32 bytes, full name 64, style and script 32, each with
// its NUL) on a character boundary; a name that code page 932 cannot hold is left out.
//
// Pitch and family byte: bits 0-1 the pitch (1 fixed, 2 variable), bits 4-7 the
// family (0x10 roman for serif faces, 0x20 swiss for sans-serif, 0x30 modern for
// monospaced, 0 when fontconfig does not tell). Fontconfig's "mono", "dual" and
// "charcell" spacing (dual: full-width glyphs exactly twice the half-width, as IPA
// Gothic reports) count as fixed, and fixed faces are modern; every other face is
// variable (proportional), roman or swiss as fontconfig's aliases class its family.
//
// Windows face names map to installed fonts through the registry key
//   HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\FontSubstitutes
// whose values read "<Windows face name>" = "<installed face name>". Each substitute
// whose target is installed is enumerated under the Windows name as well, with the
// target's description (full name = the Windows name; a ",<character set>" suffix on
// either side is ignored).
//
// Order: faces by their first family name, and within a family upright before italic
// and the weight and width nearest to regular first, so that a search that takes the
// first match finds a family's regular style; the same face installed twice is listed
// once.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/WinError.h"

namespace platform {

inline constexpr std::uint8_t kDefaultCharset = 1;
inline constexpr std::uint8_t kShiftJisCharset = 128;
inline constexpr std::uint8_t kFixedPitch = 1;
inline constexpr std::uint8_t kVariablePitch = 2;

// LOGFONTA, field by field (the converter lays it out as bytes itself).
struct LogFontA {
    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 400;  // 400 regular, 700 bold
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = kShiftJisCharset;  // 128 for faces with Japanese glyphs, else 0 (ANSI)
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    char faceName[32] = {};  // NUL-terminated code page 932
};

// ENUMLOGFONTEXA: the LOGFONTA, the full name (64), the style (32) and the script (32),
// each NUL-terminated code page 932 ("Regular", "Bold"; "日本語" or "欧文").
struct EnumLogFontExA {
    LogFontA logFont;
    char fullName[64] = {};
    char style[32] = {};
    char script[32] = {};
};

// The registry key (under HKEY_LOCAL_MACHINE) of the Windows face names.
inline constexpr std::string_view kFontSubstitutesKey =
    "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes";

// Called once per description; returning false stops the enumeration.
using FontEnumCallback = std::function<bool(const EnumLogFontExA&)>;

// Enumerates the installed faces of `charSet` (kDefaultCharset: all) whose face name
// equals `faceName` without regard to case (empty: all faces), in the order above,
// substitutes last. 0; 13 when fontconfig cannot be initialised. The font list is read
// once per process and re-read when fontconfig reports that the installed fonts changed
// (a failed re-read keeps the list read before).
[[nodiscard]] WinError EnumFontFamiliesExA(std::uint8_t charSet, std::string_view faceName,
                                           const FontEnumCallback& callback);

// The Windows Japanese faces that `morvan-prefix init` maps to the IPA fonts, and
// their targets: "ＭＳ ゴシック" → "IPAゴシック", "ＭＳ Ｐゴシック" → "IPA Pゴシック",
// "ＭＳ 明朝" → "IPA明朝", "ＭＳ Ｐ明朝" → "IPA P明朝" (installed by fonts-ipafont-*).
// Writes each value that is missing from the FontSubstitutes key; a value already
// present (seeded before or changed by a person) is kept as it is. 0, or the
// registry's error.
[[nodiscard]] WinError SeedFontSubstitutes();

}  // namespace platform
