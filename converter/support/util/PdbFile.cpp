// Direct reads of PDB files.
//
// Only the head block is read (platform::ReadFileHead), never the whole file: a PDB may
// run to many megabytes while the test needs two bytes of it. A short head block is
// zero-filled after what arrived, so a caller that goes on with it (the head read still
// reports 1) reads defined values, never what an earlier use left in its buffer.
#include "support/util/PdbFile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

#include "platform/FileHead.h"
#include "platform/Files.h"
#include "support/ByteOrder.h"
#include "support/util/FileOps.h"

namespace {

// The format version: the first 16-bit word; false when the file does not have one.
bool ReadVersion(std::string_view path, int& version) {
    std::string head;
    if (platform::ReadFileHead(path, 2, head) != platform::kErrorSuccess) return false;
    if (head.size() < 2) return false;
    const std::array<std::uint8_t, 2> bytes = {static_cast<std::uint8_t>(head[0]),
                                               static_cast<std::uint8_t>(head[1])};
    std::uint16_t word = 0;
    if (!LoadU16(bytes, 0, word)) return false;
    version = word;
    return true;
}

void PrintLine(const char* line) {
    std::fputs(line, stdout);
    std::fflush(stdout);
}

}  // namespace

int Pdb_IsValidFile(std::string_view path, bool checkReadOnly) {
    const std::uint64_t size = PdmDos_FileSize(path);
    if (size < kPdbMinimumSize || size % kPdbBlockSize != 0) return 0;
    int version = 0;
    if (!ReadVersion(path, version)) return 0;
    if (version < kPdbFirstVersion || version > kPdbLastVersion) return 0;
    if (checkReadOnly) {
        std::uint32_t attributes = 0;
        if (platform::GetFileAttributesW(path, attributes) != platform::kErrorSuccess) return 0;
        if ((attributes & platform::kAttrReadOnly) != 0) return 0;
    }
    return 1;
}

int PdmDb_Head_DirectRead(std::string_view path, std::span<std::uint8_t, kPdbHeadSize> buffer) {
    if (!platform::PathExists(path)) {
        PrintLine("PdmDb_Head_DirectRead _access Error\n");
        return 0;
    }
    std::string head;
    if (platform::ReadFileHead(path, kPdbHeadSize, head) != platform::kErrorSuccess) {
        PrintLine("PdmDb_Head_DirectRead fopen Error\n");
        return 0;
    }
    std::fill(buffer.begin(), buffer.end(), std::uint8_t{0});
    std::transform(head.begin(), head.end(), buffer.begin(),
                   [](char c) { return static_cast<std::uint8_t>(c); });
    if (head.size() < kPdbHeadSize) PrintLine("PdmDb_Head_DirectRead fread Error\n");
    return 1;
}
