// The kind of an input file, told by its extension (compared without regard to case):
//
//   .000 - .099  1  (a drawing in PDB form; ".0" and exactly two digits)
//   .TUF 2   .K3S 3   .KDF 4   .CSF 5   .BMP 6   .TIF 7   .JPG 8   .GIF 9   .EMF 10
//   .WMF 11  .TXT 12  .DOC 13  .XLS 14  .DXF 15  .DWG 16  .SFC 17  .P21 18  .PDF 19
//   any other extension, or none: 1 when the file is a PDB (Pdb_IsValidFile with the
//   read-only check), else 0.
//
// Kind 1 is the only kind the conversion job accepts.
#pragma once

#include <string_view>

inline constexpr int kFileKindUnknown = 0;
inline constexpr int kFileKindDrawing = 1;

// The kind of `path` as the table above gives it. The extension is that of the file name
// (Path_Ext): a dot in a folder name does not count.
int File_KindOfExt(std::string_view path);
