// Bounded writes into caller buffers.
//
// The converter passes fixed buffers around (paths of 260 bytes) whose size the callee
// knows only from the span; every result is checked against it before a byte is
// written, so a long directory setting or a long file name gives an error instead of
// overwriting the caller's memory.
#include "support/util/OutBuffer.h"

#include <cstring>

bool CopyToBuffer(std::string_view value, std::span<char> out) {
    if (out.data() == nullptr || out.empty()) return false;
    if (value.size() + 1 > out.size()) {
        out[0] = '\0';
        return false;
    }
    // memmove: the value may be a view into the same buffer (an edit in place).
    if (!value.empty()) std::memmove(out.data(), value.data(), value.size());
    out[value.size()] = '\0';
    return true;
}

std::string_view StringInBuffer(std::span<const char> buffer) {
    if (buffer.data() == nullptr) return {};
    const void* end = std::memchr(buffer.data(), '\0', buffer.size());
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - buffer.data())
            : buffer.size();
    return {buffer.data(), length};
}
