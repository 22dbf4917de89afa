// Reading the member headers of an LZH archive (header levels 0, 1 and 2), so that
// the stand-in can check member names before anything is extracted and verify what
// the host archiver wrote afterwards.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LzhMember {
    std::vector<std::string> components;  // the stored path, code page 932, one entry per level
    bool directory = false;
    bool symlink = false;
    bool unsafe = false;  // absolute, a drive, or an empty / "." / ".." component
    std::uint32_t originalSize = 0;
    std::uint16_t crc = 0;
};

// Reads every header. False with `error` set when the file is not a complete LZH
// archive (bad header, checksum, truncated data, unknown header level).
bool ReadLzhMembers(const std::string& bytes, std::vector<LzhMember>& members, std::string& error);

// The CRC-16 that LZH archives keep of each member's original data.
std::uint16_t LzhCrc16(const std::string& data);
