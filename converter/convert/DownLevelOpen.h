// The open of a down-level conversion: the new PDB is a byte copy of the drawing, which
// the down-level walk then changes in place through the database manager; the layers
// are defined in the extension file only (their records are in the copy).
//
// PDB_expdm_PutLayerPlus(drawingPath, newPdbPath, handle, sourceKind)
//   drawingPath  Windows path (code page 932) of the drawing, the job's working copy.
//   newPdbPath   Windows path of the PDB to make; a file already there is replaced.
//   handle       the caller's DrawingHandle; it is zero-filled here before the open.
//   sourceKind   the source data kind of the command line.
//   The layer definitions go to the extension file kept by PdbHead_Begin.
//
// In order:
//   1. The drawing is copied to the new PDB path (File_Copy, replacing).
//   2. db_open_ex(handle, drawing, 2, 1); a non-zero status is returned as it is.
//   3. The new PDB is opened through the database manager and its update begun.
//   4. Source kinds 4 and 5: the name under which the product knows the drawing
//      (PdmIMG_ZmnID_GetZmnName(102)) is sent as the selection name (command 103).
//   5. The line "      max_layer()\n"; max_layer gives max (0 or less: done, 0). For
//      each layer 1..max that rep_layer_ex2 gives with its skip flag clear: the line
//      "        PDB_expdm_PutLayerPlus() lno[%d] lnm[%s]\n", its width
//      (db_get_lwidthinfo) and colour (db_get_colorinfo) and PDB_DEF_LAYER_Plus. No
//      head records, layer records, mode block or head value go to the database
//      manager: the copy has them.
//
// Results:
//   0      the drawing is open on `handle` and the PDB session (PdmDb_Session) is open
//          inside its update, ready for the down-level walk.
//   21     the copy could not be made (a missing target folder, a read-only target, a
//          full disk): nothing is opened; the line
//          "      図面ファイルの複写失敗 err[%u] [%s]->[%s]\n" names the failure. Also 21
//          when the database manager cannot open the copy (server unreachable, the copy
//          not a PDB it reads): the drawing is closed, no session is left.
//   db_open_ex's non-zero status: nothing else is open (the copy stays behind).
//   11     a layer's colour could not be looked up: the drawing is closed.
//   a Pelmar result: PDB_DEF_LAYER_Plus failed for a layer; every layer is still
//          defined and the result of the FIRST failed definition is returned (a later
//          success never hides it). The drawing is closed.
//   After 11 or a Pelmar result the session stays open for the job's close, as after
//   the normal open.
//
// Edge cases:
//   - Source kinds 4 and 5 when Gristo has no name for the drawing: nothing is sent, so
//     the copy keeps its own selection name rather than an empty one; the line
//     "      PdmIMG_ZmnID_GetZmnName() rc[%d] 図面名なし\n" says so.
//   - A layer that rep_layer_ex2 cannot give is passed over like a skipped one.
//   - A width that cannot be looked up defines the layer with width 0.0.
#pragma once

#include <string_view>

#include "quillon/Quillon.h"

[[nodiscard]] int PDB_expdm_PutLayerPlus(std::string_view drawingPath, std::string_view newPdbPath,
                                         DrawingHandle& handle, int sourceKind);
