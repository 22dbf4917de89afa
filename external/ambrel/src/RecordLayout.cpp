// Record-to-element copies of the server. The table below is the one place that knows
// where each record kind keeps its fields; RecordLayout.h shows it as a picture.
#include "RecordLayout.h"

#include <algorithm>
#include <array>

#include "ByteOrder.h"

namespace ambrel {
namespace {

struct Copy {
    std::uint8_t from;    // record byte
    std::uint8_t length;  // bytes
    std::uint16_t to;     // fixed-part byte
};

struct Layout {
    int kind;
    std::array<Copy, 2> copies;  // unused entries have length 0
};

constexpr Layout kLayouts[] = {
    {1, {{{8, 16, 6}, {}}}},   {2, {{{34, 32, 6}, {}}}},  {3, {{{34, 48, 6}, {}}}},
    {4, {{{34, 24, 6}, {}}}},  {5, {{{38, 24, 8}, {}}}},  {6, {}},
    {7, {{{18, 40, 6}, {}}}},  {8, {{{18, 24, 6}, {}}}},  {9, {{{18, 16, 6}, {}}}},
    {10, {}},                  {11, {{{46, 32, 6}, {}}}}, {12, {{{46, 48, 6}, {}}}},
    {13, {}},                  {16, {}},                  {17, {}},
    {18, {{{34, 104, 6}, {}}}}, {19, {{{16, 2, 6}, {18, 24, 8}}}}, {20, {}},
};

constexpr std::size_t kGroupNamesAt = 4;
constexpr std::size_t kImageFieldsSize = 319;  // the image's fixed part after its header words

// The fixed-part byte of a text kind's length field.
std::optional<std::size_t> TextLengthOffset(int baseKind) {
    if (baseKind == 7) return 46;
    if (baseKind == 8) return 30;
    return std::nullopt;
}

}  // namespace

std::optional<pdbform::Element> ElementFromRecord(
    std::span<const std::uint8_t, kRecordSize> record) {
    std::int16_t code = 0, layer = 0, second = 0;
    (void)LoadI16(record, 0, code);
    (void)LoadI16(record, 2, layer);
    (void)LoadI16(record, 4, second);
    const int kind = code < 0 ? -code : code;
    const auto layout = std::find_if(std::begin(kLayouts), std::end(kLayouts),
                                     [&](const Layout& l) { return l.kind == kind; });
    if (layout == std::end(kLayouts)) return std::nullopt;
    if (kind == 13) {
        // A group: its one field is the layer; both names go to the variable part, where
        // the element numbers of the group follow as data.
        pdbform::Element e = pdbform::MakeElement(code, layer, 0, 0);
        e.rest.assign(record.begin() + kGroupNamesAt, record.end());
        return e;
    }
    pdbform::Element e = pdbform::MakeElement(code, layer, second, 0);
    for (const Copy& c : layout->copies) {
        if (c.length == 0) continue;
        // The table is checked against the fixed sizes by the tests; a wrong entry must
        // still never write outside the element.
        if (!FitsIn(e.fixed.size(), c.to, c.length) || !FitsIn(kRecordSize, c.from, c.length))
            return std::nullopt;
        std::copy_n(record.begin() + c.from, c.length, e.fixed.begin() + c.to);
    }
    return e;
}

std::string CompleteElement(pdbform::Element& e) {
    const int kind = pdbform::BaseKind(e.kind);
    if (const auto at = TextLengthOffset(kind)) {
        std::uint16_t length = 0;
        if (!LoadU16(e.rest, 0, length) || length > e.rest.size() - 2) {
            const std::size_t had = e.rest.size();
            e.rest.clear();
            (void)StoreU16(e.fixed, *at, 0);
            return "text data of " + std::to_string(had) + " bytes without its length";
        }
        const std::size_t extra = e.rest.size() - 2 - length;
        e.rest.erase(e.rest.begin() + 2 + length, e.rest.end());
        e.rest.erase(e.rest.begin(), e.rest.begin() + 2);
        (void)StoreU16(e.fixed, *at, length);
        return extra ? std::to_string(extra) + " bytes after the text dropped" : "";
    }
    if (kind == 20) {
        const std::size_t n = std::min(kImageFieldsSize, e.rest.size());
        std::copy_n(e.rest.begin(), n, e.fixed.begin() + 6);
        e.rest.erase(e.rest.begin(), e.rest.begin() + n);
        if (n < kImageFieldsSize) return "image data of " + std::to_string(n) + " bytes";
        if (!e.rest.empty()) {
            const std::size_t extra = e.rest.size();
            e.rest.clear();
            return std::to_string(extra) + " bytes after the image data dropped";
        }
    }
    return "";
}

std::size_t SecondAttributeOffset(int baseKind) {
    switch (baseKind) {
        case 5:
        case 6:
        case 10:
        case 15:
        case 16:
            return 6;
        case 11:
            return 38;
        case 12:
            return 54;
        default:
            return 0;
    }
}

std::optional<std::int16_t> StopMark(std::span<const std::uint8_t> piece) {
    std::int16_t mark = 0;
    if (piece.size() != 2 || !LoadI16(piece, 0, mark)) return std::nullopt;
    if (mark == 21 || mark == 22 || mark == -21 || mark == -22) return mark;
    return std::nullopt;
}

}  // namespace ambrel
