// An emulator library with a single export: it claims every handle of the emulator's
// range and offers nothing else.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) std::int32_t EmuPipe_IsHandle(
    std::int32_t handle) {
    return handle >= 0x40000000;
}
