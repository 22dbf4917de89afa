#include "LzhHeaders.h"

#include "platform/Cp932.h"

namespace {

std::uint32_t Load16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8;
}

std::uint32_t Load32(const std::string& b, std::size_t at) {
    return Load16(b, at) | Load16(b, at + 2) << 16;
}

// Splits a stored path into its components. "\" (only where it is a character of its
// own: it may be the second byte of a double-byte character), "/" and 0xFF separate
// levels. A leading separator or a drive ("C:") makes the path absolute.
void SplitStoredPath(const std::string& path, LzhMember& member) {
    std::string current;
    bool leading = true;
    for (std::size_t i = 0; i < path.size();) {
        std::size_t len = platform::CharLength(path, i);
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (len == 1 && (c == '\\' || c == '/' || c == 0xFF)) {
            if (leading && current.empty()) member.unsafe = true;
            if (!current.empty()) member.components.push_back(current);
            current.clear();
        } else {
            if (len == 1 && (c == ':' || c == '|' || c == 0)) member.unsafe = true;
            current.append(path, i, len);
        }
        leading = false;
        i += len;
    }
    if (!current.empty()) member.components.push_back(current);
    if (member.components.empty()) member.unsafe = true;
    for (const std::string& part : member.components) {
        if (part == "." || part == "..") member.unsafe = true;
    }
}

}  // namespace

std::uint16_t LzhCrc16(const std::string& data) {
    std::uint16_t crc = 0;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
        }
    }
    return crc;
}

bool ReadLzhMembers(const std::string& b, std::vector<LzhMember>& members, std::string& error) {
    members.clear();
    std::size_t pos = 0;
    while (true) {
        if (pos >= b.size()) break;             // end without the closing zero byte
        if (b[pos] == 0) break;                 // the archive's end mark
        if (pos + 22 > b.size()) return error = "truncated header", false;
        const std::string method = b.substr(pos + 2, 5);
        if (method.size() != 5 || method[0] != '-' || method[1] != 'l' || method[4] != '-') {
            return error = "not an LZH header", false;
        }
        const int level = static_cast<unsigned char>(b[pos + 20]);
        LzhMember member;
        member.directory = method == "-lhd-";
        std::uint32_t packed = Load32(b, pos + 7);
        member.originalSize = Load32(b, pos + 11);
        std::string name, dir;
        std::size_t data = 0;  // where the member's data begins
        std::size_t ext = 0;   // the first extended header, 0 when none
        std::size_t extSize = 0;
        if (level == 0 || level == 1) {
            std::size_t headerSize = static_cast<unsigned char>(b[pos]);
            if (pos + 2 + headerSize > b.size()) return error = "truncated header", false;
            unsigned sum = 0;
            for (std::size_t i = pos + 2; i < pos + 2 + headerSize; ++i) sum += static_cast<unsigned char>(b[i]);
            if ((sum & 0xFF) != static_cast<unsigned char>(b[pos + 1])) return error = "header checksum", false;
            std::size_t nameLength = static_cast<unsigned char>(b[pos + 21]);
            if (22 + nameLength + 2 > headerSize + 2) return error = "bad name length", false;
            name = b.substr(pos + 22, nameLength);
            member.crc = static_cast<std::uint16_t>(Load16(b, pos + 22 + nameLength));
            data = pos + 2 + headerSize;
            if (level == 1) {
                extSize = Load16(b, pos + headerSize);
                ext = data;
            }
        } else if (level == 2) {
            std::size_t headerSize = Load16(b, pos);
            if (headerSize < 26 || pos + headerSize > b.size()) return error = "truncated header", false;
            member.crc = static_cast<std::uint16_t>(Load16(b, pos + 21));
            extSize = Load16(b, pos + 24);
            ext = pos + 26;
            data = pos + headerSize;
        } else {
            return error = "unsupported header level", false;
        }
        // Extended headers: type, contents, size of the next one.
        std::size_t extTotal = 0;
        while (ext != 0 && extSize != 0) {
            if (extSize < 3 || ext + extSize > b.size()) return error = "bad extended header", false;
            const unsigned type = static_cast<unsigned char>(b[ext]);
            const std::string body = b.substr(ext + 1, extSize - 3);
            if (type == 0x01) name = body;
            if (type == 0x02) dir = body;
            if (type == 0x50 && body.size() >= 2 && (Load16(body, 0) & 0xF000) == 0xA000) member.symlink = true;
            extTotal += extSize;
            std::size_t next = Load16(b, ext + extSize - 2);
            ext += extSize;
            extSize = next;
        }
        if (level == 1) {
            // The extended headers of level 1 are counted in the packed size.
            if (extTotal > packed) return error = "bad extended header", false;
            data = ext == 0 ? data : ext;
            packed -= static_cast<std::uint32_t>(extTotal);
        }
        if (data + packed > b.size()) return error = "truncated data", false;
        // A Unix link is stored as "name|target".
        if (name.find('|') != std::string::npos) member.symlink = true;
        std::string path = dir;
        if (!dir.empty() && static_cast<unsigned char>(dir.back()) != 0xFF) path += static_cast<char>(0xFF);
        SplitStoredPath(path + name, member);
        if (dir.empty() && name.empty()) member.unsafe = true;
        members.push_back(member);
        pos = data + packed;
    }
    return true;
}
