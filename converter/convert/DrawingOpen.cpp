// The open of a normal-level conversion.
//
// The head is read from the drawing whole before the PDB is created, so that a drawing
// that cannot be read never leaves a new, half-made PDB behind. The session is opened
// on a block of its own and becomes the process's session only once the open has
// succeeded: a failed open then leaves nothing for the job's close to end, and the
// close never sends a close request for a file the server never opened.
#include "convert/DrawingOpen.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

#include "convert/ConvertStatus.h"
#include "convert/LayerDefinition.h"
#include "gristo/Gristo.h"
#include "pelmar/Pelmar.h"
#include "platform/WinError.h"
#include "support/ByteOrder.h"
#include "support/db/DbCommands.h"
#include "support/db/DbMessage.h"
#include "support/db/DbSessionOps.h"
#include "support/db/ElementRecords.h"
#include "support/pipe/DebugPrint.h"
#include "support/tables/PdbTables.h"
#include "support/util/CountedString.h"
#include "support/util/FileOps.h"
#include "support/util/PdbFile.h"

namespace {

// Where the head block keeps the value and the counted name that command 105 carries;
// the name's field ends before the layer word at 512.
constexpr std::size_t kHeadValueAt = 390;
constexpr std::size_t kHeadNameAt = 394;
constexpr std::size_t kHeadNameField = 512 - kHeadNameAt;

using HeadBlockBytes = std::array<std::uint8_t, kPdbHeadSize>;

struct DrawingHead {
    std::string systemName;
    std::int16_t systemNumber = 0;
    std::string paperName;
    std::int16_t paperNumber = 0;
    std::array<std::int32_t, quillon::kHeadValueCount> frame{};
    std::array<std::int32_t, quillon::kHeadValueCount> size{};
    std::string message;
    std::string selectionName;
    std::array<std::string, quillon::kGroupNameCount> groupNames;
};

// A NUL-terminated text of a buffer that may lack its NUL: never read past the buffer.
std::string TextOf(std::span<const char> buffer) {
    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    return std::string(buffer.begin(), end);
}

// A head text as Quillon gives it (length byte first) made NUL-terminated in place. A
// length byte that runs past the buffer leaves the buffer as it was; the text is then
// empty rather than whatever bytes the buffer holds.
template <std::size_t N>
std::string HeadText(std::array<char, N>& buffer) {
    if (Str_CountedSwap(true, buffer) != 0) return {};
    return TextOf(buffer);
}

// The name of the drawing in the product (Gristo), or the drawing's own selection name
// when it has none: Gristo leaves its buffer empty on every failure, and an empty
// selection name would lose the one the drawing carries.
void UseProductDrawingName(std::string& selectionName) {
    std::array<char, kZmnNameSize> name{};
    const std::int32_t rc = PdmIMG_ZmnID_GetZmnName(kConvertedDrawingId, name.data(), 0, 0);
    name.back() = '\0';
    if (rc == 0 && name[0] != '\0') {
        selectionName = TextOf(name);
        return;
    }
    DbgPrint("      PdmIMG_ZmnID_GetZmnName() rc[%d] 図面名なし 元の選択名[%s]\n", rc,
             selectionName.c_str());
}

DrawingHead ReadDrawingHead(DrawingHandle& h, int sourceKind) {
    DrawingHead head;
    // Every call leaves its outputs zero or empty when it fails, so a drawing without
    // head texts gives empty names and zero values, as the new PDB would have them.
    std::array<char, quillon::kSystemNameSize> system{};
    (void)get_sysnam(&h, system.data(), &head.systemNumber);
    head.systemName = HeadText(system);
    std::array<char, quillon::kPaperNameSize> paper{};
    (void)get_pname(&h, paper.data(), &head.paperNumber);
    head.paperName = HeadText(paper);
    (void)get_pframe(&h, head.frame.data());
    (void)get_psize(&h, head.size.data());
    std::array<char, quillon::kMessageSize> message{};
    (void)get_pmsg(&h, message.data());
    head.message = HeadText(message);
    std::array<char, quillon::kSelectionNameSize> selection{};
    (void)get_selnam(&h, selection.data());
    head.selectionName = HeadText(selection);
    if (sourceKind == 4 || sourceKind == 5) UseProductDrawingName(head.selectionName);
    for (std::int16_t i = 0; i < quillon::kGroupNameCount; ++i) {
        std::array<char, quillon::kGroupNameSize> group{};
        (void)get_gname(&h, i, group.data());
        head.groupNames[static_cast<std::size_t>(i)] = HeadText(group);
    }
    return head;
}

// Creates the new PDB: the old file goes first, so that the server starts a new one. A
// file that stays (read-only, a folder, a locked file) would be opened as it is and the
// drawing's records appended to another drawing's, so it ends the open instead.
int OpenNewPdb(std::string_view newPdbPath) {
    const platform::WinError deleted = File_Delete(newPdbPath);
    if (deleted != platform::kErrorSuccess && deleted != platform::kErrorFileNotFound &&
        deleted != platform::kErrorPathNotFound) {
        const std::string path(UpToNul(newPdbPath));
        DbgPrint("      PDBファイルを削除できない err[%u] [%s]\n", deleted, path.c_str());
        return kConvertPdbOpenFailed;
    }
    return Open_BeginPdbUpdate(newPdbPath);
}

void SendHead(DbSession& session, const DrawingHead& head) {
    PdmDb_PutSystemName(session, head.systemName, head.systemNumber);
    PdmDb_PutPaperName(session, head.paperName, head.paperNumber);
    PdmDb_PutFrameValues(session, head.frame);
    PdmDb_PutSizeValues(session, head.size);
    PdmDb_PutMessage(session, head.message);
    PdmDb_PutSelectionName(session, head.selectionName);
    for (std::int16_t i = 0; i < quillon::kGroupNameCount; ++i) {
        PdmDb_PutGroupName(session, i, head.groupNames[static_cast<std::size_t>(i)]);
    }
}

// Records and defines the layers 1..max. 0; kConvertLookupFailed when a layer's colour
// is unknown (the loop ends there); else the first non-zero Pelmar result.
int PutLayers(DrawingHandle& h, DbSession& session) {
    std::int16_t max = 0;
    (void)max_layer(&h, &max);
    DbgPrint("      max_layer() max[%d]\n", max);
    int firstFailure = 0;
    for (std::int16_t lno = 1; lno <= max; ++lno) {
        std::array<char, quillon::kLayerNameSize> name{};
        DbLayerDef layer;
        std::int16_t skip = 0;
        const std::int16_t found = rep_layer(&h, lno, name.data(), &layer.first, &layer.second,
                                             layer.values.data(), &skip);
        // A layer that cannot be read is passed over like an absent one: its values
        // would be zeros, not the drawing's.
        if (skip != 0 || found != quillon::kQuillonOk) continue;
        layer.name = TextOf(name);
        DbgPrint("        PDB_drfio_init_put_layer() lno[%d] lnm[%s]\n", lno, layer.name.c_str());
        PdmDb_WriteLayer(session, lno, layer);

        // The definition is made whatever its own read gives, from the values it left.
        if (const int status = Layer_Define(h, lno, Layer_ReadDefinition(h, lno), firstFailure);
            status != kConvertOk) {
            return status;
        }
    }
    return firstFailure;
}

// Command 105 from the head block read directly: the value at 390 and the counted name
// at 394, read within the name's own field.
void SendHeadValueAndName(DbSession& session, const HeadBlockBytes& headBlock) {
    std::int32_t value = 0;
    (void)LoadI32(headBlock, kHeadValueAt, value);
    const std::span<const std::uint8_t> field =
        std::span<const std::uint8_t>(headBlock).subspan(kHeadNameAt, kHeadNameField);
    const std::string name = LoadCountedString(field, 0);
    PdmDb_PutHeadValueAndName(session, value, UpToNul(name));
}

}  // namespace

int Open_BeginPdbUpdate(std::string_view newPdbPath) {
    DbSession opening;
    if (PdmDb_Open(opening, newPdbPath) != 0) return kConvertPdbOpenFailed;
    // The session becomes the process's only once the server has opened the PDB.
    DbSession& session = PdmDb_CreateSession();
    session = opening;
    (void)PdmDb_BeginUpdate(session);
    return kConvertOk;
}

int PDB_drfio_init_put_layer(std::string_view drawingPath, std::string_view newPdbPath,
                             DrawingHandle& handle, int sourceKind) {
    // A head block that cannot be read stays zero: value 0 and an empty name.
    HeadBlockBytes headBlock{};
    (void)PdmDb_Head_DirectRead(drawingPath, headBlock);

    handle = DrawingHandle{};
    const std::string drawing(UpToNul(drawingPath));
    const std::int16_t opened = db_open_ex(&handle, drawing.c_str(), 2, 1);
    if (opened != quillon::kQuillonOk) return opened;

    const DrawingHead head = ReadDrawingHead(handle, sourceKind);
    if (OpenNewPdb(newPdbPath) != kConvertOk) {
        (void)db_close(&handle);
        return kConvertPdbOpenFailed;
    }
    DbSession& session = *PdmDb_Session();
    SendHead(session, head);

    std::int16_t field = 0;
    (void)rep_vfield(&handle, 1, &field);
    if (field < 0) PdmDb_Notice(session, 1);

    if (const int layers = PutLayers(handle, session); layers != kConvertOk) {
        (void)db_close(&handle);
        return layers;
    }

    // A mode block that cannot be read is not sent: zeros would wipe the head the
    // server made for the new file.
    HeadBlockBytes modeBlock{};
    if (get_mode_inf(&handle, 0, modeBlock.data(), static_cast<std::int32_t>(modeBlock.size())) ==
        quillon::kQuillonOk) {
        PdmDb_WriteHead(session, 0, modeBlock);
    }
    SendHeadValueAndName(session, headBlock);
    return kConvertOk;
}
