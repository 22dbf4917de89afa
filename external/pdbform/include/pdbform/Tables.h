// The attribute and colour tables: entries in id order, id 1-based, 0 = none.
//
// LookUpOrAdd returns the id of an entry with equal contents, adding the entry at
// the end when there is none, so equal contents always share one id. Names (font
// face) are code page 932 bytes; a face name longer than 31 bytes is cut at a
// character boundary when written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pdbform {

struct LineAttribute {
    std::int16_t pen = 0;
    std::int16_t lineType = 0;
    std::uint8_t segmentCount = 0;
    std::vector<float> floats = std::vector<float>(8);  // 8-255 values
    bool operator==(const LineAttribute&) const = default;
};
struct PointAttribute {
    std::int16_t pen = 0;
    bool operator==(const PointAttribute&) const = default;
};
struct FaceAttribute {
    std::int16_t paintNumber = 0;
    std::int16_t ppat = 0;  // negative = hatching
    bool operator==(const FaceAttribute&) const = default;
};
struct MarkAttribute {
    std::int16_t pen = 0;
    std::int16_t markNumber = 0;
    double size = 0;
    bool operator==(const MarkAttribute&) const = default;
};
struct SymbolAttribute {
    std::int16_t pen = 0;
    std::int16_t fontId = 0;
    double height = 0, ratio = 1, d7 = 0, d8 = 0, d9 = 0;
    bool operator==(const SymbolAttribute&) const = default;
};
struct ArrowAttribute {
    std::int16_t arrowType = 0;
    std::int16_t arrowEnds = 0;  // 1 start, 2 end, 3 both
    double size = 0;
    bool operator==(const ArrowAttribute&) const = default;
};
struct PenEntry {
    std::int16_t pen = 0;
    std::int16_t widthCode = 0;
    std::int16_t colourCode = 0;
    bool operator==(const PenEntry&) const = default;
};
struct ColourEntry {
    std::int16_t colourCode = 0;
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const ColourEntry&) const = default;
};
struct WidthEntry {
    std::int16_t widthCode = 0;
    float width = 0;
    bool operator==(const WidthEntry&) const = default;
};
struct PaintColourEntry {
    std::int16_t paintNumber = 0;
    std::uint8_t red = 0, green = 0, blue = 0;
    bool operator==(const PaintColourEntry&) const = default;
};
struct FontEntry {
    std::int16_t fontId = 0;
    std::int16_t a = 0, b = 0;
    std::string faceName;  // code page 932, at most 31 bytes kept
    bool operator==(const FontEntry&) const = default;
};

template <class T>
class Table {
  public:
    // The id of an entry equal to `entry`, added when missing. 0 when the table
    // already holds 32,767 entries (ids are 16-bit signed in the elements).
    std::int16_t LookUpOrAdd(const T& entry) {
        for (std::size_t i = 0; i < entries_.size(); ++i) {
            if (entries_[i] == entry) return static_cast<std::int16_t>(i + 1);
        }
        if (entries_.size() >= 32767) return 0;
        entries_.push_back(entry);
        return static_cast<std::int16_t>(entries_.size());
    }
    // The entry of `id`, or nullptr for 0, a negative id or one past the end.
    [[nodiscard]] const T* Get(std::int32_t id) const {
        if (id < 1 || static_cast<std::size_t>(id) > entries_.size()) return nullptr;
        return &entries_[static_cast<std::size_t>(id - 1)];
    }
    [[nodiscard]] const std::vector<T>& Entries() const { return entries_; }
    [[nodiscard]] std::size_t Size() const { return entries_.size(); }
    // Appends without looking up (the reader keeps a file's entries as they are).
    void AppendRaw(const T& entry) { entries_.push_back(entry); }
    bool operator==(const Table&) const = default;

  private:
    std::vector<T> entries_;
};

// Look-ups by the codes the tables are keyed by (first match); nullptr when absent.
[[nodiscard]] const PenEntry* FindPen(const Table<PenEntry>& t, std::int16_t pen);
[[nodiscard]] const ColourEntry* FindColour(const Table<ColourEntry>& t, std::int16_t code);
[[nodiscard]] const WidthEntry* FindWidth(const Table<WidthEntry>& t, std::int16_t code);
[[nodiscard]] const PaintColourEntry* FindPaintColour(const Table<PaintColourEntry>& t,
                                                      std::int16_t paintNumber);
[[nodiscard]] const FontEntry* FindFont(const Table<FontEntry>& t, std::int16_t fontId);

}  // namespace pdbform
