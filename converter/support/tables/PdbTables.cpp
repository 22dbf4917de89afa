// The pen and font tables of one conversion, and the head of the extension file.
//
// The state is one process-wide object: the converter runs one conversion per process
// and the walk reaches the tables from deep inside the element code, where passing a
// context along would touch every element kind. The tables are freed when the process
// ends, which keeps a leak checker quiet about a conversion that ended early.
#include "support/tables/PdbTables.h"

#include <cstring>
#include <string>

#include "pelmar/Pelmar.h"
#include "platform/Cp932.h"
#include "support/pipe/DebugPrint.h"

namespace {

struct TablesState {
    std::string extPath;
    ChunkChain<PenEntry> pens;
    ChunkChain<FontNameEntry> fonts;
};

TablesState& State() {
    static TablesState state;
    return state;
}

// Keys are compared as the tables keep them: 16-bit.
std::int16_t Key16(int value) { return static_cast<std::int16_t>(value); }

}  // namespace

int PdbHead_Begin(const char* extPath, int sourceKind) {
    TablesState& state = State();
    state.extPath = extPath != nullptr ? extPath : "";
    int rc = 0;
    if (!state.pens.Create() || !state.fonts.Create()) {
        // Without both tables no pen or font can be collected; the job hears of it
        // through the result, and the head still goes out so the file is well begun.
        state.pens.Clear();
        state.fonts.Clear();
        DbgPrint("      PdbHead_Begin() ペン・フォントテーブルの領域確保失敗\n");
        rc = kPdbTablesNoMemory;
    }
    const int headRc = PDB_Put_HeadInfo(state.extPath.c_str(), sourceKind);
    return headRc != 0 ? headRc : rc;
}

const char* PdbHead_ExtPath() { return State().extPath.c_str(); }

void PenTable_Add(int penNo, std::uint8_t red, std::uint8_t green, std::uint8_t blue, double width,
                  std::int32_t rgbCD, std::int32_t widthCD) {
    ChunkChain<PenEntry>& pens = State().pens;
    if (!pens.Exists()) return;
    const std::int16_t key = Key16(penNo);
    if (pens.FindFirst([key](const PenEntry& e) { return e.penNo == key; }) != nullptr) return;
    const PenEntry entry{key, red, green, blue, width, rgbCD, widthCD};
    if (pens.Append(entry) == ChunkAppend::kNoMemory) {
        DbgPrint("      PenTable_Add() 領域確保失敗 pen[%d] count[%d]\n", key, pens.Count());
    }
}

int PenTable_Get(int n, PenEntry& entry) {
    const PenEntry* found = State().pens.At(n);
    if (found == nullptr) return 0;
    entry = *found;
    return 1;
}

void FontNameTable_Add(int fontId, const char* name) {
    ChunkChain<FontNameEntry>& fonts = State().fonts;
    if (!fonts.Exists()) return;
    const std::int16_t key = Key16(fontId);
    if (fonts.FindFirst([key](const FontNameEntry& e) { return e.fontId == key; }) != nullptr) {
        return;
    }
    // The entry has room for 31 bytes and the NUL; a longer name loses whole characters
    // at its end, never half of one, so the name stays valid code page 932.
    const std::string fitted =
        platform::CutToBytes(name != nullptr ? name : "", kFontFaceNameSize - 1);
    FontNameEntry entry{};
    entry.fontId = key;
    std::memcpy(entry.name, fitted.data(), fitted.size());
    if (fonts.Append(entry) == ChunkAppend::kNoMemory) {
        DbgPrint("      FontNameTable_Add() 領域確保失敗 font[%d] count[%d]\n", key, fonts.Count());
    }
}

int FontNameTable_Get(int n, FontNameEntry& entry) {
    const FontNameEntry* found = State().fonts.At(n);
    if (found == nullptr) return 0;
    entry = *found;
    return 1;
}

int PdbHead_PutPensAndFonts() {
    TablesState& state = State();
    const char* extPath = state.extPath.c_str();
    int firstFailure = 0;
    auto note = [&firstFailure](const char* call, int rc) {
        if (rc == 0) return;
        DbgPrint("      %s() 登録失敗 rc[%d]\n", call, rc);
        if (firstFailure == 0) firstFailure = rc;
    };

    DbgPrint("1.ペン番号による色・線幅バッファのまとめて登録\n");
    PenEntry pen{};
    for (int n = 1; PenTable_Get(n, pen) != 0; ++n) {
        const int rc = PDB_Put_PenInfo_CL(extPath, pen.penNo, pen.red, pen.green, pen.blue,
                                          pen.width, pen.rgbCD, pen.widthCD);
        DbgPrint(" (%2d) pen[%3d] r[%3d] g[%3d] b[%3d] width[%lf] rgbCD[%d] widthCD[%d]\n", n,
                 pen.penNo, pen.red, pen.green, pen.blue, pen.width, pen.rgbCD, pen.widthCD);
        note("PDB_Put_PenInfo_CL", rc);
    }

    DbgPrint("1.文字属性フォントIDによるTrueTypeフォント名バッファのまとめて登録\n");
    FontNameEntry font{};
    for (int n = 1; FontNameTable_Get(n, font) != 0; ++n) {
        const int rc = PDB_Put_TrueTypeFontName(extPath, font.fontId, font.name);
        DbgPrint(" (%2d) font[%3d] fontName[%s]\n", n, font.fontId, font.name);
        note("PDB_Put_TrueTypeFontName", rc);
    }

    state.pens.Clear();
    state.fonts.Clear();
    return firstFailure;
}

void PdbTables_ResetForTesting() {
    TablesState& state = State();
    state.pens.Clear();
    state.fonts.Clear();
    state.extPath.clear();
}
