// A paint area: its boundary and hole elements converted and grouped, then its fill
// record.
//
// Two cursors: the area's boundary and holes are enumerated on a byte copy of the
// handle, while each boundary element is read and converted on the walk's own handle,
// so that the element conversions (which seek, read and may look up attributes) never
// disturb the enumeration, and the enumeration never moves the walk's cursor.
//
// The records a boundary element gives are found by their element numbers: the
// database manager numbers the records of the new PDB in the order they are put,
// without gaps, so the numbers put by one conversion are those after the last number
// before it up to the last number after it. A conversion may put several records (a
// sampled curve is written in runs), and every one of them belongs to the boundary.
#include "convert/PaintAreas.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <new>
#include <span>
#include <vector>

#include "convert/ConvertStatus.h"
#include "convert/ElementWalk.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/ElementTransform.h"
#include "support/pipe/DebugPrint.h"
#include "support/util/RecList.h"

namespace {

constexpr int kPaintAreaKind = 29;
// Kinds stored for placement members carry +50.
constexpr int kMemberKindOffset = 50;

// The element numbers of the records put for one boundary or hole: a RecList of 4-byte
// numbers, freed with the object.
class NumberList {
  public:
    NumberList() : list_(RecList_Create(0, 0)) {}
    ~NumberList() { RecList_Destroy(list_); }
    NumberList(const NumberList&) = delete;
    NumberList& operator=(const NumberList&) = delete;

    // False when the list could not be created or a number could not be added; the
    // list is then of no use and the area fails with kConvertNoMemory.
    [[nodiscard]] bool Ok() const { return list_ != nullptr && !failed_; }
    void Append(std::int32_t number) {
        if (!Ok()) return;
        std::array<std::uint8_t, 4> bytes{};
        (void)StoreI32(bytes, 0, number);
        if (RecList_Append(list_, bytes.data(), bytes.size()) != 0) failed_ = true;
    }
    [[nodiscard]] int Count() const { return Ok() ? RecList_Count(list_) : 0; }
    // All numbers, 4 bytes each, in the order collected.
    [[nodiscard]] std::span<const std::uint8_t> Bytes() const {
        const std::uint8_t* block = nullptr;
        std::size_t total = 0;
        if (!Ok() || RecList_Data(list_, block, total) != 0 || block == nullptr) return {};
        return {block, total};
    }

  private:
    RecList* list_;
    bool failed_ = false;
};

// An element the enumeration does not give is passed over; once it has no more to give
// (or was never started), the rest of the count is not asked for.
bool EnumerationEnded(std::int16_t rc) {
    return rc == quillon::kQuillonNoMore || rc == quillon::kQuillonNotPositioned ||
           rc == quillon::kQuillonBadHandle;
}

// What every boundary and hole element of one area is converted with.
struct AreaElements {
    DrawingHandle& handle;
    ElementWalkContext& context;
    std::int16_t layer;  // the area's layer, set as the layer override
};

// Converts the element at `position` as part of the area (see the header, step 3) and
// adds the numbers of the records it put to `numbers`.
void ConvertAreaElement(const AreaElements& area, std::int32_t position, std::int16_t visible,
                        NumberList& numbers) {
    (void)db_seek(&area.handle, position);
    std::int32_t at = 0;
    if (db_rtn(&area.handle, &at) != quillon::kQuillonOk) return;
    std::array<std::uint8_t, 2> kindBytes{};
    if (db_get(&area.handle, kindBytes.data(), 2) != quillon::kQuillonOk) return;
    std::int16_t stored = 0;
    (void)LoadI16(kindBytes, 0, stored);
    int kind = stored;
    if (kind >= kMemberKindOffset) {
        kind -= kMemberKindOffset;
    } else if (kind <= -kMemberKindOffset) {
        kind += kMemberKindOffset;
    }
    switch (std::abs(kind)) {
        case 2:
        case 3:
        case 4:  // a circle: the usual outline of a round hole
        case 6:
        case 26:
        case 27:
            break;
        case 30:
            return;
        default:
            DbgPrint("未定義の塗り潰し形状[%d]\n", kind);
            return;
    }
    area.context.pid = position;
    // A boundary of an invisible area is written hidden; a hidden copy stays hidden.
    area.context.pkd = static_cast<std::int16_t>(visible == 0 ? -std::abs(kind) : kind);
    Walk_SetLayerOverride(area.layer);
    // A boundary is always written as new records, whatever its line type, even at the
    // down level, where the element itself stays in the copy: the area's groups refer
    // to the records by their new numbers.
    const WalkLevel level = area.context.level;
    area.context.level = WalkLevel::kNormal;
    const std::int32_t before = PdmDb_LastElemNo();
    (void)Make_PDB_GetPut_Main(area.handle, area.context);
    const std::int32_t after = PdmDb_LastElemNo();
    area.context.level = level;
    for (std::int32_t n = before + 1; n <= after && numbers.Ok(); ++n) numbers.Append(n);
}

// A group record of the area's layer with two empty names and `numbers` as its data.
// Returns its element number.
std::int32_t PutGroup(std::int16_t flags, std::int16_t layer,
                      std::span<const std::uint8_t> numbers) {
    PdmDb_PutElementRec13(flags, layer, "", "");
    PdmDb_PutElemData(numbers);
    const std::int32_t number = PdmDb_LastElemNo();
    PdmDb_EndElement();
    return number;
}

bool AppendI32(std::vector<std::uint8_t>& data, std::int32_t value) {
    std::array<std::uint8_t, 4> bytes{};
    (void)StoreI32(bytes, 0, value);
    try {
        data.insert(data.end(), bytes.begin(), bytes.end());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The holes of the area (step 6): one group per hole, its number appended to `data`.
// 0 or kConvertNoMemory.
int PutHoleGroups(const AreaElements& area, DrawingHandle& enumeration, std::int16_t flags,
                  std::vector<std::uint8_t>& data) {
    if (db_get_hole_start(&enumeration, area.context.pid) != quillon::kQuillonOk) return kConvertOk;
    const std::int32_t areaPid = area.context.pid;
    const std::int16_t areaPkd = area.context.pkd;
    const std::int16_t savedOverride = Walk_LayerOverride();
    int status = kConvertOk;
    const std::int32_t holes = db_get_hole_count(&enumeration);
    for (std::int32_t h = 1; h <= holes && status == kConvertOk; ++h) {
        std::int16_t visible = 0;
        if (db_get_holeprm_start2(&enumeration, h, &visible) != quillon::kQuillonOk) continue;
        NumberList numbers;
        const std::int32_t count = db_get_holeprm_count(&enumeration);
        for (std::int32_t i = 0; i < count && numbers.Ok(); ++i) {
            std::array<std::uint8_t, quillon::kElementRefSize> record{};
            std::int32_t position = 0;
            const std::int16_t rc = db_get_holeprm3(&enumeration, record.data(), &position);
            if (EnumerationEnded(rc)) break;
            if (rc != quillon::kQuillonOk) continue;
            ConvertAreaElement(area, position, visible, numbers);
        }
        (void)db_get_holeprm_end(&enumeration);
        Walk_SetLayerOverride(savedOverride);
        area.context.pid = areaPid;
        area.context.pkd = areaPkd;
        if (!numbers.Ok()) {
            status = kConvertNoMemory;
            break;
        }
        if (!AppendI32(data, PutGroup(flags, area.layer, numbers.Bytes())))
            status = kConvertNoMemory;
    }
    (void)db_get_hole_end(&enumeration);
    return status;
}

}  // namespace

int Convert_PaintArea(DrawingHandle& handle, ElementWalkContext& context) {
    std::array<std::uint8_t, 2 + kPaintAreaFixedSize> element{};
    if (const int rc = Walk_ReadFixed(handle, context, element); rc != kConvertOk) return rc;
    std::array<std::uint8_t, kPaintAreaHeadSize> head{};
    if (db_get(&handle, head.data(), static_cast<std::int32_t>(head.size())) ==
        quillon::kQuillonDamaged) {
        return kConvertBadElement;
    }
    (void)Elem_TransformPoints(kPaintAreaKind, element, context.transform);

    const ElementHeader header = Walk_ReadHeader(std::span(element).subspan(2));
    std::int16_t faceAid = 0;
    (void)LoadI16(element, 8, faceAid);
    FaceAttribute face;
    if (const int status = Walk_ReadFaceAttribute(handle, faceAid, face); status != kConvertOk) {
        return status;
    }
    if (face.ppat < 0 || face.ppat > kPaintAreaMaxPpat) return kConvertOk;
    LineAttribute line;
    if (const int rc = Walk_ReadLineAttribute(handle, context, header.aid, line); rc != kConvertOk)
        return rc;

    DrawingHandle enumeration = handle;
    std::int16_t visible = 0;
    if (db_get_expaint_area_start(&enumeration, context.pid, &visible) != quillon::kQuillonOk) {
        return kConvertOk;
    }
    const std::int32_t areaPid = context.pid;
    const std::int16_t areaPkd = context.pkd;
    const std::int16_t flags = Walk_RecordFlags(context);
    const AreaElements area{handle, context, header.layer};

    const std::int16_t savedOverride = Walk_LayerOverride();
    Walk_SetLayerOverride(0);
    int status = kConvertOk;
    std::int32_t group = 0;
    {
        NumberList numbers;
        const std::int32_t count = db_get_expaint_areaprm_count(&enumeration);
        for (std::int32_t i = 0; i < count && numbers.Ok(); ++i) {
            std::array<std::uint8_t, quillon::kElementRefSize> record{};
            std::int32_t position = 0;
            const std::int16_t rc = db_get_expaint_areaprm(&enumeration, record.data(), &position);
            if (EnumerationEnded(rc)) break;
            if (rc != quillon::kQuillonOk) continue;
            ConvertAreaElement(area, position, visible, numbers);
        }
        (void)db_get_expaint_area_end(&enumeration);
        Walk_SetLayerOverride(savedOverride);
        context.pid = areaPid;
        context.pkd = areaPkd;
        if (!numbers.Ok()) return kConvertNoMemory;
        if (numbers.Count() == 0) return kConvertOk;
        group = PutGroup(flags, header.layer, numbers.Bytes());
    }

    std::vector<std::uint8_t> data;
    try {
        data.assign(kPaintAreaHeadSize, 0);
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
    (void)StoreI16(data, 0, kPaintAreaHeadCode);
    std::copy_n(head.begin(), kPaintAreaHeadSize - 2, data.begin() + 2);
    if (!AppendI32(data, group)) return kConvertNoMemory;
    status = PutHoleGroups(area, enumeration, flags, data);
    if (status != kConvertOk) return status;

    const std::array<double, 3> values = line.Values();
    const std::int32_t mark = Walk_MarkRecords();
    PdmDb_PutElementRec16(flags, {header.layer, header.second, line.pen, line.lineType},
                          {values[0], values[1], values[2]}, {face.paintNo, face.ppat});
    PdmDb_PutElemData(data);
    PdmDb_EndElement();
    // At the down level the new fill record replaces the area of the copy; it is removed
    // once, when its replacement is complete.
    Walk_RemoveReplaced(context, mark);
    return Walk_RegisterPaint(handle, face.paintNo);
}
