// The element walk of a normal-level conversion: every element of the open drawing in
// file order, each converted by Make_PDB_GetPut_Main into records of the PDB.
//
// Walk_AllElements(handle)
//   handle  the open drawing (PDB_drfio_init_put_layer succeeded); the PDB session is
//           open inside its update.
//   1. The data buffer is allocated (failure: 5 and nothing else happens); the
//      transform is the identity, the pen override off, the font cache created.
//   2. db_head; for each element: its 2-byte pkd, db_rtn for pid, the layer override
//      set to 0, Make_PDB_GetPut_Main; a non-zero status s is logged as
//      "      Error! Make_PDB_GetPut_Main() rtn[%d] pid[%d] pkd[%d]\n" and the walk goes
//      on; db_seek(pid), db_skp, until db_rtn gives 1. A position that Quillon reports
//      damaged or unreadable when the cursor reaches it (its pkd cannot be read) fails
//      with kConvertBadElement, logged with pkd 0, and the walk goes on after it.
//   3. The font cache is destroyed; the background image (db_backimg_get) and the image
//      count go to the database manager; the sheet information is converted.
//   Result: the status of the last element converted (earlier failures only logged), or
//   5 when the data buffer could not be allocated.
//
// Make_PDB_GetPut_Main(handle, context)
//   Converts the element at the cursor whose pkd and pid the context holds (the pkd
//   already read); switches on |pkd|. 0 or a status (ConvertStatus.h, a Pelmar result).
#pragma once

#include "convert/WalkContext.h"
#include "quillon/Quillon.h"

[[nodiscard]] int Walk_AllElements(DrawingHandle& handle);
[[nodiscard]] int Make_PDB_GetPut_Main(DrawingHandle& handle, ElementWalkContext& context);

// The parts both levels' walks share.
// Walk_Begin: a fresh context of `level`, its data buffer allocated (failure: 5), the
// transform the identity, the pen override off. 0 or kConvertNoMemory.
[[nodiscard]] int Walk_Begin(ElementWalkContext& context, WalkLevel level);
// Walk_EachElement: step 2 above over every element. At the down level command 13
// (PdmDb_QueryMulti) is sent once right after db_head and a failing element writes no
// log line. The status of the last element.
[[nodiscard]] int Walk_EachElement(DrawingHandle& handle, ElementWalkContext& context);

// The trace switches: an element trace ("      db_get() pid[%d] pkd[%d] rtn[%d]\n" for
// each top-level element, "        db_get() pid[%d] pkd[%d]\n" for each member of a
// placed element), a dimension trace ("  寸法線\n" for each dimension line) and, at the
// down level only, a kind-name trace (two blanks, the kind's name and a line feed for
// each element of kinds 1-12, 16-22 and 25-27, e.g. "  点\n"). All are turned off at
// the start of every conversion; no option turns them on.
struct TraceSwitch {
    bool element = false;
    bool dimension = false;
    bool kindName = false;
};
[[nodiscard]] TraceSwitch& Walk_TraceSwitch();

// The dash-expansion switch of the command line (0 or 1), stored by the conversion step
// and read by the conversion of line types 5 and 6.
void Walk_SetDashExpansion(int on);
[[nodiscard]] int Walk_DashExpansion();
