// Lutwin: the devices this installation knows, read from the machine's registry.
//
// One value per known device under HKEY_LOCAL_MACHINE\SOFTWARE\KEL\LUTWIN\DEVICES: its
// name is the drawing's device id in decimal ("12", "-3"), its data the installation's
// id, a REG_DWORD (read as signed 32-bit) or a string holding a decimal number, so that
// `reg add` with or without /t REG_DWORD both give a usable entry.
#include "lutwin/Lutwin.h"

#include <charconv>
#include <string>

#include "platform/Registry.h"
#include "platform/WinError.h"

namespace {

constexpr const char* kDevicesKey = "SOFTWARE\\KEL\\LUTWIN\\DEVICES";
constexpr int32_t kUnknownDevice = 0;

// The installation's id held by one value, or kUnknownDevice when the value is neither a
// 4-byte REG_DWORD nor a string that is exactly a decimal signed 32-bit number.
int32_t DeviceIdOf(const platform::RegValueInfo& value) {
    if (value.type == platform::RegType::Dword && value.data.size() == 4) {
        // The registry keeps a DWORD as 4 bytes, least significant first.
        uint32_t bits = 0;
        for (int i = 3; i >= 0; --i) {
            bits = (bits << 8) | static_cast<unsigned char>(value.data[static_cast<size_t>(i)]);
        }
        return static_cast<int32_t>(bits);
    }
    if (value.type == platform::RegType::Sz || value.type == platform::RegType::ExpandSz) {
        const char* first = value.data.data();
        const char* last = first + value.data.size();
        int32_t id = kUnknownDevice;
        auto [end, ec] = std::from_chars(first, last, id);
        if (ec == std::errc() && end == last) return id;
    }
    return kUnknownDevice;
}

}  // namespace

extern "C" int32_t DevInf_GetSeleaseMID(int32_t mid) {
    platform::RegKey key;
    if (platform::RegOpenKey(platform::RegRoot::LocalMachine, kDevicesKey,
                             platform::RegAccess::Read, key) != platform::kErrorSuccess) {
        return kUnknownDevice;
    }
    platform::RegValueInfo value;
    if (platform::RegQueryValue(key, std::to_string(mid), value) != platform::kErrorSuccess) {
        return kUnknownDevice;
    }
    return DeviceIdOf(value);
}
