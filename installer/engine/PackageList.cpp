#include "installer/engine/PackageList.h"

#include <cstddef>

#include "platform/Files.h"

namespace {

// Adds `sign` * position to every byte; unsigned char arithmetic gives the modulo.
void Transform(const std::string& source, const std::string& target, int sign) {
    std::string bytes;
    if (platform::ReadFileBytes(source, bytes) != 0) return;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        unsigned char shift = static_cast<unsigned char>(i & 0xFF);
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        bytes[i] = static_cast<char>(sign > 0 ? b + shift : b - shift);
    }
    // The list's readers find a missing or stale list and report it.
    (void)platform::WriteFileBytes(target, bytes);
}

}  // namespace

void DecodePackageList(const std::string& source, const std::string& target) {
    Transform(source, target, -1);
}

void EncodePackageList(const std::string& source, const std::string& target) {
    Transform(source, target, +1);
}
