// The open of a normal-level conversion: the drawing is opened through Quillon, the new
// PDB is created through the database manager, the drawing's head is copied into it and
// every layer is defined twice, as a layer record of the PDB and as a layer definition
// in the extension file (Pelmar).
//
// PDB_drfio_init_put_layer(drawingPath, newPdbPath, handle, sourceKind)
//   drawingPath  Windows path (code page 932) of the drawing, the job's working copy.
//   newPdbPath   Windows path of the PDB to create; a file already there is deleted.
//   handle       the caller's DrawingHandle; it is zero-filled here before the open.
//   sourceKind   the source data kind of the command line. For kinds 4 and 5 the PDB's
//                selection name is the name under which the product knows the drawing
//                (Gristo, drawing id 102) instead of the drawing's own selection name.
//   The layer definitions go to the extension file kept by PdbHead_Begin
//   (PdbHead_ExtPath), which the job starts before the open.
//
// In order: the drawing's 2048-byte head block is read directly; db_open_ex; the head
// texts and values are read; the PDB is opened and the update begun; the head records
// go out (system name 83, paper name 85, frame 87, size 89, message 91, selection name
// 103, group names 0-10 93); notice 54 with 1 when value field 1 of the head is
// negative; the log line "      max_layer() max[%d]\n"; for each layer 1..max whose
// skip flag is clear, the line "        PDB_drfio_init_put_layer() lno[%d] lnm[%s]\n",
// its layer record (62), its colour and width looked up and PDB_DEF_LAYER_Plus; the
// mode block (122); the value at byte 390 and the counted name at byte 394 of the head
// block read first (105).
//
// Results:
//   0      the drawing is open on `handle` and the PDB session (PdmDb_Session) is open
//          inside its update, ready for the element walk.
//   db_open_ex's non-zero status, as it is: nothing else was touched (the new PDB path
//          included).
//   21     the PDB could not be created: a file at the new PDB path that cannot be
//          deleted (read-only, a folder; a missing file or folder is no obstacle), or
//          PdmDb_Open failed (server unreachable, the server refused the path, a path
//          over 255 bytes). The drawing is closed and no session is left behind
//          (PdmDb_Session() is null); the log line
//          "      PDBファイルを削除できない err[%u] [%s]\n" names an undeletable file.
//   11     the colour of a layer could not be looked up (db_get_colorinfo). The drawing
//          is closed; the layers before it are defined and its layer record was sent.
//   a Pelmar result (negative): PDB_DEF_LAYER_Plus failed for a layer. Every layer is
//          still recorded and defined; the result of the FIRST failed definition is
//          returned, so a failure is never hidden by a later success. The drawing is
//          closed.
//   After 11 or a Pelmar result the PDB session stays open: the job's close ends it
//   (PdmDb_CloseDrawing), as it does after a failed open; the drawing is closed already
//   (its db_close then answers that nothing is open, which the job does not use).
//
// Edge cases:
//   - max_layer 0 (or a negative value): the line shows it and no layer is defined.
//   - A layer whose skip flag is set, or for which rep_layer fails, gets no record, no
//     definition and no log line.
//   - A width that cannot be looked up (db_get_lwidthinfo) defines the layer with width
//     0.0; only the colour lookup ends the open.
//   - Source kinds 4 and 5 when Gristo has no name for the drawing (or fails): the
//     drawing's own selection name is kept and the line
//     "      PdmIMG_ZmnID_GetZmnName() rc[%d] 図面名なし 元の選択名[%s]\n" says so; an
//     empty or unfinished buffer is never sent as the name.
//   - A head text whose length byte does not fit its buffer is sent as empty text.
//   - A mode block that Quillon cannot give is not sent (the PDB keeps its own head).
//   - Requests after the open that fail on the pipe are remembered by the session and
//     reported by the close (22); the begin of the update likewise.
#pragma once

#include <string_view>

#include "quillon/Quillon.h"

// Gristo's id of the drawing being converted from an image (source kinds 4 and 5).
inline constexpr int kConvertedDrawingId = 102;

[[nodiscard]] int PDB_drfio_init_put_layer(std::string_view drawingPath,
                                           std::string_view newPdbPath, DrawingHandle& handle,
                                           int sourceKind);

// Opens the PDB at `newPdbPath` through the database manager, makes it the process's
// session (PdmDb_Session) and begins its update; both opens use it. 0, or 21 when
// PdmDb_Open fails (no session is then left behind). A bracket that cannot be held is
// remembered by the session (requests then go one connection each) and reported by
// the close.
[[nodiscard]] int Open_BeginPdbUpdate(std::string_view newPdbPath);
