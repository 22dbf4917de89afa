// Path editing on code page 932 text.
//
// The name of a path starts after its last delimiter ("\" or ":") that is a character
// of its own; its extension starts at the last "." of the name. Dots in folder names
// therefore never count, and the platform's DBCS-aware searches keep a trail byte of
// value 0x5C from being read as a delimiter.
#include "support/util/PathEdit.h"

#include <string>

#include "platform/Cp932.h"
#include "support/util/ByteClass.h"
#include "support/util/OutBuffer.h"

namespace {

// Position where the extension of `path` begins (its dot), or path.size() when none.
std::size_t ExtensionStart(std::string_view path) {
    const std::size_t delimiter = platform::FindLastPathDelimiter(path);
    const std::size_t nameStart = delimiter == std::string_view::npos ? 0 : delimiter + 1;
    const std::size_t dot = platform::FindLastCharDbcs(path.substr(nameStart), '.');
    return dot == std::string_view::npos ? path.size() : nameStart + dot;
}

}  // namespace

int Path_Ext(std::string_view path, std::span<char> out) {
    if (path.data() == nullptr || out.data() == nullptr || out.empty()) return kPathNull;
    return CopyToBuffer(path.substr(ExtensionStart(path)), out) ? 0 : kPathNoRoom;
}

int Path_ChangeExt(std::string_view path, std::string_view ext, std::span<char> out) {
    if (path.data() == nullptr || out.data() == nullptr || out.empty()) return kPathNull;
    // Built apart from `out` first: `path` may view the very buffer being written.
    std::string result(path.substr(0, ExtensionStart(path)));
    if (!ext.empty() && ext.front() != '.') result += '.';
    result += ext;
    return CopyToBuffer(result, out) ? 0 : kPathNoRoom;
}

int Path_AddBackslash(std::span<char> path) {
    if (path.data() == nullptr || path.empty()) return kPathNull;
    const std::string_view text = StringInBuffer(path);
    if (text.size() == path.size()) return kPathNoRoom;  // no terminator inside the buffer
    if (text.empty()) return kPathEmpty;
    const std::size_t last = text.size() - 1;
    const int cls = Str_ByteClass(text, last);
    const bool append = cls == kByteTrail || (cls == kByteSingle && text[last] != '\\');
    if (!append) return 0;
    if (text.size() + 2 > path.size()) return kPathNoRoom;
    path[text.size()] = '\\';
    path[text.size() + 1] = '\0';
    return 0;
}
