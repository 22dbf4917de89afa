#include "Sections.h"

#include <algorithm>
#include <bit>

#include "Codec.h"

namespace pdbform::sections {
namespace {

using codec::Cursor;
using codec::Sink;

// Per-entry layout of each table. Put writes an entry; Get reads one and fails on
// short data or a value the form does not allow.
void Put(Sink& s, const LineAttribute& e) {
    s.I16(e.pen);
    s.I16(e.lineType);
    s.U8(e.segmentCount);
    const std::size_t m = std::max<std::size_t>(8, e.floats.size());
    s.U8(static_cast<std::uint8_t>(m));
    for (std::size_t i = 0; i < m; ++i) s.F32(i < e.floats.size() ? e.floats[i] : 0.0f);
}
bool Get(Cursor& c, LineAttribute& e) {
    std::uint8_t m = 0;
    if (!c.I16(e.pen) || !c.I16(e.lineType) || !c.U8(e.segmentCount) || !c.U8(m) || m < 8) {
        return false;
    }
    e.floats.assign(m, 0.0f);
    for (float& f : e.floats) c.F32(f);
    return c.Good();
}
void Put(Sink& s, const PointAttribute& e) { s.I16(e.pen); }
bool Get(Cursor& c, PointAttribute& e) { return c.I16(e.pen); }
void Put(Sink& s, const FaceAttribute& e) {
    s.I16(e.paintNumber);
    s.I16(e.ppat);
}
bool Get(Cursor& c, FaceAttribute& e) { return c.I16(e.paintNumber) && c.I16(e.ppat); }
void Put(Sink& s, const MarkAttribute& e) {
    s.I16(e.pen);
    s.I16(e.markNumber);
    s.F64(e.size);
}
bool Get(Cursor& c, MarkAttribute& e) {
    return c.I16(e.pen) && c.I16(e.markNumber) && c.F64(e.size);
}
void Put(Sink& s, const SymbolAttribute& e) {
    s.I16(e.pen);
    s.I16(e.fontId);
    for (double v : {e.height, e.ratio, e.d7, e.d8, e.d9}) s.F64(v);
}
bool Get(Cursor& c, SymbolAttribute& e) {
    return c.I16(e.pen) && c.I16(e.fontId) && c.F64(e.height) && c.F64(e.ratio) && c.F64(e.d7) &&
           c.F64(e.d8) && c.F64(e.d9);
}
void Put(Sink& s, const ArrowAttribute& e) {
    s.I16(e.arrowType);
    s.I16(e.arrowEnds);
    s.F64(e.size);
}
bool Get(Cursor& c, ArrowAttribute& e) {
    return c.I16(e.arrowType) && c.I16(e.arrowEnds) && c.F64(e.size);
}
void Put(Sink& s, const PenEntry& e) {
    s.I16(e.pen);
    s.I16(e.widthCode);
    s.I16(e.colourCode);
    s.I16(0);
}
bool Get(Cursor& c, PenEntry& e) {
    std::int16_t zero = 0;
    return c.I16(e.pen) && c.I16(e.widthCode) && c.I16(e.colourCode) && c.I16(zero);
}
template <class T>
void PutRgb(Sink& s, std::int16_t code, const T& e) {
    s.I16(code);
    s.U8(e.red);
    s.U8(e.green);
    s.U8(e.blue);
    s.U8(0);
}
template <class T>
bool GetRgb(Cursor& c, std::int16_t& code, T& e) {
    std::uint8_t zero = 0;
    return c.I16(code) && c.U8(e.red) && c.U8(e.green) && c.U8(e.blue) && c.U8(zero);
}
void Put(Sink& s, const ColourEntry& e) { PutRgb(s, e.colourCode, e); }
bool Get(Cursor& c, ColourEntry& e) { return GetRgb(c, e.colourCode, e); }
void Put(Sink& s, const PaintColourEntry& e) { PutRgb(s, e.paintNumber, e); }
bool Get(Cursor& c, PaintColourEntry& e) { return GetRgb(c, e.paintNumber, e); }
void Put(Sink& s, const WidthEntry& e) {
    s.I16(e.widthCode);
    s.I16(0);
    s.F32(e.width);
}
bool Get(Cursor& c, WidthEntry& e) {
    std::int16_t zero = 0;
    return c.I16(e.widthCode) && c.I16(zero) && c.F32(e.width);
}
void Put(Sink& s, const FontEntry& e) {
    s.I16(e.fontId);
    s.I16(e.a);
    s.I16(e.b);
    s.Name(e.faceName, 32, 31);  // always NUL-terminated
}
bool Get(Cursor& c, FontEntry& e) {
    return c.I16(e.fontId) && c.I16(e.a) && c.I16(e.b) && c.Name(32, e.faceName);
}

template <class T>
void PutTable(const Table<T>& t, Sink& s, std::uint32_t& count) {
    for (const T& e : t.Entries()) Put(s, e);
    count = static_cast<std::uint32_t>(t.Size());
}

// A table must consist of exactly `count` entries. Entries are at least 2 bytes,
// so a count larger than the bytes allow is refused before anything is allocated.
template <class T>
Status GetTable(std::span<const std::uint8_t> bytes, std::uint32_t count, Table<T>& t,
                std::string& reason, const char* what) {
    Cursor c(bytes);
    Table<T> read;
    if (count > bytes.size() / 2) {
        reason = std::string(what) + ": count larger than the section";
        return Status::kBadTable;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        T e;
        if (!Get(c, e)) {
            reason = std::string(what) + ": entry " + std::to_string(i + 1) + " malformed";
            return Status::kBadTable;
        }
        read.AppendRaw(e);
    }
    if (!c.AtEnd()) {
        reason = std::string(what) + ": length does not match the count";
        return Status::kBadTable;
    }
    t = std::move(read);
    return Status::kOk;
}

constexpr std::size_t kLayerSize = 108;
constexpr std::size_t kHeadTextsSize = 799;
constexpr std::size_t kBackgroundSize = 276;
constexpr std::size_t kPlacementSize = 56;
constexpr std::size_t kSheetEntrySize = 2048;

void PutLayer(Sink& s, const Layer& l) {
    s.I16(l.number);
    s.I16(l.skip);
    s.Name(l.name, 16, 16);
    s.I16(l.colourCode);
    s.I16(l.widthCode);
    s.I16(l.a);
    s.I16(l.b);
    for (double v : l.record) s.F64(v);
    s.F64(l.x);
}
bool GetLayer(Cursor& c, Layer& l) {
    if (!c.I16(l.number) || !c.I16(l.skip) || !c.Name(16, l.name) || !c.I16(l.colourCode) ||
        !c.I16(l.widthCode) || !c.I16(l.a) || !c.I16(l.b)) {
        return false;
    }
    for (double& v : l.record) c.F64(v);
    return c.F64(l.x);
}

void PutHeadTexts(Sink& s, const HeadTexts& h) {
    s.Name(h.systemName, 16, 16);
    s.I16(h.systemNumber);
    s.Name(h.paperName, 16, 16);
    s.I16(h.paperNumber);
    for (std::int32_t v : h.frame) s.I32(v);
    for (std::int32_t v : h.size) s.I32(v);
    // The counted texts take 256 bytes each whatever their length, so the record
    // keeps one size.
    for (const std::string* t : {&h.message, &h.selectionName}) {
        std::vector<std::uint8_t> field;
        Sink f(field);
        f.Counted(*t);
        s.Bytes(field);
        s.Zeros(256 - field.size());
    }
    for (const std::string& g : h.groupNames) s.Name(g, 17, 17);
}
bool GetHeadTexts(Cursor& c, HeadTexts& h) {
    if (!c.Name(16, h.systemName) || !c.I16(h.systemNumber) || !c.Name(16, h.paperName) ||
        !c.I16(h.paperNumber)) {
        return false;
    }
    for (std::int32_t& v : h.frame) c.I32(v);
    for (std::int32_t& v : h.size) c.I32(v);
    for (std::string* t : {&h.message, &h.selectionName}) {
        const std::size_t start = c.Offset();
        if (!c.Counted(*t)) return false;
        c.Skip(256 - (c.Offset() - start));
    }
    for (std::string& g : h.groupNames) c.Name(17, g);
    return c.Good();
}

void PutPositions(Sink& s, const std::vector<std::uint32_t>& v) {
    for (std::uint32_t p : v) s.U32(p);
}
// Reads `n` positions; the count is checked against the remaining bytes first.
bool GetPositions(Cursor& c, std::size_t n, std::vector<std::uint32_t>& v) {
    if (n > c.Remaining() / 4) return false;
    v.assign(n, 0);
    for (std::uint32_t& p : v) c.U32(p);
    return c.Good();
}

// A count of records, each at least `minSize` bytes, that cannot exceed the section.
bool CountFits(std::uint32_t count, std::size_t bytes, std::size_t minSize) {
    return count <= bytes / minSize;
}

Status Bad(std::string& reason, const std::string& why) {
    reason = why;
    return Status::kBadSection;
}

Status DecodePlacements(Cursor& c, std::uint32_t count, PdbFile& f, std::string& reason) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t pos = 0;
        std::uint16_t type = 0, len = 0;
        if (!c.U32(pos) || !c.U16(type) || !c.U16(len) || len > c.Remaining()) {
            return Bad(reason, "placements: record " + std::to_string(i + 1) + " truncated");
        }
        const std::size_t end = c.Offset() + len;
        if (type == 1) {
            Placement p;
            std::uint8_t zero8 = 0;
            std::uint16_t zero16 = 0;
            std::uint32_t zero32 = 0;
            if (len != kPlacementSize || !c.I16(p.layerOverride) || !c.I16(p.overridePen) ||
                !c.U8(p.penFlag) || !c.U8(zero8) || !c.U16(zero16) || !c.F64(p.translateX) ||
                !c.F64(p.translateY) || !c.F64(p.rotation) || !c.F64(p.scaleX) ||
                !c.F64(p.scaleY) || !c.U32(p.definition) || !c.U32(zero32)) {
                return Bad(reason, "placement at " + std::to_string(pos) + " malformed");
            }
            if (!f.placements.emplace(pos, p).second) {
                return Bad(reason, "two placements at " + std::to_string(pos));
            }
        } else if (type == 2) {
            Definition d;
            std::uint32_t n = 0;
            if (!c.U32(n) || len < 4 || static_cast<std::uint32_t>((len - 4) / 4) != n ||
                (len - 4) % 4 != 0 || !GetPositions(c, n, d.members)) {
                return Bad(reason, "definition at " + std::to_string(pos) + " malformed");
            }
            if (!f.definitions.emplace(pos, std::move(d)).second) {
                return Bad(reason, "two definitions at " + std::to_string(pos));
            }
        } else {
            return Bad(reason, "placements: unknown record type " + std::to_string(type));
        }
        if (c.Offset() != end) return Bad(reason, "placements: record length mismatch");
    }
    return Status::kOk;
}

Status DecodePaintAreas(Cursor& c, std::uint32_t count, PdbFile& f, std::string& reason) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t pos = 0;
        std::uint8_t visible = 0, zero = 0;
        std::uint16_t b = 0, h = 0;
        PaintArea a;
        if (!c.U32(pos) || !c.U8(visible) || !c.U8(zero) || !c.U16(b) ||
            !GetPositions(c, b, a.boundary) || !c.U16(h) || !CountFits(h, c.Remaining(), 4)) {
            return Bad(reason, "paint area " + std::to_string(i + 1) + " malformed");
        }
        a.visible = visible != 0;
        a.holes.resize(h);
        for (PaintAreaHole& hole : a.holes) {
            std::uint16_t n = 0;
            if (!c.U8(visible) || !c.U8(zero) || !c.U16(n) || !GetPositions(c, n, hole.elements)) {
                return Bad(reason, "paint area at " + std::to_string(pos) + ": hole malformed");
            }
            hole.visible = visible != 0;
        }
        if (!f.paintAreas.emplace(pos, std::move(a)).second) {
            return Bad(reason, "two paint areas at " + std::to_string(pos));
        }
    }
    return Status::kOk;
}

Status DecodeFillHoles(Cursor& c, std::uint32_t count, PdbFile& f, std::string& reason) {
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t pos = 0;
        std::uint16_t h = 0;
        FillHoles fh;
        if (!c.U32(pos) || !c.U16(h) || !CountFits(h, c.Remaining(), 2)) {
            return Bad(reason, "fill holes " + std::to_string(i + 1) + " malformed");
        }
        fh.holes.resize(h);
        for (auto& hole : fh.holes) {
            std::uint16_t pieces = 0;
            if (!c.U16(pieces) || !CountFits(pieces, c.Remaining(), 4)) {
                return Bad(reason, "fill holes at " + std::to_string(pos) + ": hole malformed");
            }
            hole.resize(pieces);
            for (HolePiece& piece : hole) {
                std::uint16_t p = 0;
                const int values = c.U16(piece.code) ? HolePieceValueCount(piece.code) : -1;
                const bool hasPoints = piece.code == 4 || piece.code == 5;
                if (values < 0 || !c.U16(p) || (!hasPoints && p != 0) ||
                    !CountFits(p, c.Remaining(), 16)) {
                    return Bad(reason, "fill holes at " + std::to_string(pos) + ": bad piece");
                }
                piece.values.assign(static_cast<std::size_t>(values), 0.0);
                for (double& v : piece.values) c.F64(v);
                piece.points.assign(2 * std::size_t{p}, 0.0);
                for (double& v : piece.points) c.F64(v);
                if (!c.Good())
                    return Bad(reason, "fill holes at " + std::to_string(pos) + ": truncated");
            }
        }
        if (!f.fillHoles.emplace(pos, std::move(fh)).second) {
            return Bad(reason, "two fill-hole records at " + std::to_string(pos));
        }
    }
    return Status::kOk;
}

}  // namespace

bool IsContentSection(std::uint16_t id) { return (id >= 3 && id <= 20) || id == kExtension; }

Status Encode(std::uint16_t id, const PdbFile& f, std::vector<std::uint8_t>& out,
              std::uint32_t& count, std::string& reason) {
    out.clear();
    count = 0;
    Sink s(out);
    switch (id) {
        case kLineAttributes:
            for (const LineAttribute& e : f.lineAttributes.Entries()) {
                if (e.floats.size() > 255) {
                    reason = "line attribute with more than 255 values";
                    return Status::kBadTable;
                }
            }
            PutTable(f.lineAttributes, s, count);
            break;
        case kPointAttributes:
            PutTable(f.pointAttributes, s, count);
            break;
        case kFaceAttributes:
            PutTable(f.faceAttributes, s, count);
            break;
        case kMarkAttributes:
            PutTable(f.markAttributes, s, count);
            break;
        case kSymbolAttributes:
            PutTable(f.symbolAttributes, s, count);
            break;
        case kArrowAttributes:
            PutTable(f.arrowAttributes, s, count);
            break;
        case kPens:
            PutTable(f.pens, s, count);
            break;
        case kColours:
            PutTable(f.colours, s, count);
            break;
        case kWidths:
            PutTable(f.widths, s, count);
            break;
        case kPaintColours:
            PutTable(f.paintColours, s, count);
            break;
        case kFonts:
            PutTable(f.fonts, s, count);
            break;
        case kLayers: {
            std::vector<Layer> sorted = f.layers;
            std::stable_sort(sorted.begin(), sorted.end(),
                             [](const Layer& a, const Layer& b) { return a.number < b.number; });
            for (std::size_t i = 0; i < sorted.size(); ++i) {
                if (sorted[i].number < 1 || sorted[i].number > 255 ||
                    (i > 0 && sorted[i].number == sorted[i - 1].number)) {
                    reason = "layer number " + std::to_string(sorted[i].number) +
                             " out of range or defined twice";
                    return Status::kBadTable;
                }
                PutLayer(s, sorted[i]);
            }
            count = static_cast<std::uint32_t>(sorted.size());
            break;
        }
        case kHeadTexts:
            if (f.headTexts) {
                PutHeadTexts(s, *f.headTexts);
                count = 1;
            }
            break;
        case kSheetInfo:
            for (std::size_t i = 0; i < 4; ++i) {
                const auto& e = f.sheetInfo.entries[i];
                if (!e) continue;
                count |= 1u << i;
                const std::size_t n = std::min(e->size(), kSheetEntrySize);
                s.Bytes(std::span(*e).first(n));
                s.Zeros(kSheetEntrySize - n);
            }
            break;
        case kBackground:
            if (f.background) {
                const BackgroundImage& b = *f.background;
                s.I16(b.imageCount);
                s.U8(b.hasImage ? 1 : 0);
                s.U8(0);
                s.Name(b.name, 260, 259);
                s.I32(b.a);
                s.I32(b.b);
                s.Bytes(b.cdef);
                count = 1;
            }
            break;
        case kPlacements:
            for (const auto& [pos, p] : f.placements) {
                s.U32(pos);
                s.U16(1);
                s.U16(kPlacementSize);
                s.I16(p.layerOverride);
                s.I16(p.overridePen);
                s.U8(p.penFlag);
                s.U8(0);
                s.U16(0);
                for (double v : {p.translateX, p.translateY, p.rotation, p.scaleX, p.scaleY}) {
                    s.F64(v);
                }
                s.U32(p.definition);
                s.U32(0);
                ++count;
            }
            for (const auto& [pos, d] : f.definitions) {
                if (d.members.size() > (0xFFFFu - 4) / 4) {
                    reason = "definition at " + std::to_string(pos) + " has too many members";
                    return Status::kBadTable;
                }
                s.U32(pos);
                s.U16(2);
                s.U16(static_cast<std::uint16_t>(4 + 4 * d.members.size()));
                s.U32(static_cast<std::uint32_t>(d.members.size()));
                PutPositions(s, d.members);
                ++count;
            }
            break;
        case kPaintAreas:
            for (const auto& [pos, a] : f.paintAreas) {
                bool fits = a.boundary.size() <= 0xFFFF && a.holes.size() <= 0xFFFF;
                for (const auto& h : a.holes) fits = fits && h.elements.size() <= 0xFFFF;
                if (!fits) {
                    reason = "paint area at " + std::to_string(pos) + " too large";
                    return Status::kBadTable;
                }
                s.U32(pos);
                s.U8(a.visible ? 1 : 0);
                s.U8(0);
                s.U16(static_cast<std::uint16_t>(a.boundary.size()));
                PutPositions(s, a.boundary);
                s.U16(static_cast<std::uint16_t>(a.holes.size()));
                for (const PaintAreaHole& h : a.holes) {
                    s.U8(h.visible ? 1 : 0);
                    s.U8(0);
                    s.U16(static_cast<std::uint16_t>(h.elements.size()));
                    PutPositions(s, h.elements);
                }
                ++count;
            }
            break;
        case kFillHoles:
            for (const auto& [pos, fh] : f.fillHoles) {
                bool fits = fh.holes.size() <= 0xFFFF;
                for (const auto& hole : fh.holes) {
                    fits = fits && hole.size() <= 0xFFFF;
                    for (const HolePiece& p : hole) {
                        const int n = HolePieceValueCount(p.code);
                        const bool hasPoints = p.code == 4 || p.code == 5;
                        fits = fits && n >= 0 && p.values.size() == static_cast<std::size_t>(n) &&
                               p.points.size() % 2 == 0 && p.points.size() / 2 <= 0xFFFF &&
                               (hasPoints || p.points.empty());
                    }
                }
                if (!fits) {
                    reason = "fill holes at " + std::to_string(pos) + " malformed";
                    return Status::kBadTable;
                }
                s.U32(pos);
                s.U16(static_cast<std::uint16_t>(fh.holes.size()));
                for (const auto& hole : fh.holes) {
                    s.U16(static_cast<std::uint16_t>(hole.size()));
                    for (const HolePiece& p : hole) {
                        s.U16(p.code);
                        s.U16(static_cast<std::uint16_t>(p.points.size() / 2));
                        for (double v : p.values) s.F64(v);
                        for (double v : p.points) s.F64(v);
                    }
                }
                ++count;
            }
            break;
        case kExtension:
            for (const ExtensionEntry& e : f.extension) {
                s.U16(e.tag);
                s.U16(0);
                s.U32(static_cast<std::uint32_t>(e.bytes.size()));
                s.Bytes(e.bytes);
                ++count;
            }
            break;
        default:
            break;
    }
    return Status::kOk;
}

Status Decode(std::uint16_t id, std::span<const std::uint8_t> bytes, std::uint32_t count,
              PdbFile& f, std::string& reason) {
    Cursor c(bytes);
    Status st = Status::kOk;
    switch (id) {
        case kLineAttributes:
            return GetTable(bytes, count, f.lineAttributes, reason, "line attributes");
        case kPointAttributes:
            return GetTable(bytes, count, f.pointAttributes, reason, "point attributes");
        case kFaceAttributes:
            return GetTable(bytes, count, f.faceAttributes, reason, "face attributes");
        case kMarkAttributes:
            return GetTable(bytes, count, f.markAttributes, reason, "mark attributes");
        case kSymbolAttributes:
            return GetTable(bytes, count, f.symbolAttributes, reason, "symbol attributes");
        case kArrowAttributes:
            return GetTable(bytes, count, f.arrowAttributes, reason, "arrow attributes");
        case kPens:
            return GetTable(bytes, count, f.pens, reason, "pens");
        case kColours:
            return GetTable(bytes, count, f.colours, reason, "colours");
        case kWidths:
            return GetTable(bytes, count, f.widths, reason, "widths");
        case kPaintColours:
            return GetTable(bytes, count, f.paintColours, reason, "paint colours");
        case kFonts:
            return GetTable(bytes, count, f.fonts, reason, "fonts");
        case kLayers: {
            if (bytes.size() != std::size_t{count} * kLayerSize) {
                reason = "layers: length does not match the count";
                return Status::kBadTable;
            }
            f.layers.assign(count, Layer{});
            for (std::size_t i = 0; i < f.layers.size(); ++i) {
                Layer& l = f.layers[i];
                if (!GetLayer(c, l) || l.number < 1 || l.number > 255 ||
                    (i > 0 && l.number <= f.layers[i - 1].number)) {
                    reason = "layers: entry " + std::to_string(i + 1) + " out of order or range";
                    return Status::kBadTable;
                }
            }
            return Status::kOk;
        }
        case kHeadTexts:
            if (count != 1 || bytes.size() != kHeadTextsSize)
                return Bad(reason, "head texts: size");
            f.headTexts.emplace();
            if (!GetHeadTexts(c, *f.headTexts) || !c.AtEnd())
                return Bad(reason, "head texts malformed");
            return Status::kOk;
        case kSheetInfo:
            if (count > 15 || bytes.size() != std::size_t(std::popcount(count)) * kSheetEntrySize) {
                return Bad(reason, "sheet information: mask does not match the length");
            }
            for (std::size_t i = 0; i < 4; ++i) {
                if (!(count & (1u << i))) continue;
                f.sheetInfo.entries[i].emplace();
                c.Bytes(kSheetEntrySize, *f.sheetInfo.entries[i]);
            }
            return Status::kOk;
        case kBackground: {
            if (count != 1 || bytes.size() != kBackgroundSize)
                return Bad(reason, "background: size");
            BackgroundImage b;
            std::uint8_t has = 0, zero = 0;
            c.I16(b.imageCount);
            c.U8(has);
            c.U8(zero);
            c.Name(260, b.name);
            c.I32(b.a);
            c.I32(b.b);
            for (std::uint8_t& v : b.cdef) c.U8(v);
            if (!c.AtEnd()) return Bad(reason, "background malformed");
            b.hasImage = has != 0;
            f.background = std::move(b);
            return Status::kOk;
        }
        case kPlacements:
            if (!CountFits(count, bytes.size(), 12))
                return Bad(reason, "placements: count too large");
            st = DecodePlacements(c, count, f, reason);
            break;
        case kPaintAreas:
            if (!CountFits(count, bytes.size(), 10))
                return Bad(reason, "paint areas: count too large");
            st = DecodePaintAreas(c, count, f, reason);
            break;
        case kFillHoles:
            if (!CountFits(count, bytes.size(), 6))
                return Bad(reason, "fill holes: count too large");
            st = DecodeFillHoles(c, count, f, reason);
            break;
        case kExtension:
            if (!CountFits(count, bytes.size(), 8))
                return Bad(reason, "extension: count too large");
            for (std::uint32_t i = 0; i < count; ++i) {
                ExtensionEntry e;
                std::uint16_t zero = 0;
                std::uint32_t len = 0;
                if (!c.U16(e.tag) || !c.U16(zero) || !c.U32(len) || !c.Bytes(len, e.bytes)) {
                    return Bad(reason, "extension entry " + std::to_string(i + 1) + " truncated");
                }
                f.extension.push_back(std::move(e));
            }
            break;
        default:
            return Status::kOk;
    }
    if (st == Status::kOk && !c.AtEnd())
        return Bad(reason, "section " + std::to_string(id) + " has trailing bytes");
    return st;
}

}  // namespace pdbform::sections
