// Both opens define every layer in the extension file from the same lookups; the
// normal open also sends the layer record, the down level only the definition.
#include "convert/LayerDefinition.h"

#include "convert/ConvertStatus.h"
#include "pelmar/Pelmar.h"
#include "support/tables/PdbTables.h"

LayerDefinition Layer_ReadDefinition(DrawingHandle& h, std::int16_t lno) {
    LayerDefinition definition;
    // The definition's other values are not part of the extension file's layer.
    std::int16_t a = 0;
    std::int16_t b = 0;
    std::array<double, quillon::kLayerRecordCount> record{};
    double x = 0;
    definition.found =
        rep_layer_ex2(&h, lno, definition.name.data(), &definition.colourCode,
                      &definition.widthCode, &a, &b, record.data(), &x, &definition.skip);
    definition.name.back() = '\0';
    return definition;
}

int Layer_Define(DrawingHandle& h, std::int16_t lno, const LayerDefinition& definition,
                 int& firstFailure) {
    float width = 0;
    (void)db_get_lwidthinfo(&h, definition.widthCode, &width);
    std::array<std::uint8_t, quillon::kRgbSize> rgb{};
    if (db_get_colorinfo(&h, definition.colourCode, rgb.data()) != quillon::kQuillonOk) {
        return kConvertLookupFailed;
    }
    const std::int32_t defined = PDB_DEF_LAYER_Plus(PdbHead_ExtPath(), lno, definition.name.data(),
                                                    rgb[0], rgb[1], rgb[2], width);
    if (firstFailure == 0) firstFailure = defined;
    return kConvertOk;
}
