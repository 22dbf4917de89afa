// The open of a down-level conversion.
//
// The copy is checked: a conversion that went on without it would have the database
// manager open (and the walk change) whatever file lay at the new PDB path before, or
// nothing at all, and report success. The session becomes the process's session only
// once the server has opened the copy, as in the normal open, so a failed open leaves
// nothing for the job's close to end.
#include "convert/DownLevelOpen.h"

#include <array>
#include <cstdint>
#include <string>

#include "convert/ConvertStatus.h"
#include "convert/DrawingOpen.h"
#include "convert/LayerDefinition.h"
#include "gristo/Gristo.h"
#include "pelmar/Pelmar.h"
#include "platform/WinError.h"
#include "support/db/DbCommands.h"
#include "support/db/DbMessage.h"
#include "support/db/DbSessionOps.h"
#include "support/db/ElementRecords.h"
#include "support/pipe/DebugPrint.h"
#include "support/tables/PdbTables.h"
#include "support/util/FileOps.h"

namespace {

// The product's name of the drawing as the selection name; only a name Gristo gave.
void SendProductDrawingName(DbSession& session) {
    std::array<char, kZmnNameSize> name{};
    const std::int32_t rc = PdmIMG_ZmnID_GetZmnName(kConvertedDrawingId, name.data(), 0, 0);
    name.back() = '\0';
    if (rc == 0 && name[0] != '\0') {
        PdmDb_PutSelectionName(session, name.data());
        return;
    }
    DbgPrint("      PdmIMG_ZmnID_GetZmnName() rc[%d] 図面名なし\n", rc);
}

// Defines the layers 1..max in the extension file. 0; 11 when a layer's colour is
// unknown (the loop ends there); else the first non-zero Pelmar result.
int DefineLayers(DrawingHandle& h) {
    DbgPrint("      max_layer()\n");
    std::int16_t max = 0;
    (void)max_layer(&h, &max);
    int firstFailure = 0;
    for (std::int16_t lno = 1; lno > 0 && lno <= max; ++lno) {
        const LayerDefinition definition = Layer_ReadDefinition(h, lno);
        if (definition.skip != 0 || definition.found != quillon::kQuillonOk) continue;
        DbgPrint("        PDB_expdm_PutLayerPlus() lno[%d] lnm[%s]\n", lno, definition.name.data());
        if (const int status = Layer_Define(h, lno, definition, firstFailure);
            status != kConvertOk) {
            return status;
        }
    }
    return firstFailure;
}

}  // namespace

int PDB_expdm_PutLayerPlus(std::string_view drawingPath, std::string_view newPdbPath,
                           DrawingHandle& handle, int sourceKind) {
    handle = DrawingHandle{};
    if (const platform::WinError copied = File_Copy(drawingPath, newPdbPath);
        copied != platform::kErrorSuccess) {
        const std::string from(UpToNul(drawingPath));
        const std::string to(UpToNul(newPdbPath));
        DbgPrint("      図面ファイルの複写失敗 err[%u] [%s]->[%s]\n", copied, from.c_str(),
                 to.c_str());
        return kConvertPdbOpenFailed;
    }
    const std::string drawing(UpToNul(drawingPath));
    const std::int16_t opened = db_open_ex(&handle, drawing.c_str(), 2, 1);
    if (opened != quillon::kQuillonOk) return opened;

    if (Open_BeginPdbUpdate(newPdbPath) != kConvertOk) {
        (void)db_close(&handle);
        return kConvertPdbOpenFailed;
    }
    if (sourceKind == 4 || sourceKind == 5) SendProductDrawingName(*PdmDb_Session());

    if (const int layers = DefineLayers(handle); layers != kConvertOk) {
        (void)db_close(&handle);
        return layers;
    }
    return kConvertOk;
}
