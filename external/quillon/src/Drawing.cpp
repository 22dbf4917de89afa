// The drawing's tables as the converter asks for them: head texts and values,
// layers, attributes by id, pens, widths, colours, paint colours and fonts by code,
// the mode block, the background image and the sheet information. All of them come
// from the small sections the view decoded at open; nothing here reads the file.
//
// Texts are cut with the code page 932 helpers, so a name that must be shortened to
// fit its buffer never ends in half a character.
#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "ByteOrder.h"
#include "Handle.h"
#include "platform/Cp932.h"
#include "quillon/Quillon.h"

namespace {

using namespace quillon;
using namespace quillon::detail;

template <class T>
void Set(T* out, T value) {
    if (out) *out = value;
}

// A length-prefixed text: byte 0 the length (at most `maxText`), then the text, the
// rest of the `size`-byte buffer zero.
void PutCounted(char* out, std::size_t size, std::string_view text, std::size_t maxText) {
    if (!out) return;
    const std::string cut = platform::CutToBytes(text, std::min(maxText, size - 1));
    std::memset(out, 0, size);
    out[0] = static_cast<char>(static_cast<unsigned char>(cut.size()));
    std::memcpy(out + 1, cut.data(), cut.size());
}

// A NUL-terminated text in a `size`-byte buffer, the rest zero.
void PutText(char* out, std::size_t size, std::string_view text) {
    if (!out) return;
    const std::string cut = platform::CutToBytes(text, size - 1);
    std::memset(out, 0, size);
    std::memcpy(out, cut.data(), cut.size());
}

// Resolves the handle and hands its tables to `fn`.
template <class Fn>
std::int16_t WithRecords(DrawingHandle* h, Fn&& fn) {
    Resolved r;
    if (std::int16_t s = Resolve(h, r); s != kQuillonOk) return s;
    return fn(r.view->Records());
}

const pdbform::HeadTexts& HeadOf(const pdbform::PdbFile& f) {
    static const pdbform::HeadTexts kEmpty{};
    return f.headTexts ? *f.headTexts : kEmpty;
}

const pdbform::Layer* FindLayer(const pdbform::PdbFile& f, std::int16_t lno) {
    for (const pdbform::Layer& l : f.layers) {
        if (l.number == lno) return &l;
    }
    return nullptr;
}

void PutRgb(std::uint8_t* rgb, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    if (!rgb) return;
    rgb[0] = r;
    rgb[1] = g;
    rgb[2] = b;
}

// The common part of rep_layer and rep_layer_ex2: outputs cleared, the layer found.
std::int16_t LayerOf(DrawingHandle* h, std::int16_t lno, char* name, std::int16_t* a,
                     std::int16_t* b, double* record, std::int16_t* skip,
                     const pdbform::Layer*& found, Resolved& r) {
    found = nullptr;
    PutText(name, kLayerNameSize, {});
    Set(a, std::int16_t{0});
    Set(b, std::int16_t{0});
    if (record) std::fill(record, record + kLayerRecordCount, 0.0);
    Set(skip, std::int16_t{1});
    if (std::int16_t s = Resolve(h, r); s != kQuillonOk) return s;
    if (lno < 1 || lno > 255) return kQuillonNotFound;
    found = FindLayer(r.view->Records(), lno);
    if (!found) return kQuillonOk;  // a slot without a layer: skip stays 1
    PutText(name, kLayerNameSize, found->name);
    Set(a, found->a);
    Set(b, found->b);
    if (record) std::copy(found->record.begin(), found->record.end(), record);
    Set(skip, found->skip);
    return kQuillonOk;
}

}  // namespace

extern "C" {

std::int16_t get_sysnam(DrawingHandle* h, char* name, std::int16_t* number) {
    PutCounted(name, kSystemNameSize, {}, 0);
    Set(number, std::int16_t{0});
    return WithRecords(h, [&](const pdbform::PdbFile& f) {
        PutCounted(name, kSystemNameSize, HeadOf(f).systemName, 16);
        Set(number, HeadOf(f).systemNumber);
        return kQuillonOk;
    });
}

std::int16_t get_pname(DrawingHandle* h, char* name, std::int16_t* number) {
    PutCounted(name, kPaperNameSize, {}, 0);
    Set(number, std::int16_t{0});
    return WithRecords(h, [&](const pdbform::PdbFile& f) {
        PutCounted(name, kPaperNameSize, HeadOf(f).paperName, 16);
        Set(number, HeadOf(f).paperNumber);
        return kQuillonOk;
    });
}

std::int16_t get_pmsg(DrawingHandle* h, char* text) {
    PutCounted(text, kMessageSize, {}, 0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) {
        PutCounted(text, kMessageSize, HeadOf(f).message, 255);
        return kQuillonOk;
    });
}

std::int16_t get_selnam(DrawingHandle* h, char* name) {
    PutCounted(name, kSelectionNameSize, {}, 0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) {
        PutCounted(name, kSelectionNameSize, HeadOf(f).selectionName, 255);
        return kQuillonOk;
    });
}

std::int16_t get_gname(DrawingHandle* h, std::int16_t index, char* name) {
    PutCounted(name, kGroupNameSize, {}, 0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        if (index < 0 || index >= kGroupNameCount) return kQuillonBadArgument;
        PutCounted(name, kGroupNameSize, HeadOf(f).groupNames[static_cast<std::size_t>(index)],
                   kGroupNameSize - 1);
        return kQuillonOk;
    });
}

std::int16_t get_pframe(DrawingHandle* h, std::int32_t* values) {
    if (values) std::fill(values, values + kHeadValueCount, 0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) {
        if (values) std::copy(HeadOf(f).frame.begin(), HeadOf(f).frame.end(), values);
        return kQuillonOk;
    });
}

std::int16_t get_psize(DrawingHandle* h, std::int32_t* values) {
    if (values) std::fill(values, values + kHeadValueCount, 0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) {
        if (values) std::copy(HeadOf(f).size.begin(), HeadOf(f).size.end(), values);
        return kQuillonOk;
    });
}

std::int16_t rep_vfield(DrawingHandle* h, std::int16_t field, std::int16_t* value) {
    Set(value, std::int16_t{0});
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        if (field < 0 || field > 255) return kQuillonBadArgument;
        std::int16_t v = 0;
        (void)LoadI16(f.head, 512 + 2 * static_cast<std::size_t>(field), v);
        Set(value, v);
        return kQuillonOk;
    });
}

std::int16_t get_mode_inf(DrawingHandle* h, std::int16_t kind, void* buffer, std::int32_t size) {
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        if (kind != 0 || size < 0 || (size > 0 && buffer == nullptr)) return kQuillonBadArgument;
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(size), f.head.size());
        if (n > 0) std::memcpy(buffer, f.head.data(), n);
        return kQuillonOk;
    });
}

std::int16_t max_layer(DrawingHandle* h, std::int16_t* max) {
    Set(max, std::int16_t{0});
    return WithRecords(h, [&](const pdbform::PdbFile& f) {
        Set(max, f.MaxLayer());
        return kQuillonOk;
    });
}

std::int16_t rep_layer(DrawingHandle* h, std::int16_t lno, char* name, std::int16_t* a,
                       std::int16_t* b, double* record, std::int16_t* skip) {
    const pdbform::Layer* layer = nullptr;
    Resolved r;
    return LayerOf(h, lno, name, a, b, record, skip, layer, r);
}

std::int16_t rep_layer_ex2(DrawingHandle* h, std::int16_t lno, char* name, std::int16_t* colourCode,
                           std::int16_t* widthCode, std::int16_t* a, std::int16_t* b,
                           double* record, double* x, std::int16_t* skip) {
    Set(colourCode, std::int16_t{0});
    Set(widthCode, std::int16_t{0});
    Set(x, 0.0);
    const pdbform::Layer* layer = nullptr;
    Resolved r;
    const std::int16_t s = LayerOf(h, lno, name, a, b, record, skip, layer, r);
    if (layer) {
        Set(colourCode, layer->colourCode);
        Set(widthCode, layer->widthCode);
        Set(x, layer->x);
    }
    return s;
}

std::int16_t get_att_pnt(DrawingHandle* h, std::int16_t aid, std::int16_t* pen) {
    Set(pen, std::int16_t{0});
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = f.pointAttributes.Get(aid);
        if (!e) return kQuillonNotFound;
        Set(pen, e->pen);
        return kQuillonOk;
    });
}

std::int16_t get_att_line_ex(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                             std::int16_t* lineType, std::uint8_t* segcnt, float* floats) {
    Set(pen, std::int16_t{0});
    Set(lineType, std::int16_t{0});
    Set(segcnt, std::uint8_t{0});
    if (floats) std::fill(floats, floats + kLineFloatCount, 0.0f);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = f.lineAttributes.Get(aid);
        if (!e) return kQuillonNotFound;
        Set(pen, e->pen);
        Set(lineType, e->lineType);
        Set(segcnt, e->segmentCount);
        if (floats) {
            const std::size_t m = std::min(e->floats.size(), kLineFloatCount);
            std::copy_n(e->floats.begin(), m, floats);
        }
        return kQuillonOk;
    });
}

std::int16_t get_att_face(DrawingHandle* h, std::int16_t aid, std::int16_t* paintNo,
                          std::int16_t* ppat) {
    Set(paintNo, std::int16_t{0});
    Set(ppat, std::int16_t{0});
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = f.faceAttributes.Get(aid);
        if (!e) return kQuillonNotFound;
        Set(paintNo, e->paintNumber);
        Set(ppat, e->ppat);
        return kQuillonOk;
    });
}

std::int16_t get_att_mark(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                          std::int16_t* markNo, double* size) {
    Set(pen, std::int16_t{0});
    Set(markNo, std::int16_t{0});
    Set(size, 0.0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = f.markAttributes.Get(aid);
        if (!e) return kQuillonNotFound;
        Set(pen, e->pen);
        Set(markNo, e->markNumber);
        Set(size, e->size);
        return kQuillonOk;
    });
}

std::int16_t get_att_symb_detail(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                                 std::int16_t* fontId, double* height, double* ratio, double* d7,
                                 double* d8, double* d9) {
    Set(pen, std::int16_t{0});
    Set(fontId, std::int16_t{0});
    for (double* d : {height, ratio, d7, d8, d9}) Set(d, 0.0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = f.symbolAttributes.Get(aid);
        if (!e) return kQuillonNotFound;
        Set(pen, e->pen);
        Set(fontId, e->fontId);
        Set(height, e->height);
        Set(ratio, e->ratio);
        Set(d7, e->d7);
        Set(d8, e->d8);
        Set(d9, e->d9);
        return kQuillonOk;
    });
}

std::int16_t get_att_symb(DrawingHandle* h, std::int16_t aid, std::int16_t* pen,
                          std::int16_t* fontId, double* height) {
    return get_att_symb_detail(h, aid, pen, fontId, height, nullptr, nullptr, nullptr, nullptr);
}

std::int16_t get_att_arrow(DrawingHandle* h, std::int16_t aid, std::int16_t* arrowType,
                           std::int16_t* arrowEnds, double* arrowSize) {
    Set(arrowType, std::int16_t{0});
    Set(arrowEnds, std::int16_t{0});
    Set(arrowSize, 0.0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = f.arrowAttributes.Get(aid);
        if (!e) return kQuillonNotFound;
        Set(arrowType, e->arrowType);
        Set(arrowEnds, e->arrowEnds);
        Set(arrowSize, e->size);
        return kQuillonOk;
    });
}

std::int16_t db_get_peninfo(DrawingHandle* h, std::int16_t pen, std::int16_t* widthCode,
                            std::int16_t* colourCode) {
    Set(widthCode, std::int16_t{0});
    Set(colourCode, std::int16_t{0});
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = pdbform::FindPen(f.pens, pen);
        if (!e) return kQuillonNotFound;
        Set(widthCode, e->widthCode);
        Set(colourCode, e->colourCode);
        return kQuillonOk;
    });
}

std::int16_t db_get_lwidthinfo(DrawingHandle* h, std::int16_t widthCode, float* width) {
    Set(width, 0.0f);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = pdbform::FindWidth(f.widths, widthCode);
        if (!e) return kQuillonNotFound;
        Set(width, e->width);
        return kQuillonOk;
    });
}

std::int16_t db_get_colorinfo(DrawingHandle* h, std::int16_t colourCode, std::uint8_t* rgb) {
    PutRgb(rgb, 0, 0, 0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = pdbform::FindColour(f.colours, colourCode);
        if (!e) return kQuillonNotFound;
        PutRgb(rgb, e->red, e->green, e->blue);
        return kQuillonOk;
    });
}

std::int16_t db_get_paint_color(DrawingHandle* h, std::int16_t paintNo, std::uint8_t* rgb) {
    PutRgb(rgb, 0, 0, 0);
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = pdbform::FindPaintColour(f.paintColours, paintNo);
        if (!e) return kQuillonNotFound;
        PutRgb(rgb, e->red, e->green, e->blue);
        return kQuillonOk;
    });
}

std::int32_t db_getkelfontinfomation(DrawingHandle* h, std::int16_t fontId, std::int16_t* a,
                                     std::int16_t* b, char* faceName) {
    Set(a, std::int16_t{0});
    Set(b, std::int16_t{0});
    PutText(faceName, kFaceNameSize, {});
    const std::int16_t s = WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        const auto* e = pdbform::FindFont(f.fonts, fontId);
        if (!e) return kQuillonNotFound;
        Set(a, e->a);
        Set(b, e->b);
        PutText(faceName, kFaceNameSize, e->faceName);
        return kQuillonOk;
    });
    return s == kQuillonOk ? 1 : 0;
}

std::int32_t db_backimg_get(DrawingHandle* h, char* name, std::int32_t* a, std::int32_t* b,
                            std::uint8_t* c, std::uint8_t* d, std::uint8_t* e, std::uint8_t* f) {
    PutText(name, kBackgroundNameSize, {});
    Set(a, 0);
    Set(b, 0);
    for (std::uint8_t* p : {c, d, e, f}) Set(p, std::uint8_t{0});
    const std::int16_t s = WithRecords(h, [&](const pdbform::PdbFile& file) -> std::int16_t {
        if (!file.background || !file.background->hasImage) return kQuillonNotFound;
        const pdbform::BackgroundImage& bg = *file.background;
        PutText(name, kBackgroundNameSize, bg.name);
        Set(a, bg.a);
        Set(b, bg.b);
        Set(c, bg.cdef[0]);
        Set(d, bg.cdef[1]);
        Set(e, bg.cdef[2]);
        Set(f, bg.cdef[3]);
        return kQuillonOk;
    });
    return s == kQuillonOk ? 1 : 0;
}

std::int32_t prtjkn_chkrep(DrawingHandle* h) {
    const std::int16_t s = WithRecords(h, [](const pdbform::PdbFile& f) -> std::int16_t {
        for (const auto& entry : f.sheetInfo.entries) {
            if (entry) return kQuillonOk;
        }
        return kQuillonNotFound;
    });
    return s == kQuillonOk ? 1 : 0;
}

std::int16_t prtjkn_infrep(DrawingHandle* h, std::int16_t entry, std::int16_t kind, void* buffer,
                           std::int32_t size) {
    return WithRecords(h, [&](const pdbform::PdbFile& f) -> std::int16_t {
        if (entry < 1 || entry > 4 || kind != 0 || size < 0 || (size > 0 && buffer == nullptr)) {
            return kQuillonBadArgument;
        }
        const auto n = std::min<std::size_t>(static_cast<std::size_t>(size), kSheetInfoSize);
        auto* out = static_cast<std::uint8_t*>(buffer);
        if (n > 0) std::memset(out, 0, n);
        const auto& stored = f.sheetInfo.entries[static_cast<std::size_t>(entry - 1)];
        if (!stored) return kQuillonNotFound;
        if (n > 0) std::memcpy(out, stored->data(), std::min(n, stored->size()));
        return kQuillonOk;
    });
}

}  // extern "C"
