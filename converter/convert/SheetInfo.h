// The sheet information of a drawing (print conditions for up to four output devices)
// copied into the PDB after the element walk.
//
// Make_PDB_SheetInfo(handle)
//   handle  the open drawing; the PDB session (PdmDb_Session) is open.
//   When the drawing has sheet information (prtjkn_chkrep) the line
//   "      シート内蔵情報あり\n" is logged, then entries 1..4 in order: the entry is read
//   (prtjkn_infrep, 2048 bytes), its device id `mid` is the i32 at byte 536, `gmid` is
//   the installation's id for that device (Lutwin), the line
//   "          (%d) mid[%d] gmid[%d]\n" is logged, and the entry is sent as entry i
//   (PdmDb_PutBlock2K). No result.
//
// Edge cases:
//   - The first entry whose device is unknown (gmid 0) ends the copy: neither it nor the
//     later entries are sent; its line is still logged. This is no error.
//   - An entry the drawing does not have (prtjkn_infrep fails: the block is zero) ends
//     the copy in the same way, even when the installation knows device 0: a zero block
//     is never sent as print conditions.
//   - A drawing without sheet information logs nothing and sends nothing.
//   - Without a session nothing is sent (the requests are dropped), the lines are logged.
#pragma once

#include "quillon/Quillon.h"

inline constexpr int kSheetEntryCount = 4;

void Make_PDB_SheetInfo(DrawingHandle& handle);
