// The pen and font tables of one conversion, and the head of the extension file.
//
// While the element walk converts a drawing, every pen an element uses and every font
// a text uses is collected here once, in the order the walk first meets it. After the
// walk the conversion job registers them all with the PDB writer (Pelmar) in one pass
// and the tables are freed. The tables and the path of the extension file (the
// temporary ".Fnn" file Pelmar writes beside the new PDB) are process-wide; there is one
// set at a time.
//
// Storage: ChunkChain (chunks of 100 entries). Duplicates are found by scanning every
// entry in order by its key; no index is kept.
//
// Lifecycle: no tables -> PdbHead_Begin -> tables exist, empty -> adds during the walk
// -> PdbHead_PutPensAndFonts -> registered and freed (adds are ignored again until the
// next PdbHead_Begin). A conversion that ends early keeps its tables until the next
// PdbHead_Begin or the end of the process.
#pragma once

#include <cstdint>

#include "support/tables/ChunkChain.h"

// Bytes of a face name in a font table entry: at most 31 bytes of code page 932 text
// and its NUL.
inline constexpr int kFontFaceNameSize = 32;

// PdbHead_Begin's result when the first chunk of a table cannot be allocated.
inline constexpr int kPdbTablesNoMemory = -9340;

// One pen: its number (the key), colour, line width, colour code and width code, as the
// drawing database reports them; stored and passed on unchanged.
struct PenEntry {
    std::int16_t penNo;
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    double width;
    std::int32_t rgbCD;
    std::int32_t widthCD;
};

// One font: its id (the key) and TrueType face name (NUL-terminated code page 932).
struct FontNameEntry {
    std::int16_t fontId;
    char name[kFontFaceNameSize];
};

// Keeps `extPath` (a Windows path of the extension file; null counts as empty) for every
// later writer call of the conversion, creates both tables empty (freeing any tables a
// conversion that ended early left), then starts the extension file with
// PDB_Put_HeadInfo(extPath, sourceKind). Called once per conversion, before the walk.
// Result: 0; Pelmar's non-zero result of PDB_Put_HeadInfo; else kPdbTablesNoMemory when
// the tables could not be created (a log line says so; adds are then ignored, and the
// head information is still written).
int PdbHead_Begin(const char* extPath, int sourceKind);

// The extension file's path kept by PdbHead_Begin ("" before it), for the writer calls
// the walk makes itself. Valid until the next PdbHead_Begin.
const char* PdbHead_ExtPath();

// Adds a pen unless one with the same number is present; a present pen is not changed
// (the first registration wins). Only the low 16 bits of `penNo` count, as the table
// keeps them. Nothing happens while no tables exist. When a further chunk cannot be
// allocated the pen is not added, a log line says so, and the walk goes on.
void PenTable_Add(int penNo, std::uint8_t red, std::uint8_t green, std::uint8_t blue, double width,
                  std::int32_t rgbCD, std::int32_t widthCD);
// Entry n (1-based) copied to `entry` and 1; 0 when n is outside 1..count or no tables
// exist (`entry` untouched).
int PenTable_Get(int n, PenEntry& entry);

// As PenTable_Add, keyed by the font id (low 16 bits). `name` (null counts as empty) is
// kept in 32 bytes: a longer name is cut to at most 31 bytes on a character boundary.
void FontNameTable_Add(int fontId, const char* name);
// As PenTable_Get.
int FontNameTable_Get(int n, FontNameEntry& entry);

// The bulk registration after the walk. Writes the debug line
// "1.ペン番号による色・線幅バッファのまとめて登録", then for each pen in table order calls
// PDB_Put_PenInfo_CL and writes its line " (n) pen[..] r[..] g[..] b[..] width[..]
// rgbCD[..] widthCD[..]"; writes "1.文字属性フォントIDによるTrueTypeフォント名バッファの
// まとめて登録", then for each font calls PDB_Put_TrueTypeFontName and writes
// " (n) font[..] fontName[..]". Every entry is registered and logged whatever the writer
// answers; a failed call adds a line with its result. Then both tables are freed.
// Result: 0 when every writer call succeeded (also with empty or missing tables), else
// the first non-zero writer result, so that the job never takes a lost pen or font for
// success.
int PdbHead_PutPensAndFonts();

// Frees the tables and forgets the path, as at the start of the process (tests).
void PdbTables_ResetForTesting();
