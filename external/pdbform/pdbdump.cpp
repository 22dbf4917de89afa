// pdbdump: prints a file in PDB form (a drawing or a PDB) as text, or as JSON with
// --json. Names and texts are converted from code page 932 to UTF-8.
//
// Usage: pdbdump [--json] FILE
// Exit code 0, 1 for a file that does not load (the status and reason go to stderr),
// 2 for a usage error.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "ByteOrder.h"
#include "pdbform/ElementLayout.h"
#include "pdbform/FormIo.h"
#include "pdbform/Positions.h"
#include "platform/Cp932.h"

namespace {

using namespace pdbform;

// One named value of an element or table entry, already formatted as JSON
// (numbers as numbers, texts quoted).
struct Field {
    std::string name;
    std::string json;
};

std::string Quote(std::string_view utf8) {
    std::string out = "\"";
    for (unsigned char c : utf8) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
std::string Text(std::string_view cp932) { return Quote(platform::Cp932ToUtf8Lossy(cp932)); }
std::string Num(double v) {
    if (!std::isfinite(v)) return "null";
    std::ostringstream s;
    s.precision(17);
    s << v;
    return s.str();
}
std::string Num(long long v) { return std::to_string(v); }
std::string Hex(std::span<const std::uint8_t> b, std::size_t max = 64) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < b.size() && i < max; ++i) {
        std::snprintf(buf, sizeof buf, "%02x", b[i]);
        out += buf;
    }
    if (b.size() > max) out += "...";
    return Quote(out);
}

std::vector<Field> ElementFields(std::uint32_t pos, const Element& e) {
    std::vector<Field> f{{"position", Num(static_cast<long long>(pos))},
                         {"number", Num(static_cast<long long>(ElementNumber(pos)))},
                         {"kind", Num(static_cast<long long>(e.kind))},
                         {"layer", Num(static_cast<long long>(e.Layer()))},
                         {"second", Num(static_cast<long long>(e.SecondWord()))},
                         {"aid", Num(static_cast<long long>(e.AttributeId()))}};
    const int base = BaseKind(e.kind);
    std::string values = "[";
    std::size_t at = 6;
    auto add = [&](const std::string& v) { values += (values.size() > 1 ? "," : "") + v; };
    // The plain numeric fields in order, up to the first that is not one (an i32 or
    // a run of bytes): those are left to the fixedRest bytes.
    for (const FieldSpec& field : FixedFields(base)) {
        if (field.offset != at || !FitsIn(e.fixed.size(), at, FieldSize(field))) break;
        if (field.type == FieldType::kPoint || field.type == FieldType::kF64) {
            const std::size_t n = field.type == FieldType::kPoint ? 2 : field.count;
            for (std::size_t i = 0; i < n; ++i) {
                double d = 0;
                (void)LoadF64(e.fixed, at + 8 * i, d);
                add(Num(d));
            }
        } else if (field.type == FieldType::kU8) {
            add(Num(static_cast<long long>(e.fixed[at])));
        } else if (field.type == FieldType::kI16 || field.type == FieldType::kTextLength ||
                   field.type == FieldType::kFaceId || field.type == FieldType::kArrowId) {
            std::int16_t w = 0;
            (void)LoadI16(e.fixed, at, w);
            add(Num(static_cast<long long>(w)));
        } else {
            break;
        }
        at += FieldSize(field);
    }
    f.push_back({"values", values + "]"});
    if (at < e.fixed.size()) f.push_back({"fixedRest", Hex(std::span(e.fixed).subspan(at))});
    if (VariableLayoutOf(base) == VariableLayout::kText) {
        f.push_back({"text", Text(std::string(e.rest.begin(), e.rest.end()))});
    } else if (!e.rest.empty()) {
        f.push_back({"restBytes", Num(static_cast<long long>(e.rest.size()))});
        f.push_back({"rest", Hex(e.rest)});
    }
    return f;
}

void Print(std::ostream& out, bool json, const std::string& title,
           const std::vector<std::vector<Field>>& rows, bool last) {
    if (json) {
        out << "  " << Quote(title) << ": [";
        for (std::size_t r = 0; r < rows.size(); ++r) {
            out << (r ? ",\n    {" : "\n    {");
            for (std::size_t i = 0; i < rows[r].size(); ++i) {
                out << (i ? ", " : "") << Quote(rows[r][i].name) << ": " << rows[r][i].json;
            }
            out << "}";
        }
        out << (rows.empty() ? "]" : "\n  ]") << (last ? "\n" : ",\n");
        return;
    }
    if (rows.empty()) return;
    out << title << " (" << rows.size() << ")\n";
    for (const auto& row : rows) {
        out << " ";
        for (const Field& f : row) out << " " << f.name << "=" << f.json;
        out << "\n";
    }
}

template <class T, class F>
std::vector<std::vector<Field>> Rows(const Table<T>& t, F fields) {
    std::vector<std::vector<Field>> rows;
    long long id = 0;
    for (const T& e : t.Entries()) {
        std::vector<Field> row{{"id", Num(++id)}};
        for (Field& f : fields(e)) row.push_back(std::move(f));
        rows.push_back(std::move(row));
    }
    return rows;
}

using L = long long;

}  // namespace

int main(int argc, char** argv) {
    bool json = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (!path && argv[i][0] != '-') {
            path = argv[i];
        } else {
            path = nullptr;
            break;
        }
    }
    if (!path) {
        std::fprintf(stderr, "usage: pdbdump [--json] FILE\n");
        return 2;
    }
    PdbFile f;
    std::string why;
    if (const Status s = Load(path, f, &why); s != Status::kOk) {
        std::fprintf(stderr, "pdbdump: %s: %s (%s)\n", path, StatusText(s), why.c_str());
        return 1;
    }
    std::int16_t layerWord = 0;
    std::int32_t queryValue = 0;
    (void)LoadI16(f.head, 512, layerWord);
    (void)LoadI32(f.head, 390, queryValue);
    const std::string queryName(reinterpret_cast<const char*>(&f.head[395]),
                                std::min<std::size_t>(f.head[394], 255));
    std::vector<std::vector<Field>> head{{{"version", Num(L{f.Version()})},
                                          {"generation", Num(L{f.generation})},
                                          {"flags", Num(L{f.flags})},
                                          {"nextPosition", Num(L{f.NextPosition()})},
                                          {"currentLayer", Num(L{layerWord})},
                                          {"queryValue", Num(L{queryValue})},
                                          {"queryName", Text(queryName)}}};
    if (f.headTexts) {
        const HeadTexts& h = *f.headTexts;
        auto& row = head[0];
        row.push_back({"systemName", Text(h.systemName)});
        row.push_back({"systemNumber", Num(L{h.systemNumber})});
        row.push_back({"paperName", Text(h.paperName)});
        row.push_back({"paperNumber", Num(L{h.paperNumber})});
        row.push_back({"message", Text(h.message)});
        row.push_back({"selectionName", Text(h.selectionName)});
    }
    if (f.background) {
        head[0].push_back({"imageCount", Num(L{f.background->imageCount})});
        head[0].push_back(
            {"backgroundImage", f.background->hasImage ? Text(f.background->name) : "null"});
    }
    std::vector<std::vector<Field>> layers;
    for (const Layer& l : f.layers) {
        layers.push_back({{"number", Num(L{l.number})},
                          {"skip", Num(L{l.skip})},
                          {"name", Text(l.name)},
                          {"colourCode", Num(L{l.colourCode})},
                          {"widthCode", Num(L{l.widthCode})}});
    }
    std::vector<std::vector<Field>> elements;
    for (const auto& [pos, e] : f.Elements()) elements.push_back(ElementFields(pos, e));
    std::vector<std::vector<Field>> placements;
    for (const auto& [pos, p] : f.placements) {
        placements.push_back(
            {{"position", Num(L{pos})},
             {"definition", Num(L{p.definition})},
             {"layerOverride", Num(L{p.layerOverride})},
             {"translate", "[" + Num(p.translateX) + "," + Num(p.translateY) + "]"},
             {"rotation", Num(p.rotation)},
             {"scale", "[" + Num(p.scaleX) + "," + Num(p.scaleY) + "]"}});
    }
    for (const auto& [pos, d] : f.definitions) {
        std::string members = "[";
        for (std::uint32_t m : d.members) members += (members.size() > 1 ? "," : "") + Num(L{m});
        placements.push_back({{"position", Num(L{pos})}, {"members", members + "]"}});
    }
    std::vector<std::vector<Field>> extension;
    for (const ExtensionEntry& x : f.extension) {
        extension.push_back({{"tag", Num(L{x.tag})}, {"bytes", Hex(x.bytes, 4096)}});
    }

    std::ostream& out = std::cout;
    if (json) out << "{\n";
    Print(out, json, "head", head, false);
    Print(out, json, "layers", layers, false);
    Print(out, json, "lineAttributes",
          Rows(f.lineAttributes,
               [](const LineAttribute& a) {
                   std::string v = "[";
                   for (float x : a.floats) v += (v.size() > 1 ? "," : "") + Num(double{x});
                   return std::vector<Field>{{"pen", Num(L{a.pen})},
                                             {"lineType", Num(L{a.lineType})},
                                             {"segments", Num(L{a.segmentCount})},
                                             {"values", v + "]"}};
               }),
          false);
    Print(out, json, "pointAttributes",
          Rows(f.pointAttributes,
               [](const PointAttribute& a) {
                   return std::vector<Field>{{"pen", Num(L{a.pen})}};
               }),
          false);
    Print(out, json, "faceAttributes",
          Rows(f.faceAttributes,
               [](const FaceAttribute& a) {
                   return std::vector<Field>{{"paintNumber", Num(L{a.paintNumber})},
                                             {"ppat", Num(L{a.ppat})}};
               }),
          false);
    Print(out, json, "markAttributes",
          Rows(f.markAttributes,
               [](const MarkAttribute& a) {
                   return std::vector<Field>{{"pen", Num(L{a.pen})},
                                             {"mark", Num(L{a.markNumber})},
                                             {"size", Num(a.size)}};
               }),
          false);
    Print(out, json, "symbolAttributes",
          Rows(f.symbolAttributes,
               [](const SymbolAttribute& a) {
                   return std::vector<Field>{{"pen", Num(L{a.pen})},    {"font", Num(L{a.fontId})},
                                             {"height", Num(a.height)}, {"ratio", Num(a.ratio)},
                                             {"d7", Num(a.d7)},         {"d8", Num(a.d8)},
                                             {"d9", Num(a.d9)}};
               }),
          false);
    Print(out, json, "arrowAttributes",
          Rows(f.arrowAttributes,
               [](const ArrowAttribute& a) {
                   return std::vector<Field>{{"type", Num(L{a.arrowType})},
                                             {"ends", Num(L{a.arrowEnds})},
                                             {"size", Num(a.size)}};
               }),
          false);
    Print(out, json, "pens",
          Rows(f.pens,
               [](const PenEntry& a) {
                   return std::vector<Field>{{"pen", Num(L{a.pen})},
                                             {"widthCode", Num(L{a.widthCode})},
                                             {"colourCode", Num(L{a.colourCode})}};
               }),
          false);
    Print(out, json, "colours",
          Rows(f.colours,
               [](const ColourEntry& a) {
                   return std::vector<Field>{{"code", Num(L{a.colourCode})},
                                             {"r", Num(L{a.red})},
                                             {"g", Num(L{a.green})},
                                             {"b", Num(L{a.blue})}};
               }),
          false);
    Print(out, json, "widths",
          Rows(f.widths,
               [](const WidthEntry& a) {
                   return std::vector<Field>{{"code", Num(L{a.widthCode})},
                                             {"width", Num(double{a.width})}};
               }),
          false);
    Print(out, json, "paintColours",
          Rows(f.paintColours,
               [](const PaintColourEntry& a) {
                   return std::vector<Field>{{"paintNumber", Num(L{a.paintNumber})},
                                             {"r", Num(L{a.red})},
                                             {"g", Num(L{a.green})},
                                             {"b", Num(L{a.blue})}};
               }),
          false);
    Print(out, json, "fonts",
          Rows(f.fonts,
               [](const FontEntry& a) {
                   return std::vector<Field>{{"font", Num(L{a.fontId})},
                                             {"a", Num(L{a.a})},
                                             {"b", Num(L{a.b})},
                                             {"face", Text(a.faceName)}};
               }),
          false);
    Print(out, json, "placements", placements, false);
    Print(out, json, "extension", extension, false);
    Print(out, json, "elements", elements, true);
    if (json) out << "}\n";
    return out ? 0 : 1;
}
