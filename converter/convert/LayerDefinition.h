// A layer's definition in the extension file, as both opens make it.
//
// Layer_ReadDefinition(h, lno) reads layer `lno`'s name and its colour and width codes
// from the drawing (rep_layer_ex2). `name` is always NUL-terminated; `found` is
// rep_layer_ex2's status and `skip` its skip flag, as they are (the caller decides what
// an absent or unreadable layer means).
//
// Layer_Define(h, lno, definition, firstFailure) looks up the width (db_get_lwidthinfo;
// an unknown width code gives 0) and the colour (db_get_colorinfo) and defines the
// layer with PDB_DEF_LAYER_Plus in the extension file (PdbHead_ExtPath).
//   Results: 0; kConvertLookupFailed when the colour is unknown (nothing defined). A
//   failed definition is not a result: its Pelmar result is kept in `firstFailure` when
//   that is still 0, so that every layer is defined and the first failure reported.
#pragma once

#include <array>
#include <cstdint>

#include "quillon/Quillon.h"

struct LayerDefinition {
    std::array<char, quillon::kLayerNameSize> name{};
    std::int16_t colourCode = 0;
    std::int16_t widthCode = 0;
    std::int16_t found = 0;
    std::int16_t skip = 0;
};

[[nodiscard]] LayerDefinition Layer_ReadDefinition(DrawingHandle& h, std::int16_t lno);

[[nodiscard]] int Layer_Define(DrawingHandle& h, std::int16_t lno,
                               const LayerDefinition& definition, int& firstFailure);
