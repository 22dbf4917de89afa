// quillon import IN.dxf OUT.0nn: a DXF drawing into a drawing in PDB form.
//
// `args` are IN and OUT ("-" for OUT: standard output). The DXF becomes a JSON source
// (DxfImport.h) that MakeDrawing checks and builds like any other; OUT is written
// atomically. What the drawing cannot carry is reported on standard error, one line per
// kind ("quillon: IN: left out 2 DIMENSION"), and does not fail the command.
// Returns 0 when OUT was written, 1 when IN cannot be read or is refused or OUT cannot
// be written (the reason on standard error).
#pragma once

#include <string>
#include <vector>

namespace quillon_tool {

int RunImport(const std::vector<std::string>& args);

}  // namespace quillon_tool
