// Gristo, the product's drawing-name library: the name under which the product knows a
// drawing.
//
// The contract the converter links against (Gristo.DLL). Names are kept by drawing id
// (and optionally per sheet) in the machine's registry, where a person or the product's
// drawing register sets them; docs/gristo.md says where and how.
//
// PdmIMG_ZmnID_GetZmnName(zmnId, name, sheet, reserved)
//   zmnId     the drawing id whose name is asked. The converter passes 102, the id the
//             product gives the drawing it converts from a scanned or imported image
//             (source data kinds 4 and 5).
//   name      the caller's buffer of exactly kZmnNameSize bytes. On success it holds the
//             name, code page 932, NUL-terminated; a name of kZmnNameSize bytes or more
//             is cut to at most kZmnNameSize - 1 bytes on a character boundary, never
//             inside a double-byte character. The call never writes past the buffer.
//   sheet     0 for the drawing's own name; n > 0 for the name of its sheet n, which is
//             the drawing's own name when the sheet has none of its own.
//   reserved  must be 0.
// Results (the buffer holds an empty string whenever the result is not 0):
//   0     the name was found (it may be cut, see above)
//   2     unknown id: no name is set for it (also a name set to the empty string)
//   87    no buffer, a negative sheet or a non-zero reserved argument
//   1629  the setting is not a string (e.g. a REG_DWORD)
//   1009  the machine's registry file does not parse
// The setting is read on every call, so a changed name is seen by the next call.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Size of the name buffer the caller passes: at most 255 bytes of name and the NUL,
// as much as a counted name of the PDB's head can hold.
enum { kZmnNameSize = 256 };

int32_t PdmIMG_ZmnID_GetZmnName(int32_t zmnId, char* name, int32_t sheet, int32_t reserved);

#ifdef __cplusplus
}
#endif
