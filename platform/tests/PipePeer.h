// What the pipe tests and their peer program agree on: the peer's file name and the
// bytes of a test message of a given size.
#pragma once

#include <cstddef>
#include <string>

namespace platform::test {

inline constexpr const char* kPipePeerProgram = "platform-test-pipe-peer";

// A message of `size` bytes whose every byte depends on its position and on the size,
// so a message cut short, joined with another or shifted does not compare equal.
inline std::string PipePattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + size * 13 + i / 251) & 0xFF);
    return bytes;
}

}  // namespace platform::test
