#include "ElementJson.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "TablesJson.h"
#include "pdbform/ElementLayout.h"
#include "pdbform/Positions.h"

namespace quillon_tool {
namespace {

using namespace pdbform;

// A text's byte count is an i16 of the fixed part.
constexpr std::size_t kMaxText = 32767;
// A source may not ask for more than this many bytes of one variable part.
constexpr std::size_t kMaxRest = std::size_t{1} << 28;
constexpr std::size_t kGroupNamesSize = kGroupShortNameSize + kGroupLongNameSize;

std::string AsText(std::span<const std::uint8_t> b) {
    return std::string(reinterpret_cast<const char*>(b.data()), b.size());
}

bool AllZero(std::span<const std::uint8_t> b) {
    return std::all_of(b.begin(), b.end(), [](std::uint8_t c) { return c == 0; });
}

// A NUL-padded name field read back: the bytes up to the first NUL.
std::string NameIn(std::span<const std::uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), std::uint8_t{0});
    return std::string(field.begin(), end);
}

const char* TableName(AttributeTable t) {
    switch (t) {
        case AttributeTable::kLine:
            return "lineAttributes";
        case AttributeTable::kPoint:
            return "pointAttributes";
        case AttributeTable::kMark:
            return "markAttributes";
        case AttributeTable::kSymbol:
            return "symbolAttributes";
        case AttributeTable::kNone:
            break;
    }
    return "";
}

// Shows the entry `id` of `table` (nothing for an id without an entry).
template <class T>
void PutEntry(Json& o, const Table<T>& table, std::int32_t id) {
    if (const T* entry = table.Get(id)) PutAttribute(o, *entry);
}

void PutAidEntry(Json& o, AttributeTable t, const PdbFile& f, std::int16_t aid) {
    switch (t) {
        case AttributeTable::kLine:
            return PutEntry(o, f.lineAttributes, aid);
        case AttributeTable::kPoint:
            return PutEntry(o, f.pointAttributes, aid);
        case AttributeTable::kMark:
            return PutEntry(o, f.markAttributes, aid);
        case AttributeTable::kSymbol:
            return PutEntry(o, f.symbolAttributes, aid);
        case AttributeTable::kNone:
            return;
    }
}

// The id of an attribute: given (then the values beside it must be those of its
// entry), or found or added from the values beside it, or 0 when there are none.
template <class T>
bool ResolveId(ObjectReader& r, const char* idKey, const char* tableName, Table<T>& table,
               bool mayAdd, std::int16_t& id) {
    const bool hasId = r.Has(idKey);
    if (!r.Int(idKey, id)) return false;
    const T* entry = hasId ? table.Get(id) : nullptr;
    T value = entry ? *entry : T{};
    bool any = false;
    if (!ApplyAttribute(r, value, any)) return false;
    if (hasId) {
        if (!any) return true;
        if (!entry) {
            return Fail(r.Error(), r.At(idKey),
                        std::string(tableName) + " has no entry " + std::to_string(id) +
                            "; leave the id out to have the values added");
        }
        if (!(value == *entry)) {
            return Fail(r.Error(), r.At(idKey),
                        "the values beside it differ from entry " + std::to_string(id) + " of " +
                            tableName + "; leave the id out to have them looked up or added");
        }
        return true;
    }
    if (!any) {
        id = 0;
        return true;
    }
    if (!mayAdd) return Fail(r.Error(), r.At(idKey), "missing");
    id = table.LookUpOrAdd(value);
    if (id == 0) return Fail(r.Error(), r.At(idKey), std::string(tableName) + " is full");
    return true;
}

bool ResolveAid(ObjectReader& r, AttributeTable t, PdbFile& f, bool mayAdd, std::int16_t& aid) {
    switch (t) {
        case AttributeTable::kLine:
            return ResolveId(r, "aid", TableName(t), f.lineAttributes, mayAdd, aid);
        case AttributeTable::kPoint:
            return ResolveId(r, "aid", TableName(t), f.pointAttributes, mayAdd, aid);
        case AttributeTable::kMark:
            return ResolveId(r, "aid", TableName(t), f.markAttributes, mayAdd, aid);
        case AttributeTable::kSymbol:
            return ResolveId(r, "aid", TableName(t), f.symbolAttributes, mayAdd, aid);
        case AttributeTable::kNone:
            break;
    }
    return r.Int("aid", aid);
}

// The fixed part's coordinate pairs and, for the kinds whose variable part is
// points, those after them.
struct Points {
    std::vector<std::pair<double, double>> list;
    std::size_t next = 0;
    bool given = false;  // a source that leaves "points" out puts its coordinates at 0
};

bool ReadPoints(ObjectReader& r, Points& points) {
    const Json* v = r.Take("points");
    if (!v) return r.Ok();
    if (!v->is_array()) return Fail(r.Error(), r.At("points"), "expected an array of [x, y]");
    points.given = true;
    points.list.resize(v->size());
    for (std::size_t i = 0; i < v->size(); ++i) {
        if (!ReadPoint((*v)[i], r.At("points") + "/" + std::to_string(i), points.list[i].first,
                       points.list[i].second, r.Error())) {
            return false;
        }
    }
    return true;
}

void StorePoint(std::vector<std::uint8_t>& b, std::size_t at, double x, double y) {
    (void)StoreF64(b, at, x);
    (void)StoreF64(b, at + 8, y);
}

// --- Reading a source -------------------------------------------------------

bool ReadFixedFields(ObjectReader& r, int base, PdbFile& f, bool mayAdd, Points& points,
                     std::optional<std::int16_t>& textLength, std::vector<std::uint8_t>& fixed) {
    for (const FieldSpec& field : FixedFields(base)) {
        const std::size_t at = field.offset;
        switch (field.type) {
            case FieldType::kPoint: {
                if (points.next < points.list.size()) {
                    const auto [x, y] = points.list[points.next];
                    StorePoint(fixed, at, x, y);
                }
                ++points.next;
                break;
            }
            case FieldType::kF64: {
                std::vector<double> v(field.count, 0.0);
                const bool ok = field.count == 1 ? r.Double(field.name, v[0])
                                                 : r.Doubles(field.name, field.count, v.data());
                if (!ok) return false;
                for (std::size_t i = 0; i < v.size(); ++i) (void)StoreF64(fixed, at + 8 * i, v[i]);
                break;
            }
            case FieldType::kI32: {
                std::vector<std::int32_t> v(field.count, 0);
                const bool ok = field.count == 1 ? r.Int(field.name, v[0])
                                                 : r.Ints(field.name, field.count, v.data());
                if (!ok) return false;
                for (std::size_t i = 0; i < v.size(); ++i) (void)StoreI32(fixed, at + 4 * i, v[i]);
                break;
            }
            case FieldType::kI16: {
                std::int16_t v = 0;
                if (!r.Int(field.name, v)) return false;
                (void)StoreI16(fixed, at, v);
                break;
            }
            case FieldType::kU8: {
                if (!r.Int(field.name, fixed[at])) return false;
                break;
            }
            case FieldType::kBytes: {
                if (!r.Bytes(field.name, field.count, fixed.data() + at)) return false;
                break;
            }
            case FieldType::kName: {
                std::string name;
                if (!r.Text(field.name, field.count - 1u, name)) return false;
                std::copy(name.begin(), name.end(),
                          fixed.begin() + static_cast<std::ptrdiff_t>(at));
                break;
            }
            case FieldType::kTextLength: {
                std::int16_t v = 0;
                if (r.Has(field.name)) {
                    if (!r.Int(field.name, v)) return false;
                    textLength = v;
                }
                break;
            }
            case FieldType::kFaceId: {
                std::int16_t id = 0;
                if (!ResolveId(r, "face", "faceAttributes", f.faceAttributes, mayAdd, id))
                    return false;
                (void)StoreI16(fixed, at, id);
                break;
            }
            case FieldType::kArrowId: {
                std::int16_t id = 0;
                if (!ResolveId(r, "arrow", "arrowAttributes", f.arrowAttributes, mayAdd, id)) {
                    return false;
                }
                (void)StoreI16(fixed, at, id);
                break;
            }
        }
    }
    return true;
}

bool ReadBoundaryItems(ObjectReader& r, std::vector<std::uint8_t>& rest) {
    const Json* items = r.Take("items");
    if (!items) return r.Ok();
    if (!items->is_array()) return Fail(r.Error(), r.At("items"), "expected an array");
    if (items->size() > kMaxRest / kBoundaryItemSize)
        return Fail(r.Error(), r.At("items"), "too many items");
    for (std::size_t i = 0; i < items->size(); ++i) {
        ObjectReader item((*items)[i], r.At("items") + "/" + std::to_string(i), r.Error());
        std::int16_t code = 0;
        if (!item.Need("code") || !item.Int("code", code)) return false;
        double values[kBoundaryItemValues] = {};
        if (const Json* v = item.Take("values")) {
            if (!v->is_array() || v->size() > kBoundaryItemValues) {
                return Fail(r.Error(), item.At("values"), "expected an array of at most 6 numbers");
            }
            for (std::size_t k = 0; k < v->size(); ++k) {
                if (!ReadDouble((*v)[k], item.At("values") + "/" + std::to_string(k), values[k],
                                r.Error())) {
                    return false;
                }
            }
        }
        if (!item.Finish()) return false;
        const std::size_t at = rest.size();
        rest.resize(at + kBoundaryItemSize, 0);
        (void)StoreI16(rest, at, code);
        for (std::size_t k = 0; k < kBoundaryItemValues; ++k)
            (void)StoreF64(rest, at + 2 + 8 * k, values[k]);
    }
    return true;
}

bool ReadContourItems(ObjectReader& r, std::vector<std::uint8_t>& rest) {
    const Json* items = r.Take("items");
    if (!items) return r.Ok();
    if (!items->is_array()) return Fail(r.Error(), r.At("items"), "expected an array");
    if (items->size() > kMaxRest / kContourItemSize)
        return Fail(r.Error(), r.At("items"), "too many items");
    for (std::size_t i = 0; i < items->size(); ++i) {
        ObjectReader item((*items)[i], r.At("items") + "/" + std::to_string(i), r.Error());
        double x = 0, y = 0, angle = 0;
        float lengths[2] = {0, 0};
        if (const Json* at = item.Take("at")) {
            if (!ReadPoint(*at, item.At("at"), x, y, r.Error())) return false;
        }
        if (!item.Double("angle", angle)) return false;
        if (const Json* l = item.Take("lengths")) {
            if (!l->is_array() || l->size() != 2) {
                return Fail(r.Error(), item.At("lengths"), "expected [t1, t2]");
            }
            for (std::size_t k = 0; k < 2; ++k) {
                if (!ReadFloat((*l)[k], item.At("lengths") + "/" + std::to_string(k), lengths[k],
                               r.Error())) {
                    return false;
                }
            }
        }
        if (!item.Finish()) return false;
        const std::size_t at = rest.size();
        rest.resize(at + kContourItemSize, 0);
        StorePoint(rest, at, x, y);
        (void)StoreF64(rest, at + 16, angle);
        (void)StoreF32(rest, at + 24, lengths[0]);
        (void)StoreF32(rest, at + 28, lengths[1]);
    }
    return true;
}

bool ReadGroup(ObjectReader& r, std::vector<std::uint8_t>& rest) {
    if (!r.Has("shortName") && !r.Has("shortNameHex") && !r.Has("longName") &&
        !r.Has("longNameHex") && !r.Has("numbers")) {
        return true;  // a group without its names: an empty variable part
    }
    std::string shortName, longName;
    if (!r.Text("shortName", kGroupShortNameSize, shortName) ||
        !r.Text("longName", kGroupLongNameSize, longName)) {
        return false;
    }
    rest.assign(kGroupNamesSize, 0);
    std::copy(shortName.begin(), shortName.end(), rest.begin());
    std::copy(longName.begin(), longName.end(),
              rest.begin() + static_cast<std::ptrdiff_t>(kGroupShortNameSize));
    if (const Json* numbers = r.Take("numbers")) {
        if (!numbers->is_array()) return Fail(r.Error(), r.At("numbers"), "expected an array");
        if (numbers->size() > kMaxRest / 4)
            return Fail(r.Error(), r.At("numbers"), "too many numbers");
        for (std::size_t i = 0; i < numbers->size(); ++i) {
            std::uint32_t n = 0;
            if (!ReadInt((*numbers)[i], r.At("numbers") + "/" + std::to_string(i), n, r.Error())) {
                return false;
            }
            rest.resize(rest.size() + 4);
            (void)StoreU32(rest, rest.size() - 4, n);
        }
    }
    return true;
}

// --- Showing an element -------------------------------------------------------

// The named fields of a fixed part of the right length. Returns the text length
// word (for kinds with a text) through `textLength`.
void PutFixedFields(Json& named, Json& points, int base, const Element& e, const PdbFile& f,
                    std::optional<std::int16_t>& textLength) {
    for (const FieldSpec& field : FixedFields(base)) {
        const std::size_t at = field.offset;
        const auto bytes = std::span(e.fixed).subspan(at, FieldSize(field));
        switch (field.type) {
            case FieldType::kPoint: {
                double x = 0, y = 0;
                (void)LoadF64(e.fixed, at, x);
                (void)LoadF64(e.fixed, at + 8, y);
                points.push_back(PointJson(x, y));
                break;
            }
            case FieldType::kF64: {
                Json v = Json::array();
                for (std::size_t i = 0; i < field.count; ++i) {
                    double d = 0;
                    (void)LoadF64(e.fixed, at + 8 * i, d);
                    v.push_back(DoubleJson(d));
                }
                named[field.name] = field.count == 1 ? v[0] : v;
                break;
            }
            case FieldType::kI32: {
                Json v = Json::array();
                for (std::size_t i = 0; i < field.count; ++i) {
                    std::int32_t n = 0;
                    (void)LoadI32(e.fixed, at + 4 * i, n);
                    v.push_back(n);
                }
                named[field.name] = field.count == 1 ? v[0] : v;
                break;
            }
            case FieldType::kI16: {
                std::int16_t n = 0;
                (void)LoadI16(e.fixed, at, n);
                named[field.name] = n;
                break;
            }
            case FieldType::kU8:
                named[field.name] = e.fixed[at];
                break;
            case FieldType::kBytes:
                if (!AllZero(bytes)) named[field.name] = HexOf(bytes);
                break;
            case FieldType::kName:
                // A name without its NUL is not a name: its bytes stay in raw.fixed.
                if (std::find(bytes.begin(), bytes.end(), std::uint8_t{0}) != bytes.end()) {
                    PutText(named, field.name, NameIn(bytes));
                }
                break;
            case FieldType::kTextLength: {
                std::int16_t n = 0;
                (void)LoadI16(e.fixed, at, n);
                textLength = n;
                break;
            }
            case FieldType::kFaceId: {
                std::int16_t id = 0;
                (void)LoadI16(e.fixed, at, id);
                named["face"] = id;
                PutEntry(named, f.faceAttributes, id);
                break;
            }
            case FieldType::kArrowId: {
                std::int16_t id = 0;
                (void)LoadI16(e.fixed, at, id);
                named["arrow"] = id;
                PutEntry(named, f.arrowAttributes, id);
                break;
            }
        }
    }
}

// The variable part by its layout; false when it does not have that layout (then
// it is shown as raw bytes).
bool PutVariablePart(Json& named, Json& points, VariableLayout layout, const Element& e,
                     std::optional<std::int16_t> textLength) {
    const std::vector<std::uint8_t>& rest = e.rest;
    switch (layout) {
        case VariableLayout::kNone:
        case VariableLayout::kUnknown:
            return rest.empty();
        case VariableLayout::kPoints:
            if (rest.size() % kPointSize != 0) return false;
            for (std::size_t at = 0; at < rest.size(); at += kPointSize) {
                double x = 0, y = 0;
                (void)LoadF64(rest, at, x);
                (void)LoadF64(rest, at + 8, y);
                points.push_back(PointJson(x, y));
            }
            return true;
        case VariableLayout::kText:
            if (rest.size() > kMaxText) return false;
            PutText(named, "text", AsText(rest));
            if (textLength && *textLength != static_cast<std::int16_t>(rest.size())) {
                named["textLength"] = *textLength;
            }
            return true;
        case VariableLayout::kBoundaryItems: {
            if (rest.size() % kBoundaryItemSize != 0) return false;
            Json items = Json::array();
            for (std::size_t at = 0; at < rest.size(); at += kBoundaryItemSize) {
                std::int16_t code = 0;
                (void)LoadI16(rest, at, code);
                std::vector<double> values(kBoundaryItemValues, 0.0);
                for (std::size_t k = 0; k < values.size(); ++k)
                    (void)LoadF64(rest, at + 2 + 8 * k, values[k]);
                // Unused trailing values are zero: left out for reading.
                while (!values.empty() && values.back() == 0 && !std::signbit(values.back())) {
                    values.pop_back();
                }
                Json v = Json::array();
                for (double d : values) v.push_back(DoubleJson(d));
                Json item = Json::object();
                item["code"] = code;
                item["values"] = std::move(v);
                items.push_back(std::move(item));
            }
            named["items"] = std::move(items);
            return true;
        }
        case VariableLayout::kContourItems: {
            if (rest.size() % kContourItemSize != 0) return false;
            Json items = Json::array();
            for (std::size_t at = 0; at < rest.size(); at += kContourItemSize) {
                double x = 0, y = 0, angle = 0;
                float t1 = 0, t2 = 0;
                (void)LoadF64(rest, at, x);
                (void)LoadF64(rest, at + 8, y);
                (void)LoadF64(rest, at + 16, angle);
                (void)LoadF32(rest, at + 24, t1);
                (void)LoadF32(rest, at + 28, t2);
                Json item = Json::object();
                item["at"] = PointJson(x, y);
                item["angle"] = DoubleJson(angle);
                item["lengths"] = Json::array({FloatJson(t1), FloatJson(t2)});
                items.push_back(std::move(item));
            }
            named["items"] = std::move(items);
            return true;
        }
        case VariableLayout::kGroup: {
            if (rest.empty()) return true;
            if (rest.size() < kGroupNamesSize || (rest.size() - kGroupNamesSize) % 4 != 0) {
                return false;
            }
            const auto span = std::span(rest);
            PutText(named, "shortName", NameIn(span.subspan(0, kGroupShortNameSize)));
            PutText(named, "longName",
                    NameIn(span.subspan(kGroupShortNameSize, kGroupLongNameSize)));
            Json numbers = Json::array();
            for (std::size_t at = kGroupNamesSize; at < rest.size(); at += 4) {
                std::uint32_t n = 0;
                (void)LoadU32(rest, at, n);
                numbers.push_back(n);
            }
            named["numbers"] = std::move(numbers);
            return true;
        }
    }
    return false;
}

}  // namespace

bool ElementFromJson(const Json& source, const std::string& path, PdbFile& f, bool mayAdd,
                     Element& out, std::optional<std::uint32_t>& position, std::string& error) {
    ObjectReader r(source, path, error);
    if (!r.Ok()) return false;
    position.reset();
    if (r.Has("position")) {
        std::uint32_t p = 0;
        if (!r.Int("position", p)) return false;
        if (!IsElementPosition(p)) {
            return Fail(
                error, r.At("position"),
                std::to_string(p) + " is the header slot of an index block (0, 128, 256 ...)");
        }
        position = p;
    }
    if (r.Has("number")) {
        std::uint32_t n = 0;
        if (!r.Int("number", n)) return false;
        if (n == 0) return Fail(error, r.At("number"), "element numbers start at 1");
        const std::uint64_t p = PositionOfNumber(n);
        if (position && *position != p) {
            return Fail(error, r.At("number"),
                        "element " + std::to_string(n) + " is at position " + std::to_string(p) +
                            ", not " + std::to_string(*position));
        }
        if (p >= 0xFFFFFFFFull) return Fail(error, r.At("number"), "too large");
        position = static_cast<std::uint32_t>(p);
    }
    std::int16_t kind = 0;
    if (!r.Need("kind") || !r.Int("kind", kind)) return false;
    const int base = BaseKind(kind);
    const std::optional<std::uint16_t> knownSize = FixedPartSize(base);

    std::vector<std::uint8_t> rawFixed, rawRest;
    bool hasRawFixed = false, hasRawRest = false;
    if (const Json* raw = r.Take("raw")) {
        ObjectReader rr(*raw, r.At("raw"), error);
        if (const Json* v = rr.Take("fixed")) {
            if (!ReadHex(*v, rr.At("fixed"), 0xFFFF, rawFixed, error)) return false;
            if (knownSize && rawFixed.size() != *knownSize) {
                return Fail(error, rr.At("fixed"),
                            std::to_string(rawFixed.size()) + " bytes; the fixed part of kind " +
                                std::to_string(base) + " is " + std::to_string(*knownSize));
            }
            hasRawFixed = true;
        }
        if (const Json* v = rr.Take("rest")) {
            if (!ReadHex(*v, rr.At("rest"), kMaxRest, rawRest, error)) return false;
            hasRawRest = true;
        }
        if (!rr.Finish()) return false;
    }
    if (!knownSize && !hasRawFixed) {
        return Fail(error, r.At("kind"),
                    "kind " + std::to_string(kind) +
                        " has no fields of its own: give its fixed part as raw.fixed (hex)");
    }
    const std::size_t fixedSize = knownSize ? *knownSize : rawFixed.size();

    Element e;
    e.kind = kind;
    e.fixed.assign(fixedSize, 0);
    if (fixedSize >= 6) {
        std::int16_t layer = 1, second = 0, aid = 0;
        if (!r.Int("layer", layer) || !r.Int("second", second) ||
            !ResolveAid(r, AttributeTableOf(base), f, mayAdd, aid)) {
            return false;
        }
        (void)StoreI16(e.fixed, 0, layer);
        (void)StoreI16(e.fixed, 2, second);
        (void)StoreI16(e.fixed, 4, aid);
    } else {
        for (const char* key : {"layer", "second", "aid"}) {
            if (r.Has(key)) {
                return Fail(error, r.At(key),
                            "kind " + std::to_string(kind) +
                                " has no header words (its fixed part is " +
                                std::to_string(fixedSize) + " bytes)");
            }
        }
    }

    Points points;
    std::optional<std::int16_t> textLength;
    if (!ReadPoints(r, points) ||
        !ReadFixedFields(r, base, f, mayAdd, points, textLength, e.fixed)) {
        return false;
    }
    const VariableLayout layout = VariableLayoutOf(base);
    const std::size_t fixedPoints = points.next;
    if (points.given) {
        const bool more = layout == VariableLayout::kPoints;
        if (points.list.size() < fixedPoints || (!more && points.list.size() != fixedPoints)) {
            return Fail(error, r.At("points"),
                        "kind " + std::to_string(base) + " has " + std::to_string(fixedPoints) +
                            (more ? " or more" : "") + " points, found " +
                            std::to_string(points.list.size()));
        }
    }

    switch (layout) {
        case VariableLayout::kPoints:
            if (points.list.size() - fixedPoints > kMaxRest / kPointSize) {
                return Fail(error, r.At("points"), "too many points");
            }
            for (std::size_t i = fixedPoints; i < points.list.size(); ++i) {
                e.rest.resize(e.rest.size() + kPointSize);
                StorePoint(e.rest, e.rest.size() - kPointSize, points.list[i].first,
                           points.list[i].second);
            }
            break;
        case VariableLayout::kText: {
            std::string text;
            if (!r.Text("text", kMaxText, text)) return false;
            e.rest.assign(text.begin(), text.end());
            for (const FieldSpec& field : FixedFields(base)) {
                if (field.type == FieldType::kTextLength) {
                    (void)StoreI16(e.fixed, field.offset,
                                   textLength.value_or(static_cast<std::int16_t>(text.size())));
                }
            }
            break;
        }
        case VariableLayout::kBoundaryItems:
            if (!ReadBoundaryItems(r, e.rest)) return false;
            break;
        case VariableLayout::kContourItems:
            if (!ReadContourItems(r, e.rest)) return false;
            break;
        case VariableLayout::kGroup:
            if (!ReadGroup(r, e.rest)) return false;
            break;
        case VariableLayout::kNone:
        case VariableLayout::kUnknown:
            break;
    }
    if (!r.Finish()) return false;
    if (hasRawFixed) e.fixed = std::move(rawFixed);
    if (hasRawRest) e.rest = std::move(rawRest);
    out = std::move(e);
    return true;
}

Json ElementToJson(std::uint32_t position, const Element& e, PdbFile& f) {
    const int base = BaseKind(e.kind);
    const std::optional<std::uint16_t> knownSize = FixedPartSize(base);
    const bool known = knownSize && *knownSize == e.fixed.size();

    Json head = Json::object();
    head["position"] = position;
    head["number"] = ElementNumber(position);
    head["kind"] = e.kind;

    Json o = head;
    if (e.fixed.size() >= 6) {
        o["layer"] = e.Layer();
        o["second"] = e.SecondWord();
        o["aid"] = e.AttributeId();
        if (known) PutAidEntry(o, AttributeTableOf(base), f, e.AttributeId());
    }
    Json points = Json::array();
    Json named = Json::object();
    std::optional<std::int16_t> textLength;
    bool restShown = false;
    if (known) {
        PutFixedFields(named, points, base, e, f, textLength);
        restShown = PutVariablePart(named, points, VariableLayoutOf(base), e, textLength);
    }
    if (!points.empty()) o["points"] = std::move(points);
    for (auto& [key, value] : named.items()) o[key] = std::move(value);

    // Whatever the fields do not make again byte for byte is kept as raw bytes.
    auto check = [&](const Json& candidate, bool& fixedSame, bool& restSame) {
        Element again;
        std::optional<std::uint32_t> at;
        std::string why;
        if (!ElementFromJson(candidate, "", f, false, again, at, why)) return false;
        fixedSame = again.fixed == e.fixed;
        restSame = again.rest == e.rest;
        return true;
    };
    Json raw = Json::object();
    bool fixedSame = false, restSame = false;
    const bool readable = known && check(o, fixedSame, restSame);
    if (!readable || !fixedSame) raw["fixed"] = HexOf(e.fixed);
    if ((!readable || !restSame || !restShown) && !e.rest.empty()) raw["rest"] = HexOf(e.rest);
    if (!raw.empty()) o["raw"] = raw;
    if (readable && fixedSame && restSame) return o;
    // The fields beside the raw bytes must still read; if they do not, the element is
    // shown by its bytes alone.
    bool unused1 = false, unused2 = false;
    if (check(o, unused1, unused2)) return o;
    head["raw"] = Json::object({{"fixed", HexOf(e.fixed)}, {"rest", HexOf(e.rest)}});
    return head;
}

}  // namespace quillon_tool
