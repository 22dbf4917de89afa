// The lookup in the condition file.
//
// The file is read through a piece reader of bounded size, never whole: a condition file
// is a few lines, but one that is huge, binary or one endless line must cost neither
// memory nor a read past a buffer.
#include "tolvane/ConditionFile.h"

#include "platform/Cp932.h"
#include "platform/LineReader.h"

namespace {

// The text of one piece as the C string it would be: up to its first NUL, without its
// line feed and a CR before that.
std::string_view LineText(std::string_view piece) {
    if (const std::size_t nul = piece.find('\0'); nul != std::string_view::npos) {
        piece = piece.substr(0, nul);
    }
    if (piece.ends_with('\n')) piece.remove_suffix(1);
    if (piece.ends_with('\r')) piece.remove_suffix(1);
    return piece;
}

}  // namespace

std::string ConditionFile_Lookup(std::string_view path, std::string_view key) {
    if (path.empty() || key.empty()) return {};
    platform::LineReader reader;
    if (reader.Open(path) != platform::kErrorSuccess) return {};
    std::string piece;
    while (reader.Next(kConditionLineBytes, piece)) {
        const std::string_view line = LineText(piece);
        // The key is ASCII: a line whose first bytes are part of a double-byte character
        // never equals it, so comparing the first key-length bytes is safe.
        if (line.size() > key.size() && line[key.size()] == ' ' &&
            platform::EqualsNoCase(line.substr(0, key.size()), key)) {
            return std::string(line.substr(key.size() + 1));
        }
    }
    return {};
}
