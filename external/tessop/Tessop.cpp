// The pipe communication emulator. Each handle of the library stands for one native
// pipe handle of the platform layer (this library's own copy of it); the table between
// the two is what makes the library's handles recognisable and keeps them apart from
// the native ones of the program that loaded it.
#include "tessop/Tessop.h"

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/NamedPipe.h"

namespace {

constexpr std::int32_t kFirstHandle = 0x40000000;
constexpr std::int32_t kLastHandle = 0x7FFFFFFF;
constexpr std::int32_t kInvalid = -1;

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<std::int32_t, platform::PipeHandle> open;
    std::int32_t next = kFirstHandle;
};

// Never destroyed: a program may still close handles from its own static destructors
// after this library's would have run.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

// A value of the library's range that is not in use, or kInvalid when the whole range
// is (a program would need a billion open pipes for that).
std::int32_t Register(platform::PipeHandle native) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    if (table.open.size() >= static_cast<std::size_t>(kLastHandle - kFirstHandle) + 1) {
        return kInvalid;
    }
    // Handles go round the range rather than reuse the value just closed at once, so a
    // stale handle kept by mistake is unlikely to reach another pipe.
    while (table.open.contains(table.next)) {
        table.next = table.next == kLastHandle ? kFirstHandle : table.next + 1;
    }
    std::int32_t handle = table.next;
    table.next = handle == kLastHandle ? kFirstHandle : handle + 1;
    table.open.emplace(handle, native);
    return handle;
}

bool Lookup(std::int32_t handle, platform::PipeHandle& native) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.open.find(handle);
    if (it == table.open.end()) return false;
    native = it->second;
    return true;
}

bool Unregister(std::int32_t handle, platform::PipeHandle& native) {
    HandleTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.open.find(handle);
    if (it == table.open.end()) return false;
    native = it->second;
    table.open.erase(it);
    return true;
}

// "\PIPE\X" and "\\.\PIPE\X" name the same pipe; the platform takes the full form.
bool FullName(const char* name, std::string& full) {
    if (!name) return false;
    std::string_view view(name);
    if (view.size() >= 2 && view[0] == '\\' && view[1] == '\\') {
        full.assign(view);
    } else {
        full.assign("\\\\.");
        full.append(view);
    }
    return true;
}

}  // namespace

extern "C" {

std::int32_t EmuPipe_Open(const char* name) {
    std::string full;
    if (!FullName(name, full)) return kInvalid;
    for (;;) {
        platform::PipeHandle native = platform::kInvalidPipeHandle;
        platform::WinError error = platform::CreateFilePipe(full, native);
        if (error == platform::kErrorSuccess) {
            std::int32_t handle = Register(native);
            if (handle == kInvalid) platform::CloseHandlePipe(native);
            return handle;
        }
        if (error != platform::kErrorPipeBusy) return kInvalid;
        if (platform::WaitNamedPipeA(full, platform::kPipeWaitForever) != platform::kErrorSuccess) {
            return kInvalid;
        }
    }
}

std::int32_t EmuPipe_Write(std::int32_t handle, const void* buffer, std::uint32_t count,
                           std::uint32_t* written) {
    if (written) *written = 0;
    platform::PipeHandle native;
    if ((!buffer && count) || !Lookup(handle, native)) return 0;
    std::uint32_t done = 0;
    if (platform::WriteFilePipe(native, buffer, count, done) != platform::kErrorSuccess) return 0;
    if (written) *written = done;
    return 1;
}

std::int32_t EmuPipe_Read(std::int32_t handle, void* buffer, std::uint32_t count,
                          std::uint32_t* read) {
    if (read) *read = 0;
    platform::PipeHandle native;
    if ((!buffer && count) || !Lookup(handle, native)) return 0;
    std::uint32_t done = 0;
    platform::WinError error = platform::ReadFilePipe(native, buffer, count, done);
    // A message longer than the buffer still hands over what fits (234, more data).
    if (error == platform::kErrorSuccess || error == platform::kErrorMoreData) {
        if (read) *read = done;
    }
    return error == platform::kErrorSuccess;
}

std::int32_t EmuPipe_Close(std::int32_t handle) {
    platform::PipeHandle native;
    if (!Unregister(handle, native)) return 0;
    return platform::CloseHandlePipe(native) == platform::kErrorSuccess;
}

std::int32_t EmuPipe_IsHandle(std::int32_t handle) {
    platform::PipeHandle native;
    return Lookup(handle, native);
}

std::int32_t EmuPipe_Wait(const char* name) {
    std::string full;
    if (!FullName(name, full)) return 0;
    return platform::WaitNamedPipeA(full, platform::kPipeWaitForever) == platform::kErrorSuccess;
}

}  // extern "C"
