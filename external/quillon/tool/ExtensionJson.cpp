#include "ExtensionJson.h"

#include <algorithm>

#include "ByteOrder.h"
#include "pdbform/ExtensionEntries.h"

namespace quillon_tool {
namespace {

using pdbform::ExtensionEntry;
using namespace pdbform::ext;

// Entries written by the PDB writer: a few KiB at most; a source cannot ask for more.
constexpr std::size_t kMaxEntry = 1u << 20;

// Little-endian output of one entry's bytes.
class Out {
  public:
    explicit Out(std::vector<std::uint8_t>& b) : b_(b) {}
    void U8(std::uint8_t v) { b_.push_back(v); }
    void I16(std::int16_t v) { (void)StoreI16(Grow(2), 0, v); }
    void U16(std::uint16_t v) { (void)StoreU16(Grow(2), 0, v); }
    void I32(std::int32_t v) { (void)StoreI32(Grow(4), 0, v); }
    void U32(std::uint32_t v) { (void)StoreU32(Grow(4), 0, v); }
    void F32(float v) { (void)StoreF32(Grow(4), 0, v); }
    void F64(double v) { (void)StoreF64(Grow(8), 0, v); }
    void Name(const std::string& s, std::size_t field) {
        auto room = Grow(field);
        std::copy_n(s.begin(), std::min(s.size(), field), room.begin());
    }

  private:
    std::span<std::uint8_t> Grow(std::size_t n) {
        b_.resize(b_.size() + n, 0);
        return std::span(b_).subspan(b_.size() - n);
    }
    std::vector<std::uint8_t>& b_;
};

// Sequential little-endian input; `ok` turns false past the end.
class In {
  public:
    explicit In(const std::vector<std::uint8_t>& b) : b_(b) {}
    std::uint8_t U8() { return Fits(1) ? b_[at_++] : 0; }
    std::int16_t I16() { return Get<std::int16_t>(2, LoadI16); }
    std::uint16_t U16() { return Get<std::uint16_t>(2, LoadU16); }
    std::int32_t I32() { return Get<std::int32_t>(4, LoadI32); }
    std::uint32_t U32() { return Get<std::uint32_t>(4, LoadU32); }
    float F32() { return Get<float>(4, LoadF32); }
    double F64() { return Get<double>(8, LoadF64); }
    std::string Name(std::size_t field) {
        if (!Fits(field)) return {};
        const auto begin = b_.begin() + static_cast<std::ptrdiff_t>(at_);
        const auto end =
            std::find(begin, begin + static_cast<std::ptrdiff_t>(field), std::uint8_t{0});
        at_ += field;
        return std::string(begin, end);
    }
    [[nodiscard]] std::size_t Left() const { return b_.size() - at_; }
    bool ok = true;

  private:
    bool Fits(std::size_t n) {
        if (!ok || !FitsIn(b_.size(), at_, n)) ok = false;
        return ok;
    }
    template <class T, class L>
    T Get(std::size_t n, L load) {
        T v{};
        if (Fits(n)) {
            (void)load(b_, at_, v);
            at_ += n;
        }
        return v;
    }
    const std::vector<std::uint8_t>& b_;
    std::size_t at_ = 0;
};

Json Rgb(In& in) {
    Json rgb = Json::array({in.U8(), in.U8(), in.U8()});
    (void)in.U8();
    return rgb;
}

// The decoded fields of a known tag; null for another tag or bytes that do not fit.
Json Decode(const ExtensionEntry& e) {
    In in(e.bytes);
    Json o = Json::object();
    o["tag"] = e.tag;
    switch (e.tag) {
        case kTagHead:
            o["sourceKind"] = in.I32();
            break;
        case kTagLayer:
            o["layer"] = in.I16();
            PutText(o, "name", in.Name(kLayerNameField));
            o["rgb"] = Rgb(in);
            o["width"] = DoubleJson(in.F64());
            break;
        case kTagPen:
        case kTagPaintPen:
            o[e.tag == kTagPen ? "pen" : "paintNumber"] = in.I16();
            o["rgb"] = Rgb(in);
            o["width"] = DoubleJson(in.F64());
            o["colourCode"] = in.I32();
            o["widthCode"] = in.I32();
            break;
        case kTagFont:
            o["font"] = in.I16();
            PutText(o, "face", in.Name(kFaceNameField));
            break;
        case kTagSymbol:
            o["element"] = in.U32();
            o["ratio"] = DoubleJson(in.F64());
            o["flag"] = in.I32();
            o["d7"] = DoubleJson(in.F64());
            o["d9"] = DoubleJson(in.F64());
            break;
        case kTagLinePattern: {
            o["element"] = in.U32();
            o["segments"] = in.U8();
            const std::size_t m = in.U8();
            Json values = Json::array();
            for (std::size_t i = 0; i < m && in.ok; ++i) values.push_back(FloatJson(in.F32()));
            o["values"] = std::move(values);
            break;
        }
        case kTagHolePiece: {
            o["element"] = in.U32();
            o["hole"] = in.U16();
            o["piece"] = in.U16();
            o["type"] = in.I16();
            Json values = Json::array();
            if (in.Left() % 8 != 0) return nullptr;
            while (in.ok && in.Left() >= 8) values.push_back(DoubleJson(in.F64()));
            o["values"] = std::move(values);
            break;
        }
        default:
            return nullptr;
    }
    if (!in.ok || in.Left() != 0) return nullptr;
    return o;
}

bool ReadRgb(ObjectReader& r, Out& out) {
    std::uint8_t rgb[3] = {0, 0, 0};
    if (!r.Ints("rgb", 3, rgb)) return false;
    for (std::uint8_t c : rgb) out.U8(c);
    out.U8(0);
    return true;
}

bool ReadFloats(ObjectReader& r, std::size_t max, std::vector<float>& out) {
    const Json* v = r.Take("values");
    if (!v) return r.Ok();
    if (!v->is_array() || v->size() > max) {
        return Fail(r.Error(), r.At("values"),
                    "expected an array of at most " + std::to_string(max) + " numbers");
    }
    out.resize(v->size());
    for (std::size_t i = 0; i < v->size(); ++i) {
        if (!ReadFloat((*v)[i], r.At("values") + "/" + std::to_string(i), out[i], r.Error()))
            return false;
    }
    return true;
}

bool Encode(ObjectReader& r, std::uint16_t tag, std::vector<std::uint8_t>& bytes) {
    Out out(bytes);
    switch (tag) {
        case kTagHead: {
            std::int32_t kind = 0;
            if (!r.Int("sourceKind", kind)) return false;
            out.I32(kind);
            return true;
        }
        case kTagLayer: {
            std::int16_t layer = 0;
            std::string name;
            double width = 0;
            if (!r.Int("layer", layer) || !r.Text("name", 16, name)) return false;
            out.I16(layer);
            out.Name(name, kLayerNameField);
            if (!ReadRgb(r, out) || !r.Double("width", width)) return false;
            out.F64(width);
            return true;
        }
        case kTagPen:
        case kTagPaintPen: {
            std::int16_t number = 0;
            double width = 0;
            std::int32_t colourCode = 0, widthCode = 0;
            if (!r.Int(tag == kTagPen ? "pen" : "paintNumber", number)) return false;
            out.I16(number);
            if (!ReadRgb(r, out) || !r.Double("width", width) || !r.Int("colourCode", colourCode) ||
                !r.Int("widthCode", widthCode)) {
                return false;
            }
            out.F64(width);
            out.I32(colourCode);
            out.I32(widthCode);
            return true;
        }
        case kTagFont: {
            std::int16_t font = 0;
            std::string face;
            if (!r.Int("font", font) || !r.Text("face", 32, face)) return false;
            out.I16(font);
            out.Name(face, kFaceNameField);
            return true;
        }
        case kTagSymbol: {
            std::uint32_t element = 0;
            double ratio = 0, d7 = 0, d9 = 0;
            std::int32_t flag = 0;
            if (!r.Int("element", element) || !r.Double("ratio", ratio) || !r.Int("flag", flag) ||
                !r.Double("d7", d7) || !r.Double("d9", d9)) {
                return false;
            }
            out.U32(element);
            out.F64(ratio);
            out.I32(flag);
            out.F64(d7);
            out.F64(d9);
            return true;
        }
        case kTagLinePattern: {
            std::uint32_t element = 0;
            std::uint8_t segments = 0;
            std::vector<float> values;
            if (!r.Int("element", element) || !r.Int("segments", segments) ||
                !ReadFloats(r, 255, values)) {
                return false;
            }
            out.U32(element);
            out.U8(segments);
            out.U8(static_cast<std::uint8_t>(values.size()));
            for (float v : values) out.F32(v);
            return true;
        }
        case kTagHolePiece: {
            std::uint32_t element = 0;
            std::uint16_t hole = 0, piece = 0;
            std::int16_t type = 0;
            if (!r.Int("element", element) || !r.Int("hole", hole) || !r.Int("piece", piece) ||
                !r.Int("type", type)) {
                return false;
            }
            out.U32(element);
            out.U16(hole);
            out.U16(piece);
            out.I16(type);
            if (const Json* v = r.Take("values")) {
                if (!v->is_array() || v->size() > kMaxEntry / 8) {
                    return Fail(r.Error(), r.At("values"), "expected an array of numbers");
                }
                for (std::size_t i = 0; i < v->size(); ++i) {
                    double d = 0;
                    if (!ReadDouble((*v)[i], r.At("values") + "/" + std::to_string(i), d,
                                    r.Error())) {
                        return false;
                    }
                    out.F64(d);
                }
            }
            return true;
        }
        default:
            return Fail(
                r.Error(), r.At("tag"),
                "tag " + std::to_string(tag) + " has no fields of its own: give its bytes as hex");
    }
}

bool ReadEntry(const Json& source, const std::string& path, ExtensionEntry& e, std::string& error) {
    ObjectReader r(source, path, error);
    if (!r.Need("tag") || !r.Int("tag", e.tag)) return false;
    e.bytes.clear();
    if (const Json* hex = r.Take("hex")) {
        if (!ReadHex(*hex, r.At("hex"), kMaxEntry, e.bytes, error)) return false;
    } else if (!Encode(r, e.tag, e.bytes)) {
        return false;
    }
    return r.Finish();
}

}  // namespace

Json ExtensionJson(const std::vector<ExtensionEntry>& entries) {
    Json list = Json::array();
    for (const ExtensionEntry& e : entries) {
        Json o = Decode(e);
        // Only a decoding that makes the same bytes again is shown by its fields.
        if (!o.is_null()) {
            ExtensionEntry again;
            std::string why;
            if (!ReadEntry(o, "", again, why) || again.bytes != e.bytes) o = nullptr;
        }
        if (o.is_null()) o = Json::object({{"tag", e.tag}, {"hex", HexOf(e.bytes)}});
        list.push_back(std::move(o));
    }
    return list;
}

bool ReadExtension(ObjectReader& root, std::vector<ExtensionEntry>& out) {
    const Json* list = root.Take("extension");
    if (!list) return root.Ok();
    if (!list->is_array()) return Fail(root.Error(), root.At("extension"), "expected an array");
    for (std::size_t i = 0; i < list->size(); ++i) {
        ExtensionEntry e;
        if (!ReadEntry((*list)[i], root.At("extension") + "/" + std::to_string(i), e,
                       root.Error())) {
            return false;
        }
        out.push_back(std::move(e));
    }
    return true;
}

}  // namespace quillon_tool
