// Fennoc, the product's settings library: where the product's folders are.
//
// The contract the converter links against (Fennoc.DLL). Each function fills a
// caller-owned buffer of kPdmIniPathSize bytes with a Windows path (code page 932,
// NUL-terminated, no trailing "\") and returns 0; when the setting is missing or does
// not fit the buffer it returns non-zero and leaves the buffer an empty string.
// Where the settings live is documented in docs/fennoc.md.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum { kPdmIniPathSize = 260 };

// The temporary folder for `key` (the converter passes 0: its working copies).
int PdmIni_GetTmpDir(int key, char* buffer);
// The folder of the product's PDM programs (the database manager lives there).
int PdmIni_GetPdmDir(char* buffer);
// The folder of the product's shared programs.
int PdmIni_GetKelprogsDir(char* buffer);

#ifdef __cplusplus
}
#endif
