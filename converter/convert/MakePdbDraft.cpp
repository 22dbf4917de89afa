// The conversion step: open, walk, close.
//
// The close runs on every path once the open has been tried, so that a failed open or
// walk never leaves the server's session (and with it the server's hold on the new PDB)
// or the drawing open behind it; on those paths its own status is not reported, the
// earlier failure is.
#include "convert/MakePdbDraft.h"

#include "convert/ConvertStatus.h"
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

int NormalLevel(std::string_view drawingPath, std::string_view newPdbPath, int sourceKind,
                int dashExpansion) {
    Walk_TraceSwitch() = TraceSwitch{};
    Walk_SetDashExpansion(dashExpansion);

    DrawingHandle handle{};
    if (const int opened = PDB_drfio_init_put_layer(drawingPath, newPdbPath, handle, sourceKind);
        opened != kConvertOk) {
        (void)CloseConversion(handle);
        DbgPrint("    CAD図面のオープン(初期化)失敗 rc[%d]\n", opened);
        return opened;
    }
    if (const int walked = Walk_AllElements(handle); walked != kConvertOk) {
        (void)CloseConversion(handle);
        DbgPrint("    PDBデータに書き込み失敗 rc[%d]\n", walked);
        return walked;
    }
    if (const int closed = CloseConversion(handle); closed != kConvertOk) {
        DbgPrint("    CAD図面のクローズ(後始末)失敗 rc[%d]\n", closed);
        return closed;
    }
    return kConvertOk;
}

}  // namespace

int Make_PDB_Draft(int level, std::string_view drawingPath, std::string_view newPdbPath,
                   int sourceKind, int dashExpansion) {
    if (level == kDownLevel) {
        DbgPrint("    Level1の変換は未対応 rc[%d]\n", kConvertNotConverted);
        return kConvertNotConverted;
    }
    return NormalLevel(drawingPath, newPdbPath, sourceKind, dashExpansion);
}
