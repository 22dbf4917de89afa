// Choosing the extension file's name.
#include "tolvane/ExtensionFileName.h"

#include <array>
#include <cstdio>

#include "support/util/FileOps.h"
#include "support/util/PathEdit.h"
#include "tolvane/JobPaths.h"

int ExtensionFile_Choose(std::string_view newPdbPath, std::string& out) {
    out.clear();
    std::array<char, kJobPathField> stem{};
    if (Path_ChangeExt(newPdbPath, ".F", stem) != 0) return kExtensionNameTooLong;
    std::array<char, kJobPathField> name{};
    for (int n = 1; n <= 99; ++n) {
        const int length = std::snprintf(name.data(), name.size(), "%s%02d", stem.data(), n);
        if (length < 0 || static_cast<std::size_t>(length) >= name.size()) {
            return kExtensionNameTooLong;
        }
        if (File_Exists(name.data()) == 0) {
            out.assign(name.data(), static_cast<std::size_t>(length));
            return kExtensionNameOk;
        }
    }
    return kExtensionNameNoneFree;
}
