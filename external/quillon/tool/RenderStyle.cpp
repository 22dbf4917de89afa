#include "RenderStyle.h"

#include <algorithm>
#include <cmath>
#include <span>

#include "ByteOrder.h"
#include "pdbform/ExtensionEntries.h"

namespace quillon_tool {
namespace {

using namespace pdbform::ext;
// Type 6 patterns hold at most 127 dash-gap pairs (the segment count is one byte).
constexpr std::size_t kMaxPairs = 127;

Rgb FromBytes(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {r / 255.0, g / 255.0, b / 255.0};
}

// Pen and paint pen entries share one layout: i16 number, r, g, b, 0, f64 width, ...
bool ParsePen(std::span<const std::uint8_t> bytes, std::int16_t& number, PenStyle& style) {
    double width = 0;
    if (bytes.size() != kPenSize || !LoadI16(bytes, 0, number) || !LoadF64(bytes, 6, width))
        return false;
    style.colour = FromBytes(bytes[2], bytes[3], bytes[4]);
    style.width = std::isfinite(width) && width > 0 ? width : 0;
    return true;
}

// Text up to the first NUL of a fixed field.
std::string FieldText(std::span<const std::uint8_t> field) {
    std::string out;
    for (const std::uint8_t c : field) {
        if (c == 0) break;
        out.push_back(static_cast<char>(c));
    }
    return out;
}

}  // namespace

RenderStyle::RenderStyle(const pdbform::PdbFile& file) {
    // The drawing's tables as maps, first entry of a code first, so that a file with
    // tens of thousands of entries does not cost a scan per element drawn.
    std::map<std::int16_t, Rgb> colours;
    std::map<std::int16_t, double> widths;
    for (const pdbform::ColourEntry& c : file.colours.Entries())
        colours.try_emplace(c.colourCode, FromBytes(c.red, c.green, c.blue));
    for (const pdbform::WidthEntry& w : file.widths.Entries())
        widths.try_emplace(w.widthCode, std::isfinite(w.width) && w.width > 0 ? w.width : 0.0);
    for (const pdbform::PenEntry& p : file.pens.Entries()) {
        PenStyle style;
        if (const auto c = colours.find(p.colourCode); c != colours.end()) style.colour = c->second;
        if (const auto w = widths.find(p.widthCode); w != widths.end()) style.width = w->second;
        pens_.try_emplace(p.pen, style);
    }
    for (const pdbform::PaintColourEntry& c : file.paintColours.Entries())
        paints_.try_emplace(c.paintNumber, FromBytes(c.red, c.green, c.blue));
    for (const pdbform::FontEntry& f : file.fonts.Entries())
        fonts_.try_emplace(f.fontId, f.faceName);
    for (const pdbform::Layer& l : file.layers) {
        if (l.skip != 0) skippedLayers_.insert(l.number);
    }

    for (const pdbform::ExtensionEntry& e : file.extension) {
        const std::span<const std::uint8_t> bytes(e.bytes);
        std::int16_t number = 0;
        PenStyle style;
        switch (e.tag) {
            case kTagPen:
                if (ParsePen(bytes, number, style)) extensionPens_.try_emplace(number, style);
                break;
            case kTagPaintPen:
                if (ParsePen(bytes, number, style)) extensionPaints_.try_emplace(number, style);
                break;
            case kTagFont:
                if (bytes.size() == kFontSize && LoadI16(bytes, 0, number))
                    extensionFonts_.try_emplace(number, FieldText(bytes.subspan(2, kFaceNameField)));
                break;
            case kTagLinePattern: {
                std::uint32_t element = 0;
                if (bytes.size() < 6 || !LoadU32(bytes, 0, element)) break;
                const std::size_t m = bytes[5];
                if (bytes.size() != 6 + 4 * m) break;
                Pattern p;
                p.segments = bytes[4];
                for (std::size_t i = 0; i < m; ++i) {
                    float f = 0;
                    if (LoadF32(bytes, 6 + 4 * i, f)) p.floats.push_back(f);
                }
                extensionPatterns_.try_emplace(element, std::move(p));
                break;
            }
            default:
                break;
        }
    }
}

PenStyle RenderStyle::Pen(std::int16_t pen) const {
    if (const auto it = extensionPens_.find(pen); it != extensionPens_.end()) return it->second;
    if (const auto it = pens_.find(pen); it != pens_.end()) return it->second;
    return {};
}

Rgb RenderStyle::Paint(std::int16_t paintNumber) const {
    if (const auto it = extensionPaints_.find(paintNumber); it != extensionPaints_.end())
        return it->second.colour;
    if (const auto it = paints_.find(paintNumber); it != paints_.end()) return it->second;
    return {0.5, 0.5, 0.5};
}

std::string RenderStyle::FaceName(std::int16_t fontId) const {
    if (const auto it = extensionFonts_.find(fontId); it != extensionFonts_.end())
        return it->second;
    const auto it = fonts_.find(fontId);
    return it != fonts_.end() ? it->second : std::string();
}

bool RenderStyle::LayerShown(std::int16_t layer) const { return !skippedLayers_.contains(layer); }

std::vector<double> RenderStyle::DashPattern(std::int16_t lineType,
                                             const pdbform::LineAttribute* attribute,
                                             std::uint32_t elementNumber) const {
    if (lineType != 5 && lineType != 6) return {};
    std::uint8_t segments = 0;
    const std::vector<float>* floats = nullptr;
    if (const auto it = extensionPatterns_.find(elementNumber); it != extensionPatterns_.end()) {
        segments = it->second.segments;
        floats = &it->second.floats;
    } else if (attribute) {
        segments = attribute->segmentCount;
        floats = &attribute->floats;
    }
    if (!floats) return {};
    const std::size_t pairs = lineType == 5 ? 4 : std::min<std::size_t>(kMaxPairs, segments / 2u);
    std::vector<double> out;
    double sum = 0;
    for (std::size_t i = 0; i < 2 * pairs && i < floats->size(); ++i) {
        const double v = std::fabs(static_cast<double>((*floats)[i]));
        out.push_back(std::isfinite(v) ? v : 0.0);
        sum += out.back();
    }
    // A pattern of one value, or one whose lengths add up to nothing, draws solid.
    if (out.size() < 2 || !(sum > 1e-10) || !std::isfinite(sum)) return {};
    return out;
}

}  // namespace quillon_tool
