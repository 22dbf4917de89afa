#include "support/pipe/PipeEmulator.h"

#include <mutex>
#include <string>

#include "platform/DynamicLibrary.h"
#include "platform/MessageBox.h"

namespace pipe_emulator {
namespace {

constexpr const char* kLibraryName = "Tessop.DLL";

// The module is process-wide and never unloaded: once loaded, every later call reuses
// it. The mutex only guards the first load against two threads racing into it; the
// converter itself calls from one thread.
std::mutex g_loadMutex;
platform::ModuleHandle g_module = nullptr;

platform::ModuleHandle Module() {
    std::lock_guard lock(g_loadMutex);
    if (g_module) return g_module;
    platform::ModuleHandle module = nullptr;
    if (platform::LoadLibraryA(kLibraryName, module) != platform::kErrorSuccess || !module) {
        // Not remembered as failed: the next call tries again (the library may have
        // been installed meanwhile) and, failing again, says so again.
        platform::MessageBoxA("パイプ通信エミュレータＤＬＬがロードできませんでした",
                              "パイプ通信エミュレータ", platform::kMbOk | platform::kMbIconError);
        return nullptr;
    }
    g_module = module;
    return g_module;
}

// Looks the export up at every call, as the library's users always have: nothing about
// the library is cached except the module itself.
template <typename Fn>
Fn Export(const char* name) {
    platform::ModuleHandle module = Module();
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(platform::GetProcAddress(module, name));
}

// The library takes C strings: a name with a NUL inside would reach it cut short and
// could name another pipe, so such a name is not passed on at all.
bool ToCString(std::string_view name, std::string& out) {
    if (name.find('\0') != std::string_view::npos) return false;
    out.assign(name);
    return true;
}

}  // namespace

std::int32_t Open(std::string_view name) {
    auto fn = Export<OpenFn>("EmuPipe_Open");
    std::string cname;
    if (!fn || !ToCString(name, cname)) return -1;
    return fn(cname.c_str());
}

std::int32_t Write(std::int32_t handle, const void* buffer, std::uint32_t count,
                   std::uint32_t& written) {
    written = 0;
    auto fn = Export<WriteFn>("EmuPipe_Write");
    if (!fn) return 0;
    return fn(handle, buffer, count, &written);
}

std::int32_t Read(std::int32_t handle, void* buffer, std::uint32_t count, std::uint32_t& read) {
    read = 0;
    auto fn = Export<ReadFn>("EmuPipe_Read");
    if (!fn) return 0;
    return fn(handle, buffer, count, &read);
}

std::int32_t Close(std::int32_t handle) {
    auto fn = Export<CloseFn>("EmuPipe_Close");
    if (!fn) return 0;
    return fn(handle);
}

bool IsLoaded() {
    std::lock_guard lock(g_loadMutex);
    return g_module != nullptr;
}

std::int32_t IsHandle(std::int32_t handle) {
    auto fn = Export<IsHandleFn>("EmuPipe_IsHandle");
    if (!fn) return 0;
    return fn(handle);
}

std::int32_t Wait(std::string_view name) {
    auto fn = Export<WaitFn>("EmuPipe_Wait");
    std::string cname;
    if (!fn || !ToCString(name, cname)) return 0;
    return fn(cname.c_str());
}

}  // namespace pipe_emulator
