// Sheet information into the PDB.
//
// The entries are print conditions for devices of the drawing's maker; an installation
// that does not know a device cannot use its conditions, and the entries after it are
// conditions of the same sheet set, so the copy ends at the first unknown device.
#include "convert/SheetInfo.h"

#include <array>
#include <cstdint>

#include "lutwin/Lutwin.h"
#include "support/ByteOrder.h"
#include "support/db/ElementRecords.h"
#include "support/pipe/DebugPrint.h"

void Make_PDB_SheetInfo(DrawingHandle& handle) {
    if (prtjkn_chkrep(&handle) == 0) return;
    DbgPrint("      シート内蔵情報あり\n");
    for (int entry = 1; entry <= kSheetEntryCount; ++entry) {
        std::array<std::uint8_t, quillon::kSheetInfoSize> block{};
        const std::int16_t read =
            prtjkn_infrep(&handle, static_cast<std::int16_t>(entry), 0, block.data(),
                          static_cast<std::int32_t>(block.size()));
        std::int32_t mid = 0;
        (void)LoadI32(block, quillon::kSheetDeviceIdOffset, mid);
        const std::int32_t gmid = DevInf_GetSeleaseMID(mid);
        DbgPrint("          (%d) mid[%d] gmid[%d]\n", entry, mid, gmid);
        if (gmid == 0 || read != quillon::kQuillonOk) return;
        PdmDb_PutBlock2K(block, static_cast<std::uint8_t>(entry));
    }
}
