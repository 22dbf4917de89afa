// The element walk: every element of the drawing in file order, then what belongs to the
// drawing as a whole (background image, image count, sheet information).
#include "convert/ElementWalk.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "convert/ConvertStatus.h"
#include "convert/ElementKinds.h"
#include "convert/Fills.h"
#include "convert/PaintAreas.h"
#include "convert/SheetInfo.h"
#include "convert/TextElements.h"
#include "support/db/ElementRecords.h"
#include "support/geometry/Transform.h"
#include "support/pipe/DebugPrint.h"
#include "support/util/FontCache.h"

namespace {

TraceSwitch g_trace;
int g_dashExpansion = 0;

}  // namespace

TraceSwitch& Walk_TraceSwitch() { return g_trace; }

void Walk_SetDashExpansion(int on) { g_dashExpansion = on; }

int Walk_DashExpansion() { return g_dashExpansion; }

namespace {

// The kinds' names for the kind-name trace of the down level.
struct KindName {
    int kind;
    const char* name;
};
constexpr std::array<KindName, 22> kKindNames{{
    {1, "点"},
    {2, "線"},
    {3, "円弧"},
    {4, "円"},
    {5, "ペイント付き円"},
    {6, "ポリライン"},
    {7, "文字"},
    {8, "円付き文字列"},
    {9, "マーク"},
    {10, "引出し線"},
    {11, "寸法線"},
    {12, "円弧寸法線"},
    {16, "塗り潰し"},
    {17, "コンタ"},
    {18, "クロソイド曲線"},
    {19, "シンボル"},
    {20, "イメージ"},
    {21, "プログラムストップ"},
    {22, "強制ストップ"},
    {25, "配置要素"},
    {26, "楕円／楕円弧"},
    {27, "ベジェ"},
}};

const char* NameOfKind(int kind) {
    for (const KindName& k : kKindNames) {
        if (k.kind == kind) return k.name;
    }
    return nullptr;
}

}  // namespace

int Make_PDB_GetPut_Main(DrawingHandle& handle, ElementWalkContext& context) {
    if (g_trace.kindName && Walk_IsDownLevel(context)) {
        if (const char* name = NameOfKind(std::abs(static_cast<int>(context.pkd)))) {
            DbgPrint("  %s\n", name);
        }
    }
    switch (std::abs(static_cast<int>(context.pkd))) {
        case 1:
            return Convert_Point(handle, context);
        case 2:
            return Convert_Line(handle, context);
        case 3:
            return Convert_Arc(handle, context);
        case 4:
            return Convert_Circle(handle, context);
        case 5:
            return Convert_PaintedCircle(handle, context);
        case 6:
            return Convert_Polyline(handle, context);
        case 7:
            return Convert_Text(handle, context);
        case 8:
            return Convert_CircledString(handle, context);
        case 9:
            return Convert_Mark(handle, context);
        case 10:
            return Convert_Leader(handle, context);
        case 11:
            return Convert_Dimension(handle, context);
        case 12:
            return Convert_ArcDimension(handle, context);
        case 16:
            return Convert_Fill(handle, context);
        case 17:
            return Convert_Contour(handle, context);
        case 18:
            return Convert_Clothoid(handle, context);
        case 19:
            return Convert_Symbol(handle, context);
        case 20:
            return Convert_Image(handle, context);
        case 21:
        case 22:
            return Convert_StopMark(context);
        case 25:
            return Convert_PlacedElement(handle, context);
        case 26:
            return Convert_Ellipse(handle, context);
        case 27:
            return Convert_Bezier(handle, context);
        case 29:
            return Convert_PaintArea(handle, context);
        default:
            // Groups (13), kinds 14, 15, 23, 24, 28 and kinds this converter does not know
            // carry nothing for the PDB.
            return kConvertOk;
    }
}

int Walk_Begin(ElementWalkContext& context, WalkLevel level) {
    context = ElementWalkContext{};
    context.level = level;
    try {
        context.data.resize(kWalkDataInitial);
    } catch (const std::bad_alloc&) {
        return kConvertNoMemory;
    }
    Matrix4_Identity(context.transform);
    return kConvertOk;
}

int Walk_EachElement(DrawingHandle& handle, ElementWalkContext& context) {
    const bool downLevel = Walk_IsDownLevel(context);
    int status = kConvertOk;
    // Quillon reports an element it cannot read, or an index block it steps over, with
    // kQuillonDamaged (or kQuillonReadError) from the step that reaches it and leaves the
    // cursor without a current element there, so the pkd cannot be read. Such a position
    // fails as a bad element and the walk goes on: the steps always move forward, so the
    // walk ends, and a part of the drawing that could not be read is never passed over
    // as if it had been converted.
    std::int16_t step = db_head(&handle);
    if (downLevel) PdmDb_QueryMulti();
    while (step == quillon::kQuillonOk || step == quillon::kQuillonDamaged ||
           step == quillon::kQuillonReadError) {
        std::array<std::uint8_t, 2> kindBytes{};
        (void)db_get(&handle, kindBytes.data(), 2);
        std::int32_t pid = 0;
        const std::int16_t getStatus = db_rtn(&handle, &pid);
        context.pid = pid;
        context.pkd = static_cast<std::int16_t>(kindBytes[0] | (kindBytes[1] << 8));
        if (g_trace.element) {
            DbgPrint("      db_get() pid[%d] pkd[%d] rtn[%d]\n", pid, context.pkd, getStatus);
        }
        Walk_SetLayerOverride(0);
        status = getStatus == quillon::kQuillonOk ? Make_PDB_GetPut_Main(handle, context)
                                                  : kConvertBadElement;
        if (status != kConvertOk && !downLevel) {
            DbgPrint("      Error! Make_PDB_GetPut_Main() rtn[%d] pid[%d] pkd[%d]\n", status, pid,
                     context.pkd);
        }
        (void)db_seek(&handle, pid);
        step = db_skp(&handle);
    }
    return status;
}

int Walk_AllElements(DrawingHandle& handle) {
    ElementWalkContext context;
    if (const int begun = Walk_Begin(context, WalkLevel::kNormal); begun != kConvertOk) {
        return begun;
    }
    FontCache_Create();
    const int status = Walk_EachElement(handle, context);
    FontCache_Destroy();

    std::array<char, quillon::kBackgroundNameSize> name{};
    std::int32_t a = 0;
    std::int32_t b = 0;
    std::uint8_t c = 0, d = 0, e = 0, f = 0;
    if (db_backimg_get(&handle, name.data(), &a, &b, &c, &d, &e, &f) != 0) {
        name.back() = '\0';
        PdmDb_PutNameAndStyle(name.data(), a, b, c, d, e, f);
    }
    PdmDb_SetElemAttr(context.imageCount);
    Make_PDB_SheetInfo(handle);
    return status;
}
