#include "support/pipe/PipeLayer.h"

#include <string>

#include "platform/NamedPipe.h"
#include "support/pipe/OsFamily.h"
#include "support/pipe/PipeEmulator.h"

namespace {

// The layer has always built the full name of a local name in a buffer of this size
// ("\\." plus the name plus NUL).
constexpr std::size_t kFullNameBuffer = 100;
constexpr std::string_view kLocalMachine = "\\\\.";

bool IsLocalName(std::string_view name) { return name.size() < 2 || name[1] != '\\'; }

// The name handed to the native pipe functions. False when it cannot be built: a NUL
// inside (the native functions would see another name), or a local name whose full
// name does not fit the buffer (formatting it would overrun or cut it).
bool NativeName(std::string_view name, std::string& full) {
    if (name.find('\0') != std::string_view::npos) return false;
    if (!IsLocalName(name)) {
        full.assign(name);
        return true;
    }
    if (kLocalMachine.size() + name.size() + 1 > kFullNameBuffer) return false;
    full.assign(kLocalMachine);
    full.append(name);
    return true;
}

// The emulator takes local names on the other family; full names stay native.
bool UsesEmulatorForName(std::string_view name) { return IsLocalName(name) && !Os_IsNT(); }

// Whether an operation on `handle` goes to the emulator: never on NT (the emulator is
// not even loaded there), otherwise when the emulator claims the handle.
// Asking for the family reads the registry; a process that never loaded the library
// cannot hold one of its handles, so the question is only asked once it is loaded.
bool UsesEmulatorForHandle(std::int32_t handle) {
    return pipe_emulator::IsLoaded() && !Os_IsNT() && pipe_emulator::IsHandle(handle) != 0;
}

}  // namespace

std::int32_t Pipe_Open(std::string_view name) {
    if (UsesEmulatorForName(name)) return pipe_emulator::Open(name);
    std::string full;
    if (!NativeName(name, full)) return kPipeInvalid;
    for (;;) {
        platform::PipeHandle handle = platform::kInvalidPipeHandle;
        platform::WinError error = platform::CreateFilePipe(full, handle);
        if (error == platform::kErrorSuccess) return handle;
        // Only "all instances busy" is worth waiting for; the wait returns once an
        // instance is free, and the open may still lose the race to another client, so
        // the two go round until the open succeeds or the wait fails.
        if (error != platform::kErrorPipeBusy) return kPipeInvalid;
        if (platform::WaitNamedPipeA(full, platform::kPipeWaitForever) != platform::kErrorSuccess) {
            return kPipeInvalid;
        }
    }
}

int Pipe_Wait(std::string_view name) {
    if (UsesEmulatorForName(name)) return pipe_emulator::Wait(name) != 0;
    std::string full;
    if (!NativeName(name, full)) return 0;
    return platform::WaitNamedPipeA(full, platform::kPipeWaitForever) == platform::kErrorSuccess;
}

int Pipe_Write(std::int32_t handle, const void* buffer, std::uint32_t count,
               std::uint32_t& written) {
    written = 0;
    if (UsesEmulatorForHandle(handle)) {
        return pipe_emulator::Write(handle, buffer, count, written) != 0;
    }
    if (platform::WriteFilePipe(handle, buffer, count, written) != platform::kErrorSuccess) {
        return 0;
    }
    // The result of a native write is that of the flush after it: a reader that has
    // gone away between the two is a failed write.
    return platform::FlushFileBuffersPipe(handle) == platform::kErrorSuccess;
}

int Pipe_Read(std::int32_t handle, void* buffer, std::uint32_t count, std::uint32_t& read) {
    read = 0;
    if (UsesEmulatorForHandle(handle)) return pipe_emulator::Read(handle, buffer, count, read) != 0;
    return platform::ReadFilePipe(handle, buffer, count, read) == platform::kErrorSuccess;
}

int Pipe_Close(std::int32_t handle) {
    if (UsesEmulatorForHandle(handle)) return pipe_emulator::Close(handle) != 0;
    return platform::CloseHandlePipe(handle) == platform::kErrorSuccess;
}
