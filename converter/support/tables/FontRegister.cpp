// Registering the font of a text or symbol attribute during the element walk.
//
// A proportional face that the drawing names is registered under the fixed-pitch
// Windows face of its design (明朝, else ゴシック); the lookup runs through the converter's
// font cache, so a walk with many texts enumerates the installed fonts once.
#include "support/tables/FontRegister.h"

#include <cstdint>
#include <string>
#include <utility>

#include "platform/Cp932.h"
#include "platform/Fonts.h"
#include "support/tables/PdbTables.h"
#include "support/util/FontCache.h"

namespace {

// Font ids below this name no TrueType face and are not registered.
constexpr std::int16_t kFirstTrueTypeFontId = 100;

}  // namespace

int FontNameTable_Register(int fontId, const char* faceName) {
    if (static_cast<std::int16_t>(fontId) < kFirstTrueTypeFontId) return 0;

    std::string name =
        platform::CutToBytes(faceName != nullptr ? faceName : "", kFontFaceNameSize - 1);
    platform::LogFontA font;
    if (Font_Find(name, font) == 0 && (font.pitchAndFamily & platform::kVariablePitch) != 0) {
        std::string fixed = name.starts_with('@') ? "@" : "";
        fixed +=
            platform::FindDbcs(name, "明朝") != std::string::npos ? "ＭＳ 明朝" : "ＭＳ ゴシック";
        name = std::move(fixed);
    }
    FontNameTable_Add(fontId, name.c_str());
    return 0;
}
