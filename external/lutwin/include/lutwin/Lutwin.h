// Lutwin, the product's device-information library: which output devices (plotters,
// printers) this installation knows.
//
// The contract the converter links against (Lutwin.DLL). A drawing's sheet information
// names the device it was set up for by the id the drawing was made with; the
// installation keeps its own id for each device it knows, set by a person in the
// machine's registry (docs/lutwin.md says where and how).
//
// DevInf_GetSeleaseMID(mid)
//   mid     the device id as the drawing stores it (any signed 32-bit value).
//   result  the installation's id for that device, or 0 when the device is unknown:
//           no entry for it, an entry of 0, an entry that is not a number, or a registry
//           file that does not parse. 0 is never the id of a known device, so a caller
//           can take 0 as "do not use this device's settings".
// The setting is read on every call, so a change is seen by the next call.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t DevInf_GetSeleaseMID(int32_t mid);

#ifdef __cplusplus
}
#endif
