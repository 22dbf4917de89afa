#include "pdbform/Tables.h"

namespace pdbform {
namespace {

template <class T, class Key>
const T* FindBy(const Table<T>& t, Key T::*member, Key key) {
    for (const T& e : t.Entries()) {
        if (e.*member == key) return &e;
    }
    return nullptr;
}

}  // namespace

const PenEntry* FindPen(const Table<PenEntry>& t, std::int16_t pen) {
    return FindBy(t, &PenEntry::pen, pen);
}
const ColourEntry* FindColour(const Table<ColourEntry>& t, std::int16_t code) {
    return FindBy(t, &ColourEntry::colourCode, code);
}
const WidthEntry* FindWidth(const Table<WidthEntry>& t, std::int16_t code) {
    return FindBy(t, &WidthEntry::widthCode, code);
}
const PaintColourEntry* FindPaintColour(const Table<PaintColourEntry>& t,
                                        std::int16_t paintNumber) {
    return FindBy(t, &PaintColourEntry::paintNumber, paintNumber);
}
const FontEntry* FindFont(const Table<FontEntry>& t, std::int16_t fontId) {
    return FindBy(t, &FontEntry::fontId, fontId);
}

}  // namespace pdbform
