// Reading a text file line by line as fgets into a fixed buffer does: a line longer
// than the buffer comes in pieces, each piece read as a line of its own. Programs that
// look a key up in a small settings file use it, so that a file of any size or content
// (binary bytes, NULs, lines of many kilobytes) is read with bounded memory.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/UniqueFd.h"
#include "platform/WinError.h"

namespace platform {

class LineReader {
  public:
    LineReader() = default;

    // Opens the file at the Windows path `path` for reading.
    // 0; 2 / 3 missing, 5 a folder or anything else that is not a plain file (a FIFO,
    // a device: they could block or never end), or access denied; 21 drive not ready;
    // 123 invalid name. On an error the reader stays closed (Next gives nothing).
    [[nodiscard]] WinError Open(std::string_view path);

    // The next piece, as fgets(buffer, maxBytes + 1, file) gives it: the bytes up to and
    // including the next line feed, or `maxBytes` bytes when no line feed comes first,
    // or the rest of the file. The bytes are returned as they are (a NUL, a CR or a
    // broken double-byte character included; a cut may fall inside a double-byte
    // character, as fgets cuts). False at the end of the file, on a read error, when the
    // reader is not open, or when `maxBytes` is 0 (`piece` then empty).
    [[nodiscard]] bool Next(std::size_t maxBytes, std::string& piece);

  private:
    [[nodiscard]] bool Fill();

    UniqueFd fd_;
    std::string buffer_;
    std::size_t at_ = 0;
    bool ended_ = true;
};

}  // namespace platform
