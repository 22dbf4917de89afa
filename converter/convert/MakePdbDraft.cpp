// The conversion step: open, walk, close.
//
// The close runs on every path once the open has been tried, so that a failed open or
// walk never leaves the server's session (and with it the server's hold on the new PDB)
// or the drawing open behind it; on those paths its own status is not reported, the
// earlier failure is.
#include "convert/MakePdbDraft.h"

#include "convert/ConvertStatus.h"
#include "convert/DownLevelOpen.h"
#include "convert/DownLevelWalk.h"
#include "convert/DrawingOpen.h"
#include "convert/ElementWalk.h"
#include "quillon/Quillon.h"
#include "support/db/ElementRecords.h"
#include "support/pipe/DebugPrint.h"

namespace {

// Ends the PDB session, then closes the drawing. The session's status (0 or 22).
// db_close fails only for a handle with nothing open, which after a failed open is the
// normal case (the open closes the drawing itself) and never a lost result.
int CloseConversion(DrawingHandle& handle) {
    const int session = PdmDb_CloseDrawing();
    (void)db_close(&handle);
    return session;
}

// What differs between the two levels: the open, the walk and the log lines.
struct Level {
    int (*open)(std::string_view, std::string_view, DrawingHandle&, int);
    int (*walk)(DrawingHandle&);
    const char* openFailed;
    const char* walkFailed;
    const char* closeFailed;
};

constexpr Level kNormal{
    PDB_drfio_init_put_layer, Walk_AllElements, "    CAD図面のオープン(初期化)失敗 rc[%d]\n",
    "    PDBデータに書き込み失敗 rc[%d]\n", "    CAD図面のクローズ(後始末)失敗 rc[%d]\n"};
constexpr Level kLevel1{PDB_expdm_PutLayerPlus, Walk_DownLevelElements,
                        "    CAD図面のオープン(初期化)失敗(=Level1) rc[%d]\n",
                        "    PDBデータに書き込み失敗(=Level1) rc[%d]\n",
                        "    CAD図面のクローズ(後始末)失敗(=Level1) rc[%d]\n"};

int Convert(const Level& level, std::string_view drawingPath, std::string_view newPdbPath,
            int sourceKind, int dashExpansion) {
    Walk_TraceSwitch() = TraceSwitch{};
    Walk_SetDashExpansion(dashExpansion);

    DrawingHandle handle{};
    if (const int opened = level.open(drawingPath, newPdbPath, handle, sourceKind);
        opened != kConvertOk) {
        (void)CloseConversion(handle);
        DbgPrint(level.openFailed, opened);
        return opened;
    }
    if (const int walked = level.walk(handle); walked != kConvertOk) {
        (void)CloseConversion(handle);
        DbgPrint(level.walkFailed, walked);
        return walked;
    }
    if (const int closed = CloseConversion(handle); closed != kConvertOk) {
        DbgPrint(level.closeFailed, closed);
        return closed;
    }
    return kConvertOk;
}

}  // namespace

int Make_PDB_Draft(int level, std::string_view drawingPath, std::string_view newPdbPath,
                   int sourceKind, int dashExpansion) {
    return Convert(level == kDownLevel ? kLevel1 : kNormal, drawingPath, newPdbPath, sourceKind,
                   dashExpansion);
}
