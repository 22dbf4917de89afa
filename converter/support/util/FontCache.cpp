// The font cache and the face lookup.
//
// Enumerating the installed fonts is the slow part of a lookup and a drawing names the
// same few faces again and again, so while the cache lives all descriptions are kept
// once, in the byte form the enumeration delivers, and searched in order. A fill that
// fails part-way (memory short) is emptied again rather than kept half-made, since a
// non-empty cache is never refilled and a missing face would stay missing.
#include "support/util/FontCache.h"

#include <array>
#include <cstring>

#include "support/util/RecList.h"

namespace {

RecList* gCache = nullptr;
int gEnumerations = 0;

bool Matches(std::span<const std::uint8_t> description, std::string_view faceName) {
    return NameField(description, kLogFontFaceNameOffset, kFaceNameSize) == faceName ||
           NameField(description, kFullNameOffset, kFullNameSize) == faceName;
}

bool DescriptionMatches(const platform::EnumLogFontExA& d, std::string_view faceName) {
    std::array<std::uint8_t, kFontDescriptionSize> bytes{};
    EncodeFontDescription(d, bytes);
    return Matches(bytes, faceName);
}

// Enumerates every installed face into the cache. False when the fonts could not be
// enumerated or the cache could not take them all (the cache is then left empty).
bool FillCache() {
    ++gEnumerations;
    bool stored = true;
    const platform::WinError rc = platform::EnumFontFamiliesExA(
        platform::kDefaultCharset, "", [&](const platform::EnumLogFontExA& d) {
            std::array<std::uint8_t, kFontDescriptionSize> bytes{};
            EncodeFontDescription(d, bytes);
            stored = RecList_Append(gCache, bytes.data(), bytes.size()) == 0;
            return stored;
        });
    if (rc == platform::kErrorSuccess && stored) return true;
    (void)RecList_Reset(gCache);
    return false;
}

// The first cached description that matches, as its LOGFONTA bytes.
bool SearchCache(std::string_view faceName, std::array<std::uint8_t, kLogFontSize>& found) {
    const int count = RecList_Count(gCache);
    for (int n = 1; n <= count; ++n) {
        const std::uint8_t* data = nullptr;
        std::size_t length = 0;
        if (RecList_Get(gCache, n, data, length) != 0 || length != kFontDescriptionSize) continue;
        const std::span<const std::uint8_t> description(data, length);
        if (Matches(description, faceName)) {
            std::memcpy(found.data(), data, kLogFontSize);
            return true;
        }
    }
    return false;
}

// Enumerates until the first match, without keeping anything.
bool SearchInstalled(std::string_view faceName, std::array<std::uint8_t, kLogFontSize>& found) {
    ++gEnumerations;
    bool hit = false;
    const platform::WinError rc = platform::EnumFontFamiliesExA(
        platform::kDefaultCharset, "", [&](const platform::EnumLogFontExA& d) {
            if (!DescriptionMatches(d, faceName)) return true;
            EncodeLogFont(d.logFont, found);
            hit = true;
            return false;
        });
    return rc == platform::kErrorSuccess && hit;
}

}  // namespace

void FontCache_Create() {
    if (gCache == nullptr) gCache = RecList_Create(0, kFontCacheDataStep);
}

void FontCache_Destroy() {
    RecList_Destroy(gCache);
    gCache = nullptr;
}

int Font_Find(std::string_view faceName, std::span<std::uint8_t, kLogFontSize> logFont) {
    if (faceName.data() == nullptr) return kFontNullName;
    if (faceName.empty()) return kFontEmptyName;
    std::array<std::uint8_t, kLogFontSize> found{};
    bool hit = false;
    if (gCache != nullptr) {
        const bool filled = RecList_Count(gCache) > 0 || FillCache();
        hit = filled ? SearchCache(faceName, found) : SearchInstalled(faceName, found);
    } else {
        hit = SearchInstalled(faceName, found);
    }
    if (!hit) return kFontNotInstalled;
    // Whatever set the face was enumerated under, the caller gets the default set.
    found[kLogFontCharSetOffset] = platform::kDefaultCharset;
    std::memcpy(logFont.data(), found.data(), kLogFontSize);
    return 0;
}

int Font_Find(std::string_view faceName, platform::LogFontA& logFont) {
    std::array<std::uint8_t, kLogFontSize> bytes{};
    const int rc = Font_Find(faceName, bytes);
    if (rc == 0) logFont = DecodeLogFont(bytes);
    return rc;
}

int FontCache_EnumerationCount() { return gEnumerations; }
