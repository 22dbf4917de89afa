// The name of the extension file (the PDM-only extension data Pelmar writes beside the
// new PDB): the new PDB's path with its extension replaced by ".F" and two digits,
// ".F01" to ".F99" ("%s%02d"); the first that does not exist is taken. A PDB path
// without an extension gets one ("C:\OUT\NEW" gives "C:\OUT\NEW.F01").
#pragma once

#include <string>
#include <string_view>

inline constexpr int kExtensionNameOk = 0;
// All of .F01 to .F99 exist.
inline constexpr int kExtensionNameNoneFree = 1;
// The name does not fit the job's 260-byte path field.
inline constexpr int kExtensionNameTooLong = 2;

// kExtensionNameOk and the name in `out`, or one of the codes above (`out` empty).
[[nodiscard]] int ExtensionFile_Choose(std::string_view newPdbPath, std::string& out);
