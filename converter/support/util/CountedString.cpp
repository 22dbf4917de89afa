// In-place conversion between counted and NUL-terminated strings.
//
// Both forms of a string of n bytes take n + 1 bytes, so the conversion only shifts
// the bytes by one; what must be checked is that the form read from the buffer really
// lies inside it, since a count byte or a missing terminator from damaged data would
// otherwise move bytes beyond the caller's buffer.
#include "support/util/CountedString.h"

#include <cstring>

int Str_CountedSwap(bool toC, std::span<char> text) {
    if (text.data() == nullptr || text.empty()) return kCountedNullText;
    if (toC) {
        const std::size_t length = static_cast<unsigned char>(text[0]);
        if (length + 1 > text.size()) return kCountedNoRoom;
        std::memmove(text.data(), text.data() + 1, length);
        text[length] = '\0';
        return 0;
    }
    const void* end = std::memchr(text.data(), '\0', text.size());
    if (end == nullptr) return kCountedNoRoom;
    const std::size_t length =
        static_cast<std::size_t>(static_cast<const char*>(end) - text.data());
    if (length > 255) return kCountedNoRoom;
    std::memmove(text.data() + 1, text.data(), length);
    text[0] = static_cast<char>(length);
    return 0;
}
