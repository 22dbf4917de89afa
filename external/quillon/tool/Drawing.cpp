#include "Drawing.h"

#include "ElementJson.h"
#include "ExtensionJson.h"
#include "JsonLayout.h"
#include "LinksJson.h"
#include "TablesJson.h"
#include "pdbform/FormIo.h"
#include "pdbform/Positions.h"

namespace quillon_tool {
namespace {

using namespace pdbform;

// Moves the model's next position up to `target` by giving the slots between to
// placeholder elements and removing them again: a slot below the next position
// that holds no element is a removed one in the form.
bool RemoveUpTo(PdbFile& f, std::uint32_t target) {
    while (f.NextPosition() < target) {
        const std::uint32_t pos = f.Append(MakeElement(0, 0, 0, 0));
        if (pos == 0) return false;
        (void)f.Remove(pos);
    }
    return f.NextPosition() == target;
}

// Makes `position` the one the next Append gives: the slots before it that are not
// header slots become removed ones.
bool RemoveBefore(PdbFile& f, std::uint32_t position) {
    while (FirstElementPositionFrom(f.NextPosition()) < position) {
        const std::uint32_t pos = f.Append(MakeElement(0, 0, 0, 0));
        if (pos == 0) return false;
        (void)f.Remove(pos);
    }
    return FirstElementPositionFrom(f.NextPosition()) == position;
}

bool ReadElements(ObjectReader& root, PdbFile& f) {
    const Json* list = root.Take("elements");
    if (!list) return root.Ok();
    std::string& error = root.Error();
    if (!list->is_array()) return Fail(error, root.At("elements"), "expected an array");
    for (std::size_t i = 0; i < list->size(); ++i) {
        const std::string path = root.At("elements") + "/" + std::to_string(i);
        Element e;
        std::optional<std::uint32_t> position;
        if (!ElementFromJson((*list)[i], path, f, true, e, position, error)) return false;
        if (position) {
            const std::uint32_t next =
                static_cast<std::uint32_t>(FirstElementPositionFrom(f.NextPosition()));
            if (*position < next) {
                return Fail(error, path + "/position",
                            std::to_string(*position) +
                                (f.Find(*position) ? " is taken by an earlier element"
                                                   : " lies before the next free position " +
                                                         std::to_string(next)) +
                                "; elements are listed in position order");
            }
            if (*position > kMaxSourcePosition) {
                return Fail(error, path + "/position",
                            "above " + std::to_string(kMaxSourcePosition));
            }
            if (!RemoveBefore(f, *position))
                return Fail(error, path + "/position", "cannot be reached");
        }
        if (f.Append(std::move(e)) == 0) return Fail(error, path, "no element position left");
    }
    return true;
}

bool ReadUnknownSections(ObjectReader& root, PdbFile& f) {
    const Json* list = root.Take("unknownSections");
    if (!list) return root.Ok();
    std::string& error = root.Error();
    if (!list->is_array()) return Fail(error, root.At("unknownSections"), "expected an array");
    for (std::size_t i = 0; i < list->size(); ++i) {
        ObjectReader r((*list)[i], root.At("unknownSections") + "/" + std::to_string(i), error);
        std::uint16_t id = 0;
        UnknownSection s;
        if (!r.Need("id") || !r.Int("id", id) || !r.Int("count", s.itemCount)) return false;
        if ((id >= 1 && id <= 20) || id == 32) {
            return Fail(error, r.At("id"),
                        "section " + std::to_string(id) + " is written from the model");
        }
        if (f.unknownSections.count(id) != 0) return Fail(error, r.At("id"), "listed twice");
        if (const Json* hex = r.Take("hex")) {
            std::vector<std::uint8_t> bytes;
            if (!ReadHex(*hex, r.At("hex"), kMaxFileSize, bytes, error)) return false;
            s.bytes = std::move(bytes);
        }
        if (!r.Finish()) return false;
        f.unknownSections.emplace(id, std::move(s));
    }
    return true;
}

}  // namespace

Json DrawingToJson(PdbFile& f, bool withElements) {
    Json root = Json::object();
    root["head"] = HeadJson(f);
    root["generation"] = f.generation;
    root["flags"] = f.flags;
    root["nextPosition"] = f.NextPosition();
    PutTables(root, f);
    Json elements = Json::array();
    if (withElements) {
        for (const auto& [pos, e] : f.Elements()) elements.push_back(ElementToJson(pos, e, f));
    }
    root["elements"] = std::move(elements);
    PutLinks(root, f);
    root["extension"] = ExtensionJson(f.extension);
    if (!f.unknownSections.empty()) {
        Json list = Json::array();
        for (const auto& [id, s] : f.unknownSections) {
            list.push_back(
                Json::object({{"id", id}, {"count", s.itemCount}, {"hex", HexOf(s.bytes)}}));
        }
        root["unknownSections"] = std::move(list);
    }
    return root;
}

bool WriteDrawingJson(PdbFile& f, const std::function<bool(std::string_view)>& write) {
    // Everything but the elements is small; the elements are laid out one at a time
    // and the text is handed on in pieces of about a MiB.
    constexpr std::size_t kPiece = std::size_t{1} << 20;
    const Json root = DrawingToJson(f, false);
    std::string out = "{";
    bool first = true;
    for (const auto& [key, value] : root.items()) {
        out += first ? "\n  " : ",\n  ";
        first = false;
        out += Json(key).dump() + ": ";
        if (key != "elements" || f.Elements().empty()) {
            AppendPretty(value, out);
            continue;
        }
        out += '[';
        bool firstElement = true;
        for (const auto& [pos, e] : f.Elements()) {
            if (out.size() >= kPiece) {
                if (!write(out)) return false;
                out.clear();  // what follows starts a new line: columns stay right
            }
            out += firstElement ? "\n    " : ",\n    ";
            firstElement = false;
            AppendPretty(ElementToJson(pos, e, f), out);
        }
        out += "\n  ]";
    }
    out += "\n}\n";
    return write(out);
}

bool MakeDrawing(const Json& source, PdbFile& f, std::string& error) {
    f = PdbFile{};
    ObjectReader root(source, "", error);
    if (!root.Ok() || !ReadHead(root.Take("head"), f, error)) return false;
    // The writer adds 1 to the model's generation: a source names the one written.
    std::uint32_t generation = 1;
    if (!root.Int("generation", generation) || !root.Int("flags", f.flags)) return false;
    if (generation == 0) return Fail(error, root.At("generation"), "generations start at 1");
    f.generation = generation - 1;
    if (!ReadTables(root, f) || !ReadElements(root, f)) return false;
    if (root.Has("nextPosition")) {
        std::uint32_t next = 0;
        if (!root.Int("nextPosition", next)) return false;
        if (next < f.NextPosition() || next > kMaxSourcePosition) {
            return Fail(error, root.At("nextPosition"),
                        "must lie between " + std::to_string(f.NextPosition()) +
                            " (after the last element) and " + std::to_string(kMaxSourcePosition));
        }
        if (!RemoveUpTo(f, next)) {
            return Fail(error, root.At("nextPosition"),
                        std::to_string(next) + " cannot follow an index block's header slot");
        }
    }
    if (!ReadLinks(root, f) || !ReadExtension(root, f.extension) || !ReadUnknownSections(root, f)) {
        return false;
    }
    if (!root.Finish()) return false;
    std::string why;
    if (const Status s = f.CheckReferences(&why); s != Status::kOk) {
        return Fail(error, "/placements", std::string(StatusText(s)) + ": " + why);
    }
    return true;
}

}  // namespace quillon_tool
