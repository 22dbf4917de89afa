#include "LinksJson.h"

namespace quillon_tool {
namespace {

using namespace pdbform;

Json Positions(const std::vector<std::uint32_t>& list) {
    Json out = Json::array();
    for (std::uint32_t p : list) out.push_back(p);
    return out;
}

// A position that must hold a live element.
bool ReadLive(const Json& value, const std::string& path, const PdbFile& f, std::uint32_t& out,
              std::string& error) {
    if (!ReadInt(value, path, out, error)) return false;
    if (!f.Find(out)) return Fail(error, path, "no element at position " + std::to_string(out));
    return true;
}

bool ReadLiveList(const Json* value, const std::string& path, const PdbFile& f,
                  std::vector<std::uint32_t>& out, std::string& error) {
    if (!value) return true;
    if (!value->is_array()) return Fail(error, path, "expected an array of positions");
    out.resize(value->size());
    for (std::size_t i = 0; i < value->size(); ++i) {
        if (!ReadLive((*value)[i], path + "/" + std::to_string(i), f, out[i], error)) return false;
    }
    return true;
}

// Runs `read` on every object of the array `key`, each keyed by a live "position"
// that `records` holds no record for yet.
template <class Map, class Read>
bool ReadKeyed(ObjectReader& root, const char* key, PdbFile& f, Map& records, Read read) {
    const Json* list = root.Take(key);
    if (!list) return root.Ok();
    std::string& error = root.Error();
    if (!list->is_array()) return Fail(error, root.At(key), "expected an array");
    for (std::size_t i = 0; i < list->size(); ++i) {
        ObjectReader r((*list)[i], root.At(key) + "/" + std::to_string(i), error);
        const Json* pos = r.Need("position");
        std::uint32_t position = 0;
        if (!pos || !ReadLive(*pos, r.At("position"), f, position, error)) return false;
        if (records.count(position) != 0) {
            return Fail(error, r.At("position"),
                        std::string(key) + " already has a record for position " +
                            std::to_string(position));
        }
        typename Map::mapped_type record{};
        if (!read(r, record) || !r.Finish()) return false;
        records.emplace(position, std::move(record));
    }
    return true;
}

bool ReadPair(ObjectReader& r, const char* key, double& a, double& b) {
    const Json* v = r.Take(key);
    return !v || ReadPoint(*v, r.At(key), a, b, r.Error());
}

}  // namespace

void PutLinks(Json& root, const PdbFile& f) {
    Json placements = Json::array();
    for (const auto& [pos, p] : f.placements) {
        Json o = Json::object();
        o["position"] = pos;
        o["definition"] = p.definition;
        o["layerOverride"] = p.layerOverride;
        o["overridePen"] = p.overridePen;
        o["penFlag"] = p.penFlag;
        o["translate"] = PointJson(p.translateX, p.translateY);
        o["rotation"] = DoubleJson(p.rotation);
        o["scale"] = PointJson(p.scaleX, p.scaleY);
        placements.push_back(std::move(o));
    }
    root["placements"] = std::move(placements);

    Json definitions = Json::array();
    for (const auto& [pos, d] : f.definitions) {
        definitions.push_back(Json::object({{"position", pos}, {"members", Positions(d.members)}}));
    }
    root["definitions"] = std::move(definitions);

    Json areas = Json::array();
    for (const auto& [pos, a] : f.paintAreas) {
        Json o = Json::object();
        o["position"] = pos;
        o["visible"] = a.visible;
        o["boundary"] = Positions(a.boundary);
        Json holes = Json::array();
        for (const PaintAreaHole& h : a.holes) {
            holes.push_back(
                Json::object({{"visible", h.visible}, {"elements", Positions(h.elements)}}));
        }
        o["holes"] = std::move(holes);
        areas.push_back(std::move(o));
    }
    root["paintAreas"] = std::move(areas);

    Json fills = Json::array();
    for (const auto& [pos, fh] : f.fillHoles) {
        Json holes = Json::array();
        for (const auto& hole : fh.holes) {
            Json pieces = Json::array();
            for (const HolePiece& piece : hole) {
                Json o = Json::object();
                o["code"] = piece.code;
                Json values = Json::array();
                for (double v : piece.values) values.push_back(DoubleJson(v));
                o["values"] = std::move(values);
                if (!piece.points.empty()) {
                    Json points = Json::array();
                    for (std::size_t i = 0; i + 1 < piece.points.size(); i += 2) {
                        points.push_back(PointJson(piece.points[i], piece.points[i + 1]));
                    }
                    o["points"] = std::move(points);
                }
                pieces.push_back(std::move(o));
            }
            holes.push_back(std::move(pieces));
        }
        fills.push_back(Json::object({{"position", pos}, {"holes", std::move(holes)}}));
    }
    root["fillHoles"] = std::move(fills);
}

bool ReadLinks(ObjectReader& root, PdbFile& f) {
    std::string& error = root.Error();
    const bool placements =
        ReadKeyed(root, "placements", f, f.placements, [&](ObjectReader& r, Placement& p) {
            const Json* def = r.Need("definition");
            return def && ReadLive(*def, r.At("definition"), f, p.definition, error) &&
                   r.Int("layerOverride", p.layerOverride) && r.Int("overridePen", p.overridePen) &&
                   r.Int("penFlag", p.penFlag) &&
                   ReadPair(r, "translate", p.translateX, p.translateY) &&
                   r.Double("rotation", p.rotation) && ReadPair(r, "scale", p.scaleX, p.scaleY);
        });
    if (!placements) return false;
    const bool definitions =
        ReadKeyed(root, "definitions", f, f.definitions, [&](ObjectReader& r, Definition& d) {
            return ReadLiveList(r.Take("members"), r.At("members"), f, d.members, error);
        });
    if (!definitions) return false;
    // A placement names a position that must hold a definition record.
    for (const auto& [pos, p] : f.placements) {
        if (f.definitions.count(p.definition) == 0) {
            return Fail(error, "/placements",
                        "the placement at " + std::to_string(pos) + " names position " +
                            std::to_string(p.definition) + ", which has no definition record");
        }
    }
    const bool areas =
        ReadKeyed(root, "paintAreas", f, f.paintAreas, [&](ObjectReader& r, PaintArea& a) {
            if (!r.Bool("visible", a.visible) ||
                !ReadLiveList(r.Take("boundary"), r.At("boundary"), f, a.boundary, error)) {
                return false;
            }
            const Json* holes = r.Take("holes");
            if (!holes) return true;
            if (!holes->is_array()) return Fail(error, r.At("holes"), "expected an array");
            for (std::size_t i = 0; i < holes->size(); ++i) {
                ObjectReader h((*holes)[i], r.At("holes") + "/" + std::to_string(i), error);
                PaintAreaHole hole;
                if (!h.Bool("visible", hole.visible) ||
                    !ReadLiveList(h.Take("elements"), h.At("elements"), f, hole.elements, error) ||
                    !h.Finish()) {
                    return false;
                }
                a.holes.push_back(std::move(hole));
            }
            return true;
        });
    if (!areas) return false;
    return ReadKeyed(root, "fillHoles", f, f.fillHoles, [&](ObjectReader& r, FillHoles& fh) {
        const Json* holes = r.Take("holes");
        if (!holes) return true;
        if (!holes->is_array()) return Fail(error, r.At("holes"), "expected an array of holes");
        for (std::size_t i = 0; i < holes->size(); ++i) {
            const std::string at = r.At("holes") + "/" + std::to_string(i);
            const Json& hole = (*holes)[i];
            if (!hole.is_array()) return Fail(error, at, "expected an array of pieces");
            std::vector<HolePiece> pieces;
            for (std::size_t k = 0; k < hole.size(); ++k) {
                ObjectReader p(hole[k], at + "/" + std::to_string(k), error);
                HolePiece piece;
                if (!p.Need("code") || !p.Int("code", piece.code)) return false;
                const int count = HolePieceValueCount(piece.code);
                if (count < 0) return Fail(error, p.At("code"), "a hole piece code is 1-6");
                piece.values.assign(static_cast<std::size_t>(count), 0.0);
                if (count > 0 && !p.Doubles("values", piece.values.size(), piece.values.data())) {
                    return false;
                }
                if (count == 0 && p.Has("values")) {
                    const Json* v = p.Take("values");
                    if (!v->is_array() || !v->empty()) {
                        return Fail(error, p.At("values"), "this piece code has no values");
                    }
                }
                if (const Json* pts = p.Take("points")) {
                    if (piece.code != 4 && piece.code != 5) {
                        return Fail(error, p.At("points"), "only codes 4 and 5 have points");
                    }
                    if (!pts->is_array()) return Fail(error, p.At("points"), "expected an array");
                    for (std::size_t n = 0; n < pts->size(); ++n) {
                        double x = 0, y = 0;
                        if (!ReadPoint((*pts)[n], p.At("points") + "/" + std::to_string(n), x, y,
                                       error)) {
                            return false;
                        }
                        piece.points.push_back(x);
                        piece.points.push_back(y);
                    }
                }
                if (!p.Finish()) return false;
                pieces.push_back(std::move(piece));
            }
            fh.holes.push_back(std::move(pieces));
        }
        return true;
    });
}

}  // namespace quillon_tool
