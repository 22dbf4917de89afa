// Input kinds by extension.
//
// The numbered extensions of drawings (.000 to .099) are matched as exactly four bytes,
// "." "0" digit digit, so ".0991" or ".0X9" are not taken for drawings. Only an
// extension that is in no row of the table makes the file's content decide.
#include "support/util/FileKind.h"

#include <array>

#include "platform/Cp932.h"
#include "support/util/PathEdit.h"
#include "support/util/PdbFile.h"

namespace {

struct KindRow {
    std::string_view extension;
    int kind;
};

constexpr std::array<KindRow, 18> kKinds = {{
    {".TUF", 2},
    {".K3S", 3},
    {".KDF", 4},
    {".CSF", 5},
    {".BMP", 6},
    {".TIF", 7},
    {".JPG", 8},
    {".GIF", 9},
    {".EMF", 10},
    {".WMF", 11},
    {".TXT", 12},
    {".DOC", 13},
    {".XLS", 14},
    {".DXF", 15},
    {".DWG", 16},
    {".SFC", 17},
    {".P21", 18},
    {".PDF", 19},
}};

bool IsDrawingNumber(std::string_view ext) {
    return ext.size() == 4 && ext[0] == '.' && ext[1] == '0' && platform::IsAsciiDigit(ext[2]) &&
           platform::IsAsciiDigit(ext[3]);
}

}  // namespace

int File_KindOfExt(std::string_view path) {
    if (path.data() == nullptr) return kFileKindUnknown;
    // An extension that does not fit is longer than any in the table: the content decides.
    char ext[260] = {};
    if (Path_Ext(path, ext) == 0) {
        const std::string_view extension(ext);
        if (IsDrawingNumber(extension)) return kFileKindDrawing;
        for (const KindRow& row : kKinds) {
            if (platform::EqualsNoCase(extension, row.extension)) return row.kind;
        }
    }
    return Pdb_IsValidFile(path, true) ? kFileKindDrawing : kFileKindUnknown;
}
