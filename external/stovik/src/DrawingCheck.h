// The analysis of one drawing: opens it through Quillon (read only: the file is never
// changed), checks its head and walks every element with the cursor, reporting each
// problem as one line to a ProblemLog, then ends the report with its summary.
//
// What counts as a problem (each one log line, "Stovik: ..." in code page 932):
//  - head: a defined layer whose colour code or width code has no entry, a layer name
//    or head text that is not sound code page 932, a current layer (head word 512) that
//    names no defined layer;
//  - element (line "Stovik: 要素 pid[P] pkd[K] ..."; P the position, K the kind as
//    stored): a record the cursor cannot read (damaged: reported and stepped past);
//    a layer number without a defined layer; an attribute id that names no entry of
//    the kind's table (line, point, mark or symbol attribute; 0 included, since every
//    kind with such a table needs one); a non-zero face or arrow attribute id without
//    an entry; a pen without an entry, or whose width code or colour code has none; a
//    paint number without a paint colour (painted circles, fills and paint areas that
//    are not hatched); a symbol attribute's font without an entry; a text length word
//    that is negative or exceeds the text data, or a text that is not sound code page
//    932; a value of the fixed part, a point or a boundary / contour item that is not
//    finite (once per element); a variable part that is not a whole number of items;
//    a Bézier whose point count is not 1 + 3 per segment; a fill item code other than
//    2, 3, 4 or 6 before its circle item;
//  - placement (kind 25, members included): no placement record; a layer override or
//    an applied override pen that is not defined; a definition position without a
//    definition record; a member position without a readable element, or whose kind is
//    not a member kind (51-99); a member list longer than a 16-bit byte count can give.
//
// Kinds the form does not describe and the stop marks are counted and not checked.
//
// Exit codes of AnalyseDrawing (the program's own):
//   0  the drawing was read whole and no problem was found;
//   1  problems were found (the summary gives their number);
//   2  the drawing could not be opened (missing, not a readable drawing: one line with
//      the path and Quillon's open status) or a read failed during the walk (one line
//      with the position and status, then the summary of what was checked).
#pragma once

#include <string>

#include "ProblemLog.h"

namespace stovik {

inline constexpr int kExitSound = 0;
inline constexpr int kExitProblems = 1;
inline constexpr int kExitCannotRead = 2;

// `windowsPath`: the drawing's Windows path (short or long form, code page 932).
[[nodiscard]] int AnalyseDrawing(const std::string& windowsPath, ProblemLog& log);

}  // namespace stovik
