#include "installer/engine/PackageList.h"

#include <cstddef>

#include "platform/Files.h"

namespace {

// Adds `sign` * position to every byte; unsigned char arithmetic gives the modulo.
bool Transform(const std::string& source, const std::string& target, int sign,
               std::string& failedPath) {
    if (!platform::PathExists(source)) return true;
    std::string bytes;
    if (platform::ReadFileBytes(source, bytes) != 0) {
        failedPath = source;
        return false;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char shift = static_cast<unsigned char>(i & 0xFF);
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        bytes[i] = static_cast<char>(sign > 0 ? b + shift : b - shift);
    }
    // A list cut short would drop installed packages: the whole file is replaced at
    // once or not at all.
    if (platform::ReplaceFileBytes(target, bytes, false) != 0) {
        failedPath = target;
        return false;
    }
    return true;
}

}  // namespace

bool DecodePackageList(const std::string& source, const std::string& target, std::string& failedPath) {
    return Transform(source, target, -1, failedPath);
}

bool EncodePackageList(const std::string& source, const std::string& target, std::string& failedPath) {
    return Transform(source, target, +1, failedPath);
}
