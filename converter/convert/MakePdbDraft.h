// The conversion step of the job: one drawing (the job's working copy) into one new PDB.
//
// Make_PDB_Draft(level, drawingPath, newPdbPath, sourceKind, dashExpansion)
//   level          the conversion level of the condition file: 1 the down-level
//                  conversion, any other value the normal one.
//   drawingPath    Windows path (code page 932) of the drawing to read.
//   newPdbPath     Windows path of the PDB to make.
//   sourceKind     the source data kind of the command line.
//   dashExpansion  the dash-expansion switch (0 or 1) of the command line, stored for
//                  the conversion of line types 5 and 6 (Walk_SetDashExpansion).
//   The extension file must have been started (PdbHead_Begin) before.
//
// Normal level, in this order:
//   1. every trace switch of the walk off; the dash-expansion switch stored;
//   2. the open (PDB_drfio_init_put_layer) on a fresh DrawingHandle. A non-zero status s:
//      the close (below, without its log line), the line
//      "    CAD図面のオープン(初期化)失敗 rc[%d]\n" with s, result s;
//   3. the walk (Walk_AllElements). A non-zero status s: the close, the line
//      "    PDBデータに書き込み失敗 rc[%d]\n" with s, result s;
//   4. the close: the PDB session ends (PdmDb_CloseDrawing: 22 when the server reported
//      an error or requests of the session were lost), then the drawing is closed
//      (db_close). A non-zero status s of the session gives the line
//      "    CAD図面のクローズ(後始末)失敗 rc[%d]\n" and result s.
//   The close releases only what is still held: no session is closed twice, and a
//   drawing the open has already closed again is not counted as a failure.
//
// Level 1 (the down-level conversion): the same steps with the down-level open
// (PDB_expdm_PutLayerPlus, DownLevelOpen.h) and walk (Walk_DownLevelElements,
// DownLevelWalk.h), and the lines "    CAD図面のオープン(初期化)失敗(=Level1) rc[%d]\n",
// "    PDBデータに書き込み失敗(=Level1) rc[%d]\n" and
// "    CAD図面のクローズ(後始末)失敗(=Level1) rc[%d]\n". The trace switches of both walks
// are off at the start.
//
// Results: 0, or a status as ConvertStatus.h describes (db_open_ex's status, 5, 11, 12,
// 14, 15, 16, 21, 22, a Pelmar result).
#pragma once

#include <string_view>

inline constexpr int kDownLevel = 1;

[[nodiscard]] int Make_PDB_Draft(int level, std::string_view drawingPath,
                                 std::string_view newPdbPath, int sourceKind, int dashExpansion);
