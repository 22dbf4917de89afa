// The walk follows the converter's own walk (db_head, read pkd, db_rtn, db_seek, db_skp)
// so that what Stovik finds is what the conversion would stumble over. Each element's
// fields are read through the same byte stream the converter reads and located by the
// form's own kind table (pdbform/ElementLayout.h), so the layouts are written down once.
//
// Look-ups by code (pens, widths, colours, paint colours, fonts, layers) are cached:
// a large drawing uses few codes, and a maintainer waits for the analyser.
// Placements and their members are followed on byte copies of the handle, which are
// independent cursors, so the walk's own position is never disturbed.
#include "DrawingCheck.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ByteOrder.h"
#include "pdbform/Element.h"
#include "pdbform/ElementLayout.h"
#include "platform/Cp932.h"
#include "quillon/Quillon.h"

namespace stovik {
namespace {

using namespace quillon;
using Bytes = std::span<const std::uint8_t>;

struct Element {
    std::int32_t pid = 0;
    std::int16_t pkd = 0;
    int base = 0;
};

struct PenInfo {
    bool found = false;
    std::int16_t widthCode = 0;
    std::int16_t colourCode = 0;
};

bool AllFinite(Bytes bytes, std::size_t offset, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        double v = 0;
        if (LoadF64(bytes, offset + 8 * i, v) && !std::isfinite(v)) return false;
    }
    return true;
}

// A length-prefixed head text as Quillon gives it: byte 0 the length, then the text.
std::string PrefixedText(const char* buffer, std::size_t size) {
    const auto length = static_cast<std::size_t>(static_cast<unsigned char>(buffer[0]));
    return std::string(buffer + 1, std::min(length, size - 1));
}

class Checker {
  public:
    Checker(DrawingHandle& h, ProblemLog& log) : h_(h), log_(log) {}

    void CheckHead();
    void Walk();

    [[nodiscard]] std::int64_t Elements() const { return elements_; }
    [[nodiscard]] bool ReadFailed() const { return readFailed_; }
    [[nodiscard]] std::int32_t FailedPid() const { return failedPid_; }
    [[nodiscard]] std::int16_t FailedStatus() const { return failedStatus_; }

  private:
    void CheckElement(std::int32_t pid);
    void CheckFixed(const Element& e, Bytes fixed, std::int16_t& textLength);
    void CheckAttribute(const Element& e, std::int16_t aid);
    void CheckFace(const Element& e, std::int16_t faceId);
    void CheckVariable(const Element& e, std::int16_t textLength);
    void CheckText(const Element& e, std::int16_t textLength);
    void CheckPlacement(const Element& e);
    template <class Fn>
    std::int64_t ReadItems(const Element& e, std::size_t size, Fn&& onItem);

    void CheckLayer(const Element& e, std::int16_t layer);
    void CheckPen(const Element& e, std::int16_t pen);
    void CheckFont(const Element& e, std::int16_t font);
    void CheckPaint(const Element& e, std::int16_t paintNumber);
    void Problem(const Element& e, const std::string& detail);
    // A cursor status other than success or the end of the data: a damaged record is
    // a problem, a failed read ends the walk.
    void Trouble(const Element& e, std::int16_t status);

    bool LayerExists(std::int16_t layer);
    bool ColourExists(std::int16_t code);
    bool WidthExists(std::int16_t code);
    const PenInfo& Pen(std::int16_t pen);

    DrawingHandle& h_;
    ProblemLog& log_;
    std::int64_t elements_ = 0;
    bool readFailed_ = false;
    std::int32_t failedPid_ = 0;
    std::int16_t failedStatus_ = 0;
    bool nonFinite_ = false;  // of the element being checked
    std::unordered_map<std::int16_t, bool> layers_, colours_, widths_, paints_, fonts_;
    std::unordered_map<std::int16_t, PenInfo> pens_;
    std::array<float, kLineFloatCount> lineFloats_{};
    std::vector<std::uint8_t> text_;
};

// ---- look-ups ---------------------------------------------------------------------

template <class Lookup>
bool Cached(std::unordered_map<std::int16_t, bool>& cache, std::int16_t code, Lookup&& lookup) {
    auto it = cache.find(code);
    if (it == cache.end()) it = cache.emplace(code, lookup()).first;
    return it->second;
}

bool Checker::LayerExists(std::int16_t layer) {
    return Cached(layers_, layer, [&] {
        char name[kLayerNameSize] = {};
        std::int16_t a = 0, b = 0, skip = 1;
        double record[kLayerRecordCount] = {};
        return rep_layer(&h_, layer, name, &a, &b, record, &skip) == kQuillonOk && skip == 0;
    });
}

bool Checker::ColourExists(std::int16_t code) {
    return Cached(colours_, code, [&] {
        std::uint8_t rgb[kRgbSize] = {};
        return db_get_colorinfo(&h_, code, rgb) == kQuillonOk;
    });
}

bool Checker::WidthExists(std::int16_t code) {
    return Cached(widths_, code, [&] {
        float width = 0;
        return db_get_lwidthinfo(&h_, code, &width) == kQuillonOk;
    });
}

const PenInfo& Checker::Pen(std::int16_t pen) {
    auto it = pens_.find(pen);
    if (it == pens_.end()) {
        PenInfo info;
        info.found = db_get_peninfo(&h_, pen, &info.widthCode, &info.colourCode) == kQuillonOk;
        it = pens_.emplace(pen, info).first;
    }
    return it->second;
}

// ---- reports ----------------------------------------------------------------------

void Checker::Problem(const Element& e, const std::string& detail) {
    log_.Report(Format("Stovik: 要素 pid[%d] pkd[%d] ", e.pid, e.pkd) + detail);
}

void Checker::Trouble(const Element& e, std::int16_t status) {
    if (status == kQuillonReadError) {
        if (!readFailed_) {
            readFailed_ = true;
            failedPid_ = e.pid;
            failedStatus_ = status;
        }
        return;
    }
    // A record that could not be read as far as its kind is named by its position only.
    if (e.pkd == 0) {
        log_.Report(Format("Stovik: 要素 pid[%d] が破損 rtn[%d]\n", e.pid, status));
    } else {
        Problem(e, Format("が破損 rtn[%d]\n", status));
    }
}

void Checker::CheckLayer(const Element& e, std::int16_t layer) {
    if (!LayerExists(layer)) Problem(e, Format("レイヤ[%d] が未定義\n", layer));
}

void Checker::CheckPen(const Element& e, std::int16_t pen) {
    const PenInfo& info = Pen(pen);
    if (!info.found) {
        Problem(e, Format("ペン[%d] が未定義\n", pen));
        return;
    }
    if (!WidthExists(info.widthCode)) {
        Problem(e, Format("ペン[%d] 線幅[%d] が未定義\n", pen, info.widthCode));
    }
    if (!ColourExists(info.colourCode)) {
        Problem(e, Format("ペン[%d] 色[%d] が未定義\n", pen, info.colourCode));
    }
}

void Checker::CheckFont(const Element& e, std::int16_t font) {
    const bool found = Cached(fonts_, font, [&] {
        std::int16_t a = 0, b = 0;
        char face[kFaceNameSize] = {};
        return db_getkelfontinfomation(&h_, font, &a, &b, face) != 0;
    });
    if (!found) Problem(e, Format("フォント[%d] が未定義\n", font));
}

void Checker::CheckPaint(const Element& e, std::int16_t paintNumber) {
    const bool found = Cached(paints_, paintNumber, [&] {
        std::uint8_t rgb[kRgbSize] = {};
        return db_get_paint_color(&h_, paintNumber, rgb) == kQuillonOk;
    });
    if (!found) Problem(e, Format("塗り色[%d] が未定義\n", paintNumber));
}

// ---- head -------------------------------------------------------------------------

void Checker::CheckHead() {
    std::int16_t max = 0;
    if (max_layer(&h_, &max) != kQuillonOk) max = 0;
    for (std::int16_t lno = 1; lno > 0 && lno <= max; ++lno) {
        char name[kLayerNameSize] = {};
        std::int16_t colour = 0, width = 0, a = 0, b = 0, skip = 1;
        double record[kLayerRecordCount] = {};
        double x = 0;
        if (rep_layer_ex2(&h_, lno, name, &colour, &width, &a, &b, record, &x, &skip) !=
                kQuillonOk ||
            skip != 0) {
            continue;
        }
        if (!ColourExists(colour)) {
            log_.Report(Format("Stovik: レイヤ[%d] 色[%d] が未定義\n", lno, colour));
        }
        if (!WidthExists(width)) {
            log_.Report(Format("Stovik: レイヤ[%d] 線幅[%d] が未定義\n", lno, width));
        }
        if (!platform::IsValidCp932(std::string(name, strnlen(name, sizeof name)))) {
            log_.Report(Format("Stovik: レイヤ[%d] 名称が不正なシフトJIS\n", lno));
        }
    }
    std::int16_t current = 0;
    if (rep_vfield(&h_, 0, &current) == kQuillonOk && current > 0 && !LayerExists(current)) {
        log_.Report(Format("Stovik: ヘッダ 現在レイヤ[%d] が未定義\n", current));
    }

    auto checkText = [&](const char* label, const std::string& text) {
        if (!platform::IsValidCp932(text)) {
            log_.Report(Format("Stovik: ヘッダ %s が不正なシフトJIS\n", label));
        }
    };
    std::int16_t number = 0;
    char system[kSystemNameSize] = {};
    if (get_sysnam(&h_, system, &number) == kQuillonOk) {
        checkText("システム名", PrefixedText(system, sizeof system));
    }
    char paper[kPaperNameSize] = {};
    if (get_pname(&h_, paper, &number) == kQuillonOk) {
        checkText("用紙名", PrefixedText(paper, sizeof paper));
    }
    char message[kMessageSize] = {};
    if (get_pmsg(&h_, message) == kQuillonOk) {
        checkText("メッセージ", PrefixedText(message, sizeof message));
    }
    char selection[kSelectionNameSize] = {};
    if (get_selnam(&h_, selection) == kQuillonOk) {
        checkText("選択名", PrefixedText(selection, sizeof selection));
    }
    for (std::int16_t i = 0; i < kGroupNameCount; ++i) {
        char group[kGroupNameSize] = {};
        if (get_gname(&h_, i, group) != kQuillonOk) continue;
        const std::string label = Format("グループ名[%d]", i);
        checkText(label.c_str(), PrefixedText(group, sizeof group));
    }
}

// ---- the walk ---------------------------------------------------------------------

void Checker::Walk() {
    std::int16_t step = db_head(&h_);
    std::int32_t last = 0;
    while (step != kQuillonNoMore && !readFailed_) {
        std::int32_t pid = 0;
        (void)db_rtn(&h_, &pid);
        if (step == kQuillonReadError) {
            Trouble(Element{pid, 0, 0}, step);
            break;
        }
        // Positions only grow during a walk; anything else (a handle gone bad) ends it
        // rather than going round for ever.
        if (pid <= last) break;
        last = pid;
        ++elements_;
        if (step == kQuillonOk) {
            CheckElement(pid);
        } else {
            Trouble(Element{pid, 0, 0}, step);
        }
        (void)db_seek(&h_, pid);
        step = db_skp(&h_);
    }
}

void Checker::CheckElement(std::int32_t pid) {
    std::array<std::uint8_t, 2> kind{};
    Element e{pid, 0, 0};
    if (std::int16_t st = db_get(&h_, kind.data(), 2); st != kQuillonOk) {
        Trouble(e, st);
        return;
    }
    (void)LoadI16(kind, 0, e.pkd);
    e.base = pdbform::BaseKind(e.pkd);
    const std::optional<std::uint16_t> size = pdbform::FixedPartSize(e.base);
    // Kinds the form does not describe are passed over by the conversion too; the
    // stop marks have nothing but their kind.
    if (!size || *size == 0) return;

    std::vector<std::uint8_t> fixed(*size);
    if (std::int16_t st = db_get(&h_, fixed.data(), static_cast<std::int32_t>(fixed.size()));
        st != kQuillonOk) {
        Trouble(e, st);
        return;
    }
    nonFinite_ = false;
    std::int16_t textLength = 0;
    CheckFixed(e, fixed, textLength);
    if (readFailed_) return;
    CheckVariable(e, textLength);
    if (nonFinite_) Problem(e, "数値が有限でない\n");
}

void Checker::CheckFixed(const Element& e, Bytes fixed, std::int16_t& textLength) {
    std::int16_t layer = 0, aid = 0;
    (void)LoadI16(fixed, 0, layer);
    (void)LoadI16(fixed, 4, aid);
    CheckLayer(e, layer);
    CheckAttribute(e, aid);
    for (const pdbform::FieldSpec& field : pdbform::FixedFields(e.base)) {
        std::int16_t word = 0;
        switch (field.type) {
            case pdbform::FieldType::kPoint:
                if (!AllFinite(fixed, field.offset, 2)) nonFinite_ = true;
                break;
            case pdbform::FieldType::kF64:
                if (!AllFinite(fixed, field.offset, field.count)) nonFinite_ = true;
                break;
            case pdbform::FieldType::kTextLength:
                (void)LoadI16(fixed, field.offset, textLength);
                break;
            case pdbform::FieldType::kFaceId:
                (void)LoadI16(fixed, field.offset, word);
                CheckFace(e, word);
                break;
            case pdbform::FieldType::kArrowId: {
                (void)LoadI16(fixed, field.offset, word);
                std::int16_t type = 0, ends = 0;
                double arrowSize = 0;
                if (word != 0 && get_att_arrow(&h_, word, &type, &ends, &arrowSize) != kQuillonOk) {
                    Problem(e, Format("矢印属性[%d] が未定義\n", word));
                }
                break;
            }
            default:
                break;
        }
    }
    if (e.base == 25) CheckPlacement(e);
}

void Checker::CheckAttribute(const Element& e, std::int16_t aid) {
    std::int16_t pen = 0;
    switch (pdbform::AttributeTableOf(e.base)) {
        case pdbform::AttributeTable::kPoint:
            if (get_att_pnt(&h_, aid, &pen) != kQuillonOk) {
                Problem(e, Format("点属性[%d] が未定義\n", aid));
                return;
            }
            break;
        case pdbform::AttributeTable::kMark: {
            std::int16_t mark = 0;
            double size = 0;
            if (get_att_mark(&h_, aid, &pen, &mark, &size) != kQuillonOk) {
                Problem(e, Format("マーク属性[%d] が未定義\n", aid));
                return;
            }
            break;
        }
        case pdbform::AttributeTable::kSymbol: {
            std::int16_t font = 0;
            double height = 0, ratio = 0, d7 = 0, d8 = 0, d9 = 0;
            if (get_att_symb_detail(&h_, aid, &pen, &font, &height, &ratio, &d7, &d8, &d9) !=
                kQuillonOk) {
                Problem(e, Format("文字属性[%d] が未定義\n", aid));
                return;
            }
            CheckFont(e, font);
            break;
        }
        case pdbform::AttributeTable::kLine: {
            // A paint area is converted by its face and its boundary elements' own
            // attributes; its attribute id is not used.
            if (e.base == 29) return;
            std::int16_t lineType = 0;
            std::uint8_t segments = 0;
            if (get_att_line_ex(&h_, aid, &pen, &lineType, &segments, lineFloats_.data()) !=
                kQuillonOk) {
                Problem(e, Format("線属性[%d] が未定義\n", aid));
                return;
            }
            break;
        }
        case pdbform::AttributeTable::kNone:
            return;
    }
    CheckPen(e, pen);
}

void Checker::CheckFace(const Element& e, std::int16_t faceId) {
    if (faceId == 0) return;  // no face
    std::int16_t paintNumber = 0, ppat = 0;
    if (get_att_face(&h_, faceId, &paintNumber, &ppat) != kQuillonOk) {
        Problem(e, Format("面属性[%d] が未定義\n", faceId));
        return;
    }
    // The paint colour is used by painted circles, fills and paint areas that are not
    // hatched (a paint area above pattern 200 is not converted at all); a polyline's
    // face is passed through as numbers.
    const bool painted = e.base == 5 || e.base == 16 || (e.base == 29 && ppat <= 200);
    if (painted && ppat >= 0) CheckPaint(e, paintNumber);
}

// Reads items of `size` bytes until the element's data ends; returns how many were
// whole. A remainder shorter than an item is a problem, a damaged record too.
template <class Fn>
std::int64_t Checker::ReadItems(const Element& e, std::size_t size, Fn&& onItem) {
    std::array<std::uint8_t, pdbform::kBoundaryItemSize> item{};
    std::int64_t count = 0;
    for (;;) {
        const std::int16_t st = db_get(&h_, item.data(), static_cast<std::int32_t>(size));
        if (st == kQuillonOk) {
            ++count;
            onItem(Bytes(item.data(), size));
            continue;
        }
        if (st == kQuillonShortRead) Problem(e, "可変部の長さが不正\n");
        if (st != kQuillonEndOfElement && st != kQuillonShortRead) Trouble(e, st);
        return count;
    }
}

void Checker::CheckVariable(const Element& e, std::int16_t textLength) {
    switch (pdbform::VariableLayoutOf(e.base)) {
        case pdbform::VariableLayout::kPoints: {
            const std::int64_t points = ReadItems(e, pdbform::kPointSize, [&](Bytes p) {
                if (!AllFinite(p, 0, 2)) nonFinite_ = true;
            });
            if (e.base == 27 && !readFailed_ && (points == 0 || (points - 1) % 3 != 0)) {
                Problem(e, Format("ベジェの点数[%lld] が不正\n", static_cast<long long>(points)));
            }
            break;
        }
        case pdbform::VariableLayout::kText:
            CheckText(e, textLength);
            break;
        case pdbform::VariableLayout::kBoundaryItems: {
            // A paint area's data is its head item only; its boundary lies in other
            // elements, which are checked where the walk reaches them.
            if (e.base != 16) break;
            bool head = true, closed = false;
            ReadItems(e, pdbform::kBoundaryItemSize, [&](Bytes item) {
                std::int16_t code = 0;
                (void)LoadI16(item, 0, code);
                if (!AllFinite(item, 2, pdbform::kBoundaryItemValues)) nonFinite_ = true;
                if (!head && !closed && code != 2 && code != 3 && code != 4 && code != 6) {
                    Problem(e, Format("塗り潰し形状[%d] が未定義\n", code));
                }
                if (!head && code == 4) closed = true;
                head = false;
            });
            break;
        }
        case pdbform::VariableLayout::kContourItems:
            ReadItems(e, pdbform::kContourItemSize, [&](Bytes item) {
                float t1 = 0, t2 = 0;
                (void)LoadF32(item, 24, t1);
                (void)LoadF32(item, 28, t2);
                if (!AllFinite(item, 0, 3) || !std::isfinite(t1) || !std::isfinite(t2)) {
                    nonFinite_ = true;
                }
            });
            break;
        default:
            break;
    }
}

void Checker::CheckText(const Element& e, std::int16_t textLength) {
    std::uint16_t rest = 0;
    const std::int16_t st = db_rest_record(&h_, &rest);
    if (st != kQuillonOk && st != kQuillonTooLong) {
        Trouble(e, st);
        return;
    }
    // Over 65,535 bytes of data always holds a text whose length is a 16-bit word.
    const std::int32_t available = st == kQuillonTooLong ? INT32_MAX : rest;
    if (textLength < 0 || textLength > available) {
        Problem(e,
                Format("文字列長[%d] データ長[%d] が不整合\n", textLength, static_cast<int>(rest)));
        if (textLength <= 0) return;
    }
    const auto take = static_cast<std::size_t>(std::min<std::int32_t>(textLength, available));
    text_.assign(take, 0);
    if (take == 0) return;
    if (std::int16_t got = db_get(&h_, text_.data(), static_cast<std::int32_t>(take));
        got != kQuillonOk) {
        Trouble(e, got);
        return;
    }
    const std::string_view text(reinterpret_cast<const char*>(text_.data()), text_.size());
    if (!platform::IsValidCp932(text)) Problem(e, "文字列が不正なシフトJIS\n");
}

void Checker::CheckPlacement(const Element& e) {
    DrawingHandle cursor = h_;  // an independent cursor on the same drawing
    std::array<std::uint8_t, kReadExRecordSize> record{};
    std::uint16_t type = 0;
    if (db_seek(&cursor, e.pid) != kQuillonOk || db_read_ex(&cursor, record.data()) != kQuillonOk ||
        !LoadU16(record, kReadExType, type) || type != kReadExPlacement) {
        Problem(e, "配置情報がない\n");
        return;
    }
    std::int16_t layerOverride = 0, overridePen = 0;
    std::uint32_t definition = 0;
    (void)LoadI16(record, kPlacementLayerOverride, layerOverride);
    (void)LoadI16(record, kPlacementOverridePen, overridePen);
    (void)LoadU32(record, kPlacementDefinition, definition);
    if (layerOverride > 0) CheckLayer(e, layerOverride);
    if (record[kPlacementPenFlag] == 0) CheckPen(e, overridePen);
    if (!AllFinite(record, kPlacementValues, 5)) nonFinite_ = true;

    std::uint32_t memberCount = 0;
    if (definition > static_cast<std::uint32_t>(INT32_MAX) ||
        db_seek(&cursor, static_cast<std::int32_t>(definition)) != kQuillonOk ||
        db_read_ex(&cursor, record.data()) != kQuillonOk || !LoadU16(record, kReadExType, type) ||
        type != kReadExDefinition) {
        Problem(e, Format("配置の定義[%u] が見つからない\n", definition));
        return;
    }
    (void)LoadU32(record, kDefinitionMemberCount, memberCount);
    std::uint16_t listBytes = 0;
    if (db_rest_record(&cursor, &listBytes) == kQuillonTooLong) {
        Problem(e, Format("配置の構成要素数[%u] が多すぎる\n", memberCount));
    }
    DrawingHandle member = h_;
    std::array<std::uint8_t, 4> position{};
    while (db_get(&cursor, position.data(), 4) == kQuillonOk) {
        std::uint32_t at = 0;
        (void)LoadU32(position, 0, at);
        std::array<std::uint8_t, 2> kind{};
        std::int16_t st = kQuillonNotFound;
        if (at <= static_cast<std::uint32_t>(INT32_MAX)) {
            st = db_seek(&member, static_cast<std::int32_t>(at));
            if (st == kQuillonOk) st = db_get(&member, kind.data(), 2);
        }
        if (st == kQuillonReadError) {
            Trouble(e, st);
            return;
        }
        if (st != kQuillonOk) {
            Problem(e, Format("配置の構成要素[%u] が見つからない rtn[%d]\n", at, st));
            continue;
        }
        std::int16_t pkd = 0;
        (void)LoadI16(kind, 0, pkd);
        if (pkd < 51 || pkd > 99) {
            Problem(e, Format("配置の構成要素[%u] pkd[%d] が不正\n", at, pkd));
        }
    }
}

}  // namespace

int AnalyseDrawing(const std::string& windowsPath, ProblemLog& log) {
    DrawingHandle h{};
    const std::int16_t opened = db_open_ex(&h, windowsPath.c_str(), 2, 1);
    if (opened != kQuillonOk) {
        log.Note(
            Format("Stovik: 図面[%s] をオープンできない rtn[%d]\n", windowsPath.c_str(), opened));
        return kExitCannotRead;
    }
    Checker checker(h, log);
    checker.CheckHead();
    checker.Walk();
    (void)db_close(&h);
    if (checker.ReadFailed()) {
        log.Note(Format("Stovik: 図面[%s] の読み込みに失敗 pid[%d] rtn[%d]\n", windowsPath.c_str(),
                        checker.FailedPid(), checker.FailedStatus()));
        log.Finish(checker.Elements());
        return kExitCannotRead;
    }
    log.Finish(checker.Elements());
    return log.Problems() == 0 ? kExitSound : kExitProblems;
}

}  // namespace stovik
