// Placed elements: a definition's members converted under the placement's transform,
// pen override and layer override.
//
// A placement changes the walk's context for its members only; whatever way the
// conversion of its members ends, the enclosing element sees its own context again,
// so the restore is tied to the scope (SavedContext) rather than to each return.
// Members are stored with their kind moved away from zero by 50 (a hidden boundary
// copy of a line is −52); moving it back by the sign keeps a hidden member hidden
// instead of turning it into a kind that nothing converts.
#include "convert/PlacedElement.h"

#include <array>
#include <cstdint>
#include <limits>
#include <new>
#include <vector>

#include "convert/ConvertStatus.h"
#include "convert/ElementWalk.h"
#include "convert/WalkContext.h"
#include "support/ByteOrder.h"
#include "support/geometry/Transform.h"
#include "support/pipe/DebugPrint.h"

namespace {

constexpr std::int16_t kMemberKindOffset = 50;
constexpr std::size_t kMemberPositionSize = 4;

// The parts of the context a placement changes for its members, put back when the
// placement's conversion leaves scope, with the cursor on the placement again.
class SavedContext {
  public:
    SavedContext(DrawingHandle& handle, ElementWalkContext& context)
        : handle_(handle),
          context_(context),
          pid_(context.pid),
          pkd_(context.pkd),
          penOverride_(context.penOverride),
          overridePen_(context.overridePen),
          transform_(context.transform) {
        ++context_.placementDepth;
    }
    ~SavedContext() {
        --context_.placementDepth;
        context_.pid = pid_;
        context_.pkd = pkd_;
        context_.penOverride = penOverride_;
        context_.overridePen = overridePen_;
        context_.transform = transform_;
        (void)db_seek(&handle_, pid_);
    }
    SavedContext(const SavedContext&) = delete;
    SavedContext& operator=(const SavedContext&) = delete;

    [[nodiscard]] std::int32_t Pid() const { return pid_; }
    [[nodiscard]] const Matrix4& Transform() const { return transform_; }

  private:
    DrawingHandle& handle_;
    ElementWalkContext& context_;
    std::int32_t pid_;
    std::int16_t pkd_;
    std::int32_t penOverride_;
    std::int16_t overridePen_;
    Matrix4 transform_;
};

// The record db_read_ex gives for the current element, if it is of `type`.
bool ReadRecord(DrawingHandle& handle, std::uint16_t type,
                std::array<std::uint8_t, quillon::kReadExRecordSize>& record) {
    if (db_read_ex(&handle, record.data()) != quillon::kQuillonOk) return false;
    std::uint16_t got = 0;
    return LoadU16(record, quillon::kReadExType, got) && got == type;
}

// A position field of a record as db_seek takes it; false when it cannot be one.
bool LoadPosition(std::span<const std::uint8_t> bytes, std::size_t offset, std::int32_t& out) {
    std::uint32_t position = 0;
    if (!LoadU32(bytes, offset, position) || position == 0 ||
        position > std::numeric_limits<std::int32_t>::max()) {
        return false;
    }
    out = static_cast<std::int32_t>(position);
    return true;
}

// Reads the member list of the definition the cursor has just read. 0, 5 or 14.
int ReadMembers(DrawingHandle& handle, std::vector<std::uint8_t>& members) {
    std::uint16_t length = 0;
    if (db_rest_record(&handle, &length) != quillon::kQuillonOk) return kConvertBadElement;
    if (length == 0) return kConvertOk;
    try {
        members.resize(length);
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
    if (db_get(&handle, members.data(), length) != quillon::kQuillonOk) return kConvertBadElement;
    return kConvertOk;
}

// Converts the member at `position`. Its status.
int ConvertMember(DrawingHandle& handle, ElementWalkContext& context, std::int32_t position) {
    context.pid = position;
    if (db_seek(&handle, position) != quillon::kQuillonOk) return kConvertBadElement;
    std::array<std::uint8_t, 2> kindBytes{};
    if (db_get(&handle, kindBytes.data(), 2) != quillon::kQuillonOk) return kConvertBadElement;
    std::int16_t stored = 0;
    (void)LoadI16(kindBytes, 0, stored);
    context.pkd = static_cast<std::int16_t>(stored < 0 ? stored + kMemberKindOffset
                                                       : stored - kMemberKindOffset);
    if (Walk_TraceSwitch().element) {
        DbgPrint("        db_get() pid[%d] pkd[%d]\n", context.pid, context.pkd);
    }
    return Make_PDB_GetPut_Main(handle, context);
}

}  // namespace

int Convert_PlacedElement(DrawingHandle& handle, ElementWalkContext& context) {
    if (context.placementDepth >= kWalkMaxPlacementDepth) {
        DbgPrint("      配置要素の入れ子が深すぎる pid[%d] 深さ[%d]\n", context.pid,
                 context.placementDepth + 1);
        return kConvertPlacementTooDeep;
    }
    // Each top-level placement has its own budget of members.
    if (context.placementDepth == 0) context.placedMembers = 0;
    if (context.placedMembers > kWalkMaxPlacedMembers) return kConvertPlacementTooLarge;

    const SavedContext saved(handle, context);
    std::array<std::uint8_t, quillon::kReadExRecordSize> record{};
    if (db_seek(&handle, context.pid) != quillon::kQuillonOk ||
        !ReadRecord(handle, quillon::kReadExPlacement, record)) {
        return kConvertBadElement;
    }
    std::int16_t layerOverride = 0;
    std::int16_t overridePen = 0;
    (void)LoadI16(record, quillon::kPlacementLayerOverride, layerOverride);
    (void)LoadI16(record, quillon::kPlacementOverridePen, overridePen);
    Walk_SetLayerOverride(layerOverride);
    context.penOverride = record[quillon::kPlacementPenFlag] == 0 ? 1 : 0;
    context.overridePen = overridePen;
    std::array<double, 5> values{};  // translation x, y, rotation, scale x, y
    for (std::size_t i = 0; i < values.size(); ++i) {
        (void)LoadF64(record, quillon::kPlacementValues + 8 * i, values[i]);
    }
    Matrix4 placement{};
    Matrix_Compose(placement, values[0], values[1], values[2], values[3], values[4]);
    Matrix4_Multiply(placement, saved.Transform(), context.transform);

    std::int32_t definitionPosition = 0;
    if (!LoadPosition(record, quillon::kPlacementDefinition, definitionPosition) ||
        db_seek(&handle, definitionPosition) != quillon::kQuillonOk ||
        !ReadRecord(handle, quillon::kReadExDefinition, record)) {
        return kConvertBadElement;
    }
    std::vector<std::uint8_t> members;
    if (const int status = ReadMembers(handle, members); status != kConvertOk) {
        return status;
    }

    int status = kConvertOk;
    for (std::size_t at = 0; at + kMemberPositionSize <= members.size();
         at += kMemberPositionSize) {
        if (++context.placedMembers > kWalkMaxPlacedMembers) {
            // Logged once, where the budget runs out; the enclosing placements stop too.
            if (context.placedMembers == kWalkMaxPlacedMembers + 1) {
                DbgPrint("      配置要素の展開が多すぎる pid[%d] 要素数[%lld]\n", saved.Pid(),
                         static_cast<long long>(kWalkMaxPlacedMembers));
            }
            return kConvertPlacementTooLarge;
        }
        std::int32_t position = 0;
        status = LoadPosition(members, at, position) ? ConvertMember(handle, context, position)
                                                     : kConvertBadElement;
        if (status == kConvertPlacementTooLarge) return status;
        if (status != kConvertOk) {
            DbgPrint("        Error! Make_PDB_GetPut_Main() rtn[%d] pid[%d] pkd[%d]\n", status,
                     context.pid, context.pkd);
        }
    }
    return status;
}
