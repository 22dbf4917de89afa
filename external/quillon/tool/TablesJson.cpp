#include "TablesJson.h"

#include <algorithm>
#include <initializer_list>

#include "ByteOrder.h"

namespace quillon_tool {
namespace {

using namespace pdbform;

// Head block fields with a name; every other non-zero byte goes to "other".
constexpr std::size_t kVersionAt = 0;
constexpr std::size_t kQueryValueAt = 390;
constexpr std::size_t kQueryNameAt = 394;
constexpr std::size_t kQueryNameMax = 117;
constexpr std::size_t kLayerWordAt = 512;

bool AnyOf(const ObjectReader& r, std::initializer_list<const char*> keys) {
    return std::any_of(keys.begin(), keys.end(), [&](const char* k) { return r.Has(k); });
}

Json Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return Json::array({r, g, b}); }

bool ReadRgb(ObjectReader& r, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
    std::uint8_t rgb[3] = {red, green, blue};
    if (!r.Ints("rgb", 3, rgb)) return false;
    red = rgb[0];
    green = rgb[1];
    blue = rgb[2];
    return true;
}

// A table as a JSON array of entries with their ids.
template <class T, class Put>
Json TableJson(const Table<T>& table, Put put) {
    Json out = Json::array();
    int id = 0;
    for (const T& e : table.Entries()) {
        Json entry = Json::object();
        entry["id"] = ++id;
        put(entry, e);
        out.push_back(std::move(entry));
    }
    return out;
}

// Reads the entries in id order, kept as they are (duplicates too), so a dumped
// file's ids stay the ids its elements use.
template <class T, class Apply>
bool ReadTable(ObjectReader& root, const char* key, Table<T>& table, Apply apply) {
    const Json* list = root.Take(key);
    if (!list) return root.Ok();
    if (!list->is_array()) return Fail(root.Error(), root.At(key), "expected an array");
    if (list->size() > 32767) return Fail(root.Error(), root.At(key), "more than 32767 entries");
    for (std::size_t i = 0; i < list->size(); ++i) {
        ObjectReader r((*list)[i], root.At(key) + "/" + std::to_string(i), root.Error());
        int id = static_cast<int>(i) + 1;
        if (!r.Int("id", id)) return false;
        if (id != static_cast<int>(i) + 1) {
            return Fail(root.Error(), r.At("id"),
                        "entries are listed in id order: expected " + std::to_string(i + 1));
        }
        T entry{};
        if (!apply(r, entry) || !r.Finish()) return false;
        table.AppendRaw(entry);
    }
    return true;
}

}  // namespace

void PutAttribute(Json& o, const LineAttribute& e) {
    o["pen"] = e.pen;
    o["lineType"] = e.lineType;
    o["segments"] = e.segmentCount;
    // Trailing zeros are the padding of the stored floats: left out for reading, and
    // the float count says how many there are when it is not the usual 8.
    std::size_t n = e.floats.size();
    while (n > 0 && e.floats[n - 1] == 0 && !std::signbit(e.floats[n - 1])) --n;
    Json values = Json::array();
    for (std::size_t i = 0; i < n; ++i) values.push_back(FloatJson(e.floats[i]));
    o["values"] = std::move(values);
    if (e.floats.size() != 8) o["floatCount"] = e.floats.size();
}

bool ApplyAttribute(ObjectReader& r, LineAttribute& e, bool& any) {
    any = AnyOf(r, {"pen", "lineType", "segments", "values", "floatCount"});
    if (!r.Int("pen", e.pen) || !r.Int("lineType", e.lineType) ||
        !r.Int("segments", e.segmentCount)) {
        return false;
    }
    std::size_t count = std::max<std::size_t>(8, e.floats.size());
    if (r.Has("floatCount")) {
        if (!r.Int("floatCount", count)) return false;
        if (count < 8 || count > 255) return Fail(r.Error(), r.At("floatCount"), "must be 8-255");
    }
    if (const Json* values = r.Take("values")) {
        if (!values->is_array()) return Fail(r.Error(), r.At("values"), "expected an array");
        if (values->size() > 255) return Fail(r.Error(), r.At("values"), "more than 255 values");
        if (r.Has("floatCount") && values->size() > count) {
            return Fail(r.Error(), r.At("values"), "more values than floatCount");
        }
        count = std::max(count, values->size());
        e.floats.assign(count, 0.0f);
        for (std::size_t i = 0; i < values->size(); ++i) {
            if (!ReadFloat((*values)[i], r.At("values") + "/" + std::to_string(i), e.floats[i],
                           r.Error())) {
                return false;
            }
        }
    } else {
        e.floats.resize(count, 0.0f);
    }
    return true;
}

void PutAttribute(Json& o, const PointAttribute& e) { o["pen"] = e.pen; }
bool ApplyAttribute(ObjectReader& r, PointAttribute& e, bool& any) {
    any = r.Has("pen");
    return r.Int("pen", e.pen);
}

void PutAttribute(Json& o, const FaceAttribute& e) {
    o["paintNumber"] = e.paintNumber;
    o["ppat"] = e.ppat;
}
bool ApplyAttribute(ObjectReader& r, FaceAttribute& e, bool& any) {
    any = AnyOf(r, {"paintNumber", "ppat"});
    return r.Int("paintNumber", e.paintNumber) && r.Int("ppat", e.ppat);
}

void PutAttribute(Json& o, const MarkAttribute& e) {
    o["pen"] = e.pen;
    o["mark"] = e.markNumber;
    o["size"] = DoubleJson(e.size);
}
bool ApplyAttribute(ObjectReader& r, MarkAttribute& e, bool& any) {
    any = AnyOf(r, {"pen", "mark", "size"});
    return r.Int("pen", e.pen) && r.Int("mark", e.markNumber) && r.Double("size", e.size);
}

void PutAttribute(Json& o, const SymbolAttribute& e) {
    o["pen"] = e.pen;
    o["font"] = e.fontId;
    o["height"] = DoubleJson(e.height);
    o["ratio"] = DoubleJson(e.ratio);
    o["d7"] = DoubleJson(e.d7);
    o["d8"] = DoubleJson(e.d8);
    o["d9"] = DoubleJson(e.d9);
}
bool ApplyAttribute(ObjectReader& r, SymbolAttribute& e, bool& any) {
    any = AnyOf(r, {"pen", "font", "height", "ratio", "d7", "d8", "d9"});
    return r.Int("pen", e.pen) && r.Int("font", e.fontId) && r.Double("height", e.height) &&
           r.Double("ratio", e.ratio) && r.Double("d7", e.d7) && r.Double("d8", e.d8) &&
           r.Double("d9", e.d9);
}

void PutAttribute(Json& o, const ArrowAttribute& e) {
    o["arrowType"] = e.arrowType;
    o["arrowEnds"] = e.arrowEnds;
    o["arrowSize"] = DoubleJson(e.size);
}
bool ApplyAttribute(ObjectReader& r, ArrowAttribute& e, bool& any) {
    any = AnyOf(r, {"arrowType", "arrowEnds", "arrowSize"});
    return r.Int("arrowType", e.arrowType) && r.Int("arrowEnds", e.arrowEnds) &&
           r.Double("arrowSize", e.size);
}

Json HeadJson(const PdbFile& file) {
    Json o = Json::object();
    std::vector<bool> named(kBlockSize, false);
    auto mark = [&](std::size_t at, std::size_t n) {
        std::fill(named.begin() + static_cast<std::ptrdiff_t>(at),
                  named.begin() + static_cast<std::ptrdiff_t>(at + n), true);
    };
    o["version"] = file.Version();
    mark(kVersionAt, 2);
    std::int16_t layerWord = 0;
    (void)LoadI16(file.head, kLayerWordAt, layerWord);
    o["currentLayer"] = layerWord;
    mark(kLayerWordAt, 2);
    std::int32_t queryValue = 0;
    (void)LoadI32(file.head, kQueryValueAt, queryValue);
    o["queryValue"] = queryValue;
    mark(kQueryValueAt, 4);
    // The query name is shown only when its length byte is one the head can hold;
    // otherwise its bytes stay in "other" like any product field.
    const std::size_t nameLength = file.head[kQueryNameAt];
    if (nameLength <= kQueryNameMax) {
        PutText(o, "queryName",
                std::string_view(reinterpret_cast<const char*>(&file.head[kQueryNameAt + 1]),
                                 nameLength));
        mark(kQueryNameAt, 1 + nameLength);
    }
    o["other"] = SparseBytes(file.head, named);
    return o;
}

bool ReadHead(const Json* head, PdbFile& file, std::string& error) {
    file.head.fill(0);
    std::uint16_t version = kFormVersion;
    if (head) {
        ObjectReader r(*head, "/head", error);
        std::int16_t layerWord = 0;
        std::int32_t queryValue = 0;
        std::string queryName;
        const bool hasName = r.Has("queryName") || r.Has("queryNameHex");
        // "other" first: the named fields are written over it.
        if (const Json* other = r.Take("other")) {
            if (!ReadSparseBytes(*other, r.At("other"), file.head, error)) return false;
        }
        if (!r.Int("version", version) || !r.Int("currentLayer", layerWord) ||
            !r.Int("queryValue", queryValue) || !r.Text("queryName", kQueryNameMax, queryName) ||
            !r.Finish()) {
            return false;
        }
        if (version < 250 || version > 260) {
            return Fail(error, r.At("version"), "a drawing's version is 250-260");
        }
        (void)StoreI16(file.head, kLayerWordAt, layerWord);
        (void)StoreI32(file.head, kQueryValueAt, queryValue);
        if (hasName) {
            file.head[kQueryNameAt] = static_cast<std::uint8_t>(queryName.size());
            std::copy(queryName.begin(), queryName.end(), file.head.begin() + kQueryNameAt + 1);
        }
    }
    (void)StoreU16(file.head, kVersionAt, version);
    return true;
}

void PutTables(Json& root, const PdbFile& f) {
    Json layers = Json::array();
    for (const Layer& l : f.layers) {
        Json o = Json::object();
        o["number"] = l.number;
        if (l.skip != 0) o["skip"] = l.skip;
        PutText(o, "name", l.name);
        o["colourCode"] = l.colourCode;
        o["widthCode"] = l.widthCode;
        o["a"] = l.a;
        o["b"] = l.b;
        Json record = Json::array();
        for (double d : l.record) record.push_back(DoubleJson(d));
        o["record"] = std::move(record);
        o["x"] = DoubleJson(l.x);
        layers.push_back(std::move(o));
    }
    root["layers"] = std::move(layers);

    auto put = [](Json& o, const auto& e) { PutAttribute(o, e); };
    root["lineAttributes"] = TableJson(f.lineAttributes, put);
    root["pointAttributes"] = TableJson(f.pointAttributes, put);
    root["faceAttributes"] = TableJson(f.faceAttributes, put);
    root["markAttributes"] = TableJson(f.markAttributes, put);
    root["symbolAttributes"] = TableJson(f.symbolAttributes, put);
    root["arrowAttributes"] = TableJson(f.arrowAttributes, put);
    root["pens"] = TableJson(f.pens, [](Json& o, const PenEntry& e) {
        o["pen"] = e.pen;
        o["widthCode"] = e.widthCode;
        o["colourCode"] = e.colourCode;
    });
    root["colours"] = TableJson(f.colours, [](Json& o, const ColourEntry& e) {
        o["code"] = e.colourCode;
        o["rgb"] = Rgb(e.red, e.green, e.blue);
    });
    root["widths"] = TableJson(f.widths, [](Json& o, const WidthEntry& e) {
        o["code"] = e.widthCode;
        o["width"] = FloatJson(e.width);
    });
    root["paintColours"] = TableJson(f.paintColours, [](Json& o, const PaintColourEntry& e) {
        o["paintNumber"] = e.paintNumber;
        o["rgb"] = Rgb(e.red, e.green, e.blue);
    });
    root["fonts"] = TableJson(f.fonts, [](Json& o, const FontEntry& e) {
        o["font"] = e.fontId;
        o["a"] = e.a;
        o["b"] = e.b;
        PutText(o, "face", e.faceName);
    });

    if (f.headTexts) {
        const HeadTexts& h = *f.headTexts;
        Json o = Json::object();
        PutText(o, "systemName", h.systemName);
        o["systemNumber"] = h.systemNumber;
        PutText(o, "paperName", h.paperName);
        o["paperNumber"] = h.paperNumber;
        o["frame"] = h.frame;
        o["size"] = h.size;
        PutText(o, "message", h.message);
        PutText(o, "selectionName", h.selectionName);
        Json groups = Json::array();
        for (const std::string& g : h.groupNames) {
            Json one = Json::object();
            PutText(one, "name", g);
            // A group name that converts exactly is shown as a plain string.
            groups.push_back(one.size() == 1 ? one["name"] : one);
        }
        o["groupNames"] = std::move(groups);
        root["headTexts"] = std::move(o);
    }

    Json sheets = Json::array();
    for (int i = 0; i < 4; ++i) {
        const auto& entry = f.sheetInfo.entries[static_cast<std::size_t>(i)];
        if (!entry) continue;
        Json o = Json::object();
        o["entry"] = i + 1;
        o["deviceId"] = f.sheetInfo.DeviceId(i).value_or(0);
        std::vector<bool> named(kBlockSize, false);
        std::fill(named.begin() + 536, named.begin() + 540, true);
        o["other"] = SparseBytes(*entry, named);
        sheets.push_back(std::move(o));
    }
    root["sheetInfo"] = std::move(sheets);

    if (f.background) {
        const BackgroundImage& b = *f.background;
        Json o = Json::object();
        o["imageCount"] = b.imageCount;
        o["hasImage"] = b.hasImage;
        PutText(o, "name", b.name);
        o["a"] = b.a;
        o["b"] = b.b;
        o["cdef"] = b.cdef;
        root["background"] = std::move(o);
    }
}

bool ReadTables(ObjectReader& root, PdbFile& f) {
    std::string& error = root.Error();
    if (const Json* layers = root.Take("layers")) {
        if (!layers->is_array()) return Fail(error, root.At("layers"), "expected an array");
        for (std::size_t i = 0; i < layers->size(); ++i) {
            ObjectReader r((*layers)[i], root.At("layers") + "/" + std::to_string(i), error);
            Layer l;
            if (!r.Need("number") || !r.Int("number", l.number) || !r.Int("skip", l.skip) ||
                !r.Text("name", 16, l.name) || !r.Int("colourCode", l.colourCode) ||
                !r.Int("widthCode", l.widthCode) || !r.Int("a", l.a) || !r.Int("b", l.b) ||
                !r.Doubles("record", l.record.size(), l.record.data()) || !r.Double("x", l.x) ||
                !r.Finish()) {
                return false;
            }
            if (l.number < 1 || l.number > 255) {
                return Fail(error, r.At("number"), "a layer number is 1-255");
            }
            if (!f.layers.empty() && l.number <= f.layers.back().number) {
                return Fail(error, r.At("number"), "layer numbers rise strictly");
            }
            f.layers.push_back(std::move(l));
        }
    } else {
        // A drawing needs a layer to draw on.
        Layer first;
        first.number = 1;
        f.layers.push_back(first);
    }

    auto apply = [](ObjectReader& r, auto& e) {
        bool any = false;
        return ApplyAttribute(r, e, any);
    };
    if (!ReadTable(root, "lineAttributes", f.lineAttributes, apply) ||
        !ReadTable(root, "pointAttributes", f.pointAttributes, apply) ||
        !ReadTable(root, "faceAttributes", f.faceAttributes, apply) ||
        !ReadTable(root, "markAttributes", f.markAttributes, apply) ||
        !ReadTable(root, "symbolAttributes", f.symbolAttributes, apply) ||
        !ReadTable(root, "arrowAttributes", f.arrowAttributes, apply)) {
        return false;
    }
    const bool tables =
        ReadTable(root, "pens", f.pens,
                  [](ObjectReader& r, PenEntry& e) {
                      return r.Int("pen", e.pen) && r.Int("widthCode", e.widthCode) &&
                             r.Int("colourCode", e.colourCode);
                  }) &&
        ReadTable(root, "colours", f.colours,
                  [](ObjectReader& r, ColourEntry& e) {
                      return r.Int("code", e.colourCode) && ReadRgb(r, e.red, e.green, e.blue);
                  }) &&
        ReadTable(root, "widths", f.widths,
                  [](ObjectReader& r, WidthEntry& e) {
                      return r.Int("code", e.widthCode) && r.Float("width", e.width);
                  }) &&
        ReadTable(root, "paintColours", f.paintColours,
                  [](ObjectReader& r, PaintColourEntry& e) {
                      return r.Int("paintNumber", e.paintNumber) &&
                             ReadRgb(r, e.red, e.green, e.blue);
                  }) &&
        ReadTable(root, "fonts", f.fonts, [](ObjectReader& r, FontEntry& e) {
            return r.Int("font", e.fontId) && r.Int("a", e.a) && r.Int("b", e.b) &&
                   r.Text("face", 31, e.faceName);
        });
    if (!tables) return false;

    if (const Json* texts = root.Take("headTexts")) {
        ObjectReader r(*texts, root.At("headTexts"), error);
        HeadTexts h;
        if (!r.Text("systemName", 16, h.systemName) || !r.Int("systemNumber", h.systemNumber) ||
            !r.Text("paperName", 16, h.paperName) || !r.Int("paperNumber", h.paperNumber) ||
            !r.Ints("frame", 8, h.frame.data()) || !r.Ints("size", 8, h.size.data()) ||
            !r.Text("message", 255, h.message) || !r.Text("selectionName", 255, h.selectionName)) {
            return false;
        }
        if (const Json* groups = r.Take("groupNames")) {
            if (!groups->is_array() || groups->size() > 11) {
                return Fail(error, r.At("groupNames"), "expected an array of at most 11 names");
            }
            for (std::size_t i = 0; i < groups->size(); ++i) {
                const std::string at = r.At("groupNames") + "/" + std::to_string(i);
                const Json& g = (*groups)[i];
                if (g.is_object()) {
                    ObjectReader one(g, at, error);
                    if (!one.Text("name", 17, h.groupNames[i]) || !one.Finish()) return false;
                } else if (!ReadCp932(g, at, 17, h.groupNames[i], error)) {
                    return false;
                }
            }
        }
        if (!r.Finish()) return false;
        f.headTexts = std::move(h);
    }

    if (const Json* sheets = root.Take("sheetInfo")) {
        if (!sheets->is_array()) return Fail(error, root.At("sheetInfo"), "expected an array");
        for (std::size_t i = 0; i < sheets->size(); ++i) {
            ObjectReader r((*sheets)[i], root.At("sheetInfo") + "/" + std::to_string(i), error);
            int entry = 0;
            std::int32_t deviceId = 0;
            if (!r.Need("entry") || !r.Int("entry", entry) || !r.Int("deviceId", deviceId)) {
                return false;
            }
            if (entry < 1 || entry > 4) return Fail(error, r.At("entry"), "an entry is 1-4");
            auto& slot = f.sheetInfo.entries[static_cast<std::size_t>(entry - 1)];
            if (slot)
                return Fail(error, r.At("entry"), "entry " + std::to_string(entry) + " twice");
            std::vector<std::uint8_t> bytes(kBlockSize, 0);
            if (const Json* other = r.Take("other")) {
                if (!ReadSparseBytes(*other, r.At("other"), bytes, error)) return false;
            }
            (void)StoreI32(bytes, 536, deviceId);
            if (!r.Finish()) return false;
            slot = std::move(bytes);
        }
    }

    if (const Json* background = root.Take("background")) {
        ObjectReader r(*background, root.At("background"), error);
        BackgroundImage b;
        if (!r.Int("imageCount", b.imageCount) || !r.Bool("hasImage", b.hasImage) ||
            !r.Text("name", 259, b.name) || !r.Int("a", b.a) || !r.Int("b", b.b) ||
            !r.Ints("cdef", 4, b.cdef.data()) || !r.Finish()) {
            return false;
        }
        f.background = std::move(b);
    }
    return true;
}

}  // namespace quillon_tool
