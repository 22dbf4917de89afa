// Font enumeration answered from fontconfig, plus the FontSubstitutes key.
//
// Reading fontconfig's configuration and font list costs tens of milliseconds, and the
// converter looks a face up once per drawing, so the list of descriptions is built
// once per process and kept; each enumeration asks fontconfig whether any font folder
// or configuration file changed since (FcConfigUptoDate, a handful of stat calls) and
// only then reads everything again. The substitutes are read from the registry on
// every enumeration: the registry keeps its hive parsed, and a person may add a
// substitute while a program runs.
#include "platform/Fonts.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <tuple>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/Cp932.h"
#include "platform/Registry.h"

namespace platform {
namespace {

using FontList = std::vector<EnumLogFontExA>;

// Fontconfig speaks UTF-8, the descriptions code page 932. The fixed texts below are
// written in UTF-8 (this library is compiled with the host's character set) and
// converted once.
const std::string& ScriptJapanese() {
    static const std::string text = Utf8ToCp932Lossy("日本語");
    return text;
}
const std::string& ScriptWestern() {
    static const std::string text = Utf8ToCp932Lossy("欧文");
    return text;
}

constexpr std::uint8_t kFamilyRoman = 0x10;
constexpr std::uint8_t kFamilySwiss = 0x20;
constexpr std::uint8_t kFamilyModern = 0x30;

// Copies `text` into a fixed name field, cut on a character boundary so that the
// field always keeps its terminating NUL.
template <std::size_t N>
void SetField(char (&field)[N], std::string_view text) {
    const std::string cut = CutToBytes(text, N - 1);
    std::fill(std::begin(field), std::end(field), '\0');
    std::copy(cut.begin(), cut.end(), field);
}

template <std::size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, std::find(field, field + N, '\0') - field);
}

// The n-th string of an object of a pattern; empty when there is none.
std::string_view PatternString(FcPattern* pattern, const char* object, int n) {
    FcChar8* value = nullptr;
    if (FcPatternGetString(pattern, object, n, &value) != FcResultMatch || value == nullptr)
        return {};
    return reinterpret_cast<const char*>(value);
}

// A name of the face in the language `lang` of its family name number `index`:
// the value at the same position when its language matches (fontconfig keeps the
// typographic and the legacy names pairwise), else the first value in that language,
// else the first value at all. Empty when the object has no value.
std::string_view NameForLanguage(FcPattern* face, const char* object, const char* langObject,
                                 int index, std::string_view lang) {
    if (!PatternString(face, object, index).empty() &&
        PatternString(face, langObject, index) == lang) {
        return PatternString(face, object, index);
    }
    for (int n = 0; !PatternString(face, object, n).empty(); ++n) {
        if (PatternString(face, langObject, n) == lang) return PatternString(face, object, n);
    }
    return PatternString(face, object, 0);
}

bool IsFixedSpacing(FcPattern* face) {
    int spacing = FC_PROPORTIONAL;
    if (FcPatternGetInteger(face, FC_SPACING, 0, &spacing) != FcResultMatch) return false;
    // Dual: full-width glyphs exactly twice the half-width ones, which is what a
    // fixed-pitch Japanese face is. Char-cell faces are fixed by construction.
    return spacing == FC_MONO || spacing == FC_DUAL || spacing == FC_CHARCELL;
}

// The family bits of a variable-pitch face, as fontconfig's own aliases classify its
// family names. The configuration appends the generic name (serif, sans-serif) that a
// known family belongs to, and adds sans-serif to every pattern that has no generic
// name at all; so the names are substituted together with "monospace", which keeps
// that catch-all rule quiet, and a serif or sans-serif found after it is a real
// classification. Faces that no alias names give 0 ("don't know").
std::uint8_t VariableFamilyBits(FcConfig* config, FcPattern* face) {
    FcPattern* probe = FcPatternCreate();
    if (probe == nullptr) return 0;
    for (int n = 0;; ++n) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(face, FC_FAMILY, n, &family) != FcResultMatch) break;
        FcPatternAddString(probe, FC_FAMILY, family);
    }
    FcPatternAddString(probe, FC_FAMILY, reinterpret_cast<const FcChar8*>("monospace"));
    std::uint8_t bits = 0;
    if (FcConfigSubstitute(config, probe, FcMatchPattern)) {
        bool afterSentinel = false;
        for (int n = 0; !PatternString(probe, FC_FAMILY, n).empty(); ++n) {
            const std::string_view family = PatternString(probe, FC_FAMILY, n);
            if (family == "monospace") {
                afterSentinel = true;
            } else if (afterSentinel && family == "serif") {
                bits = kFamilyRoman;
                break;
            } else if (afterSentinel && family == "sans-serif") {
                bits = kFamilySwiss;
                break;
            }
        }
    }
    FcPatternDestroy(probe);
    return bits;
}

bool CoversJapanese(FcPattern* face) {
    FcLangSet* langs = nullptr;
    if (FcPatternGetLangSet(face, FC_LANG, 0, &langs) != FcResultMatch || langs == nullptr)
        return false;
    const FcLangResult result = FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja"));
    return result == FcLangEqual || result == FcLangDifferentTerritory;
}

// One installed face with the order it is listed in: by its first family name, then
// upright before italic, the weight and width nearest to regular first (so a lookup
// that takes the first match finds the regular style), then file and index so that
// the order never depends on fontconfig's hash order.
struct Face {
    std::string firstFamily;
    bool italic = false;
    double weightDistance = 0;
    double widthDistance = 0;
    std::string file;
    int index = 0;
    FontList descriptions;

    auto Key() const {
        return std::tie(firstFamily, italic, weightDistance, widthDistance, file, index);
    }
};

double PatternDouble(FcPattern* pattern, const char* object, double fallback) {
    double value = fallback;
    if (FcPatternGetDouble(pattern, object, 0, &value) != FcResultMatch) {
        int integer = 0;
        if (FcPatternGetInteger(pattern, object, 0, &integer) == FcResultMatch) value = integer;
    }
    return value;
}

// The descriptions of one face: one per family name that code page 932 can hold, each
// followed by its vertical form when the face covers Japanese.
Face DescribeFace(FcConfig* config, FcPattern* pattern) {
    Face face;
    face.firstFamily = PatternString(pattern, FC_FAMILY, 0);
    face.file = PatternString(pattern, FC_FILE, 0);
    FcPatternGetInteger(pattern, FC_INDEX, 0, &face.index);
    const double weight = PatternDouble(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
    const double width = PatternDouble(pattern, FC_WIDTH, FC_WIDTH_NORMAL);
    int slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(pattern, FC_SLANT, 0, &slant);
    face.italic = slant != FC_SLANT_ROMAN;
    face.weightDistance = std::fabs(weight - FC_WEIGHT_REGULAR);
    face.widthDistance = std::fabs(width - FC_WIDTH_NORMAL);

    const bool japanese = CoversJapanese(pattern);
    const bool fixed = IsFixedSpacing(pattern);
    EnumLogFontExA base;
    // LOGFONT weights are the OpenType weight classes: 400 regular, 700 bold.
    base.logFont.weight =
        std::clamp(static_cast<int>(std::lround(FcWeightToOpenTypeDouble(weight))), 1, 1000);
    base.logFont.italic = face.italic ? 1 : 0;
    base.logFont.charSet = japanese ? kShiftJisCharset : 0;
    base.logFont.pitchAndFamily = fixed ? (kFixedPitch | kFamilyModern)
                                        : (kVariablePitch | VariableFamilyBits(config, pattern));
    SetField(base.script, japanese ? ScriptJapanese() : ScriptWestern());

    for (int n = 0; !PatternString(pattern, FC_FAMILY, n).empty(); ++n) {
        std::string name;  // a family name that code page 932 cannot hold is left out
        if (!Utf8ToCp932(PatternString(pattern, FC_FAMILY, n), name)) continue;
        const std::string_view lang = PatternString(pattern, FC_FAMILYLANG, n);
        std::string fullName, style;
        if (!Utf8ToCp932(NameForLanguage(pattern, FC_FULLNAME, FC_FULLNAMELANG, n, lang),
                         fullName) ||
            fullName.empty()) {
            fullName = name;
        }
        if (!Utf8ToCp932(NameForLanguage(pattern, FC_STYLE, FC_STYLELANG, n, lang), style)) {
            style.clear();
        }

        EnumLogFontExA description = base;
        SetField(description.logFont.faceName, name);
        SetField(description.fullName, fullName);
        SetField(description.style, style);
        face.descriptions.push_back(description);
        if (japanese) {
            SetField(description.logFont.faceName, "@" + name);
            SetField(description.fullName, "@" + fullName);
            face.descriptions.push_back(description);
        }
    }
    return face;
}

// Everything that tells two descriptions apart, as one string.
std::string DescriptionKey(const EnumLogFontExA& d) {
    std::string key;
    for (std::string_view part : {FieldText(d.logFont.faceName), FieldText(d.fullName),
                                  FieldText(d.style), FieldText(d.script)}) {
        key.append(part);
        key.push_back('\0');
    }
    key.append(std::to_string(d.logFont.weight));
    for (std::uint8_t byte : {d.logFont.italic, d.logFont.charSet, d.logFont.pitchAndFamily}) {
        key.push_back(static_cast<char>(byte));
    }
    return key;
}

// Adds the descriptions to `out` in order, leaving out those listed already (the same
// face installed under two file names).
void AppendUnique(const FontList& descriptions, std::unordered_set<std::string>& seen,
                  FontList& out) {
    for (const EnumLogFontExA& d : descriptions) {
        if (seen.insert(DescriptionKey(d)).second) out.push_back(d);
    }
}

// Reads the descriptions of every scalable face of the configuration. False when
// fontconfig cannot list fonts.
bool ReadFontList(FcConfig* config, FontList& out) {
    FcPattern* pattern =
        FcPatternBuild(nullptr, FC_SCALABLE, FcTypeBool, FcTrue, static_cast<char*>(nullptr));
    FcObjectSet* objects = FcObjectSetBuild(
        FC_FAMILY, FC_FAMILYLANG, FC_FULLNAME, FC_FULLNAMELANG, FC_STYLE, FC_STYLELANG, FC_SPACING,
        FC_LANG, FC_WEIGHT, FC_WIDTH, FC_SLANT, FC_FILE, FC_INDEX, static_cast<char*>(nullptr));
    FcFontSet* set = (pattern && objects) ? FcFontList(config, pattern, objects) : nullptr;
    if (objects) FcObjectSetDestroy(objects);
    if (pattern) FcPatternDestroy(pattern);
    if (set == nullptr) return false;

    std::vector<Face> faces;
    faces.reserve(static_cast<std::size_t>(set->nfont));
    for (int i = 0; i < set->nfont; ++i) faces.push_back(DescribeFace(config, set->fonts[i]));
    FcFontSetDestroy(set);
    std::stable_sort(faces.begin(), faces.end(),
                     [](const Face& a, const Face& b) { return a.Key() < b.Key(); });

    std::unordered_set<std::string> seen;
    out.clear();
    for (const Face& face : faces) AppendUnique(face.descriptions, seen, out);
    return true;
}

// The process's font list and the configuration it was read from.
class FontListCache {
  public:
    FontListCache() = default;
    FontListCache(const FontListCache&) = delete;
    FontListCache& operator=(const FontListCache&) = delete;
    // Fontconfig keeps parts of a configuration where a leak checker cannot follow
    // them, so the configuration is given back at exit rather than left to the system.
    ~FontListCache() {
        std::lock_guard lock(mutex_);
        if (config_ != nullptr) FcConfigDestroy(config_);
        config_ = nullptr;
    }

    // The current list, read on first use and again when fontconfig reports a
    // change. A failed re-read keeps the list read before (and is retried on the next
    // call); 13 only when no list could be read at all.
    WinError Get(std::shared_ptr<const FontList>& list) {
        std::lock_guard lock(mutex_);
        if (config_ == nullptr || !FcConfigUptoDate(config_)) {
            FcConfig* config = FcInitLoadConfigAndFonts();
            auto fresh = std::make_shared<FontList>();
            if (config != nullptr && ReadFontList(config, *fresh)) {
                if (config_ != nullptr) FcConfigDestroy(config_);
                config_ = config;
                list_ = std::move(fresh);
            } else if (config != nullptr) {
                FcConfigDestroy(config);
            }
        }
        if (list_ == nullptr) return kErrorInvalidData;
        list = list_;
        return kErrorSuccess;
    }

  private:
    std::mutex mutex_;
    FcConfig* config_ = nullptr;
    std::shared_ptr<const FontList> list_;
};

FontListCache& Cache() {
    static FontListCache cache;
    return cache;
}

// The substitute name of a FontSubstitutes value name or target: the text before a
// ",<character set>" suffix, which Windows allows on either side.
std::string_view WithoutCharsetSuffix(std::string_view name) {
    const std::size_t comma = FindCharDbcs(name, ',');
    return comma == std::string_view::npos ? name : name.substr(0, comma);
}

// The descriptions that the FontSubstitutes key adds: for each value whose target is
// an installed face, the target's descriptions (horizontal and vertical) under the
// value's name.
FontList SubstituteDescriptions(const FontList& installed) {
    FontList out;
    RegKey key;
    std::vector<RegValueInfo> values;
    if (RegOpenKey(RegRoot::LocalMachine, kFontSubstitutesKey, RegAccess::Read, key) !=
            kErrorSuccess ||
        RegEnumValues(key, values) != kErrorSuccess) {
        return out;
    }
    for (const RegValueInfo& value : values) {
        if (value.type != RegType::Sz && value.type != RegType::ExpandSz) continue;
        const std::string_view name = WithoutCharsetSuffix(value.name);
        const std::string target =
            CutToBytes(WithoutCharsetSuffix(value.data), sizeof(LogFontA::faceName) - 1);
        if (name.empty() || target.empty() || !IsValidCp932(name) || !IsValidCp932(target))
            continue;
        for (const EnumLogFontExA& d : installed) {
            const std::string_view face = FieldText(d.logFont.faceName);
            std::string alias;
            if (EqualsNoCase(face, target)) {
                alias = name;
            } else if (face.size() > 1 && face[0] == '@' && name[0] != '@' &&
                       EqualsNoCase(face.substr(1), target)) {
                alias = "@" + std::string(name);
            } else {
                continue;
            }
            EnumLogFontExA copy = d;
            SetField(copy.logFont.faceName, alias);
            SetField(copy.fullName, alias);
            out.push_back(copy);
        }
    }
    return out;
}

bool CharsetMatches(std::uint8_t wanted, const EnumLogFontExA& d) {
    return wanted == kDefaultCharset || d.logFont.charSet == wanted;
}

}  // namespace

WinError EnumFontFamiliesExA(std::uint8_t charSet, std::string_view faceName,
                             const FontEnumCallback& callback) {
    std::shared_ptr<const FontList> installed;
    if (const WinError error = Cache().Get(installed); error != kErrorSuccess) return error;

    FontList all = *installed;
    std::unordered_set<std::string> seen;
    for (const EnumLogFontExA& d : all) seen.insert(DescriptionKey(d));
    AppendUnique(SubstituteDescriptions(*installed), seen, all);

    const std::string wantedFace = CutToBytes(faceName, sizeof(LogFontA::faceName) - 1);
    for (const EnumLogFontExA& d : all) {
        if (!CharsetMatches(charSet, d)) continue;
        if (!faceName.empty() && !EqualsNoCase(FieldText(d.logFont.faceName), wantedFace)) continue;
        if (!callback(d)) break;
    }
    return kErrorSuccess;
}

WinError SeedFontSubstitutes() {
    static const std::pair<const char*, const char*> kSeeds[] = {
        {"ＭＳ ゴシック", "IPAゴシック"},
        {"ＭＳ Ｐゴシック", "IPA Pゴシック"},
        {"ＭＳ 明朝", "IPA明朝"},
        {"ＭＳ Ｐ明朝", "IPA P明朝"},
    };
    RegKey key;
    if (const WinError error = RegCreateKey(RegRoot::LocalMachine, kFontSubstitutesKey, key);
        error != kErrorSuccess) {
        return error;
    }
    for (const auto& [windowsName, target] : kSeeds) {
        const std::string name = Utf8ToCp932Lossy(windowsName);
        if (RegValueExists(key, name)) continue;  // seeded before, or chosen by a person
        if (const WinError error = RegSetString(key, name, Utf8ToCp932Lossy(target));
            error != kErrorSuccess) {
            return error;
        }
    }
    return kErrorSuccess;
}

}  // namespace platform
