// The placed element (kind 25): the members of a definition drawn where a placement
// puts them. Convert_PlacedElement is declared with the walk in WalkContext.h.
//
// Convert_PlacedElement(handle, context), the cursor on the placement (its pkd read):
//   1. The context's pid, pkd, pen override flag, override pen and transform are saved;
//      they are restored, and the cursor is put back on the placement (db_seek), on
//      every way out once the placement record has been asked for.
//   2. db_seek(pid), db_read_ex: the placement record. Its layer override is set
//      (Walk_SetLayerOverride) and is NOT restored: it stays in force until the walk's
//      next top-level element, also after an inner placement ends. A pen flag of 0
//      turns the pen override on with the record's pen, any other value turns it off.
//      The members' transform is M · T: M from the five placement values
//      (Matrix_Compose), T the enclosing transform, so that a member's point is carried
//      by its own placement first.
//   3. db_seek to the definition, db_read_ex, db_rest_record: the member list's byte
//      count; the list (32-bit positions) is read with db_get into a buffer of its own.
//      (A definition holds at most 16,382 members in a drawing, so the count suffices.)
//   4. Each member in order: pid set to it, db_seek, its 2-byte kind read and brought
//      back towards zero by 50 (stored +52 → 2, stored −52 → −2: a hidden copy stays
//      hidden), the element trace line "        db_get() pid[%d] pkd[%d]\n" when the
//      trace is on, Make_PDB_GetPut_Main. A member that fails is logged
//      ("        Error! Make_PDB_GetPut_Main() rtn[%d] pid[%d] pkd[%d]\n") and the
//      next one is converted.
//   Result: the status of the last member (0 for an empty list); or
//   - kConvertPlacementTooDeep (15) when the placement would be nested deeper than
//     kWalkMaxPlacementDepth (the top-level placement is depth 1); nothing of it is
//     converted; log "      配置要素の入れ子が深すぎる pid[%d] 深さ[%d]\n". A placement
//     that contains itself ends here too: its nesting never ends.
//   - kConvertPlacementTooLarge (16) when the members converted under one top-level
//     placement (nested members included) would pass kWalkMaxPlacedMembers: the
//     conversion stops there (what was converted stays); log once
//     "      配置要素の展開が多すぎる pid[%d] 要素数[%lld]\n". A drawing may nest
//     definitions that each place the next one twice: 64 levels would be 2^64 members.
//   - kConvertNoMemory (5) when the member list cannot be allocated: nothing is
//     converted.
//   - kConvertBadElement (14) when the placement or its definition record cannot be
//     read, or a member cannot be sought or its kind read (that member only; the
//     others are converted).
#pragma once

#include <cstdint>

// At most this many members are converted under one top-level placement.
inline constexpr std::int64_t kWalkMaxPlacedMembers = 2'000'000;
