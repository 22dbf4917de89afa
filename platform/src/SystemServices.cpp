// Sleep, Beep, short names, the error mode and the temporary folder.
//
// Beep plays through ALSA when the machine has it, but no program of ours links ALSA:
// libasound.so.2 is opened with dlopen on the first beep, so a machine (or a container)
// without it runs every program all the same and a beep there just takes its time.
// Whatever happens to the sound, the call returns no earlier than the tone's end,
// because callers use a beep as a pause as much as a signal.
#include "platform/SystemServices.h"

#include <dlfcn.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/Prefix.h"

namespace platform {
namespace {

// ---- ALSA, reached through dlopen ----

// The few entry points a tone needs, with the types of alsa/asoundlib.h spelled out
// here so that building needs no ALSA headers either.
struct AlsaApi {
    using OpenFn = int (*)(void** pcm, const char* name, int stream, int mode);
    using SetParamsFn = int (*)(void* pcm, int format, int access, unsigned channels, unsigned rate,
                                int softResample, unsigned latencyUs);
    using WriteFn = long (*)(void* pcm, const void* buffer, unsigned long frames);
    using RecoverFn = int (*)(void* pcm, int err, int silent);
    using PcmFn = int (*)(void* pcm);
    using ErrorHandler = void (*)(const char* file, int line, const char* function, int err,
                                  const char* fmt, ...);
    using SetErrorHandlerFn = int (*)(ErrorHandler handler);
    using FreeConfigFn = int (*)();

    OpenFn open = nullptr;
    SetParamsFn setParams = nullptr;
    WriteFn writei = nullptr;
    RecoverFn recover = nullptr;
    int (*nonblock)(void* pcm, int nonblock) = nullptr;
    PcmFn drain = nullptr;
    PcmFn close = nullptr;
    SetErrorHandlerFn setErrorHandler = nullptr;
    FreeConfigFn freeConfig = nullptr;
};

constexpr int kSndPcmStreamPlayback = 0;
constexpr int kSndPcmNonblock = 1;
constexpr int kSndPcmFormatS16Le = 2;
constexpr int kSndPcmAccessRwInterleaved = 3;
constexpr unsigned kSampleRate = 48000;
constexpr unsigned kLatencyUs = 100000;

// ALSA reports a missing card by printing to standard error from inside the library;
// a program without a sound device must stay quiet, so its messages go nowhere.
void SilentAlsaError(const char*, int, const char*, int, const char*, ...) {}

// Loaded once for the process; null when the machine has no ALSA library. The library
// stays loaded for the process's life, as unloading ALSA while its configuration cache
// is referenced is not safe.
const AlsaApi* Alsa() {
    static const AlsaApi* api = []() -> const AlsaApi* {
        void* lib = dlopen("libasound.so.2", RTLD_NOW | RTLD_LOCAL);
        if (lib == nullptr) return nullptr;
        static AlsaApi a;
        a.open = reinterpret_cast<AlsaApi::OpenFn>(dlsym(lib, "snd_pcm_open"));
        a.setParams = reinterpret_cast<AlsaApi::SetParamsFn>(dlsym(lib, "snd_pcm_set_params"));
        a.writei = reinterpret_cast<AlsaApi::WriteFn>(dlsym(lib, "snd_pcm_writei"));
        a.recover = reinterpret_cast<AlsaApi::RecoverFn>(dlsym(lib, "snd_pcm_recover"));
        a.nonblock = reinterpret_cast<int (*)(void*, int)>(dlsym(lib, "snd_pcm_nonblock"));
        a.drain = reinterpret_cast<AlsaApi::PcmFn>(dlsym(lib, "snd_pcm_drain"));
        a.close = reinterpret_cast<AlsaApi::PcmFn>(dlsym(lib, "snd_pcm_close"));
        a.setErrorHandler =
            reinterpret_cast<AlsaApi::SetErrorHandlerFn>(dlsym(lib, "snd_lib_error_set_handler"));
        a.freeConfig =
            reinterpret_cast<AlsaApi::FreeConfigFn>(dlsym(lib, "snd_config_update_free_global"));
        if (!a.open || !a.setParams || !a.writei || !a.recover || !a.nonblock || !a.drain ||
            !a.close) {
            return nullptr;
        }
        if (a.setErrorHandler) (void)a.setErrorHandler(&SilentAlsaError);
        return &a;
    }();
    return api;
}

// One beep at a time: a sound device plays one tone anyway, and ALSA's global
// configuration cache (freed after each tone, see below) must not be freed under a
// second caller.
std::mutex gBeepMutex;

// Plays a square wave of `frequencyHz` for `durationMs` on the default device.
// False when no device could be opened or it failed part way; the caller then waits.
bool PlayTone(std::uint32_t frequencyHz, std::uint32_t durationMs) {
    const AlsaApi* alsa = Alsa();
    if (alsa == nullptr) return false;
    void* pcm = nullptr;
    // Opened without blocking: a device held by another program fails at once
    // instead of holding the caller.
    bool played = false;
    if (alsa->open(&pcm, "default", kSndPcmStreamPlayback, kSndPcmNonblock) == 0 && pcm) {
        if (alsa->nonblock(pcm, 0) == 0 &&
            alsa->setParams(pcm, kSndPcmFormatS16Le, kSndPcmAccessRwInterleaved, 1, kSampleRate, 1,
                            kLatencyUs) == 0) {
            played = true;
            // Written in chunks of a tenth of a second so that a long tone needs no long
            // buffer. The half-period is counted in samples with a running phase, so
            // the wave keeps its frequency across chunks.
            const std::uint64_t total = std::uint64_t{kSampleRate} * durationMs / 1000;
            const double halfPeriod = kSampleRate / (2.0 * frequencyHz);
            std::vector<std::int16_t> chunk(kSampleRate / 10);
            std::uint64_t done = 0;
            while (done < total && played) {
                std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), total - done));
                for (std::size_t i = 0; i < n; ++i) {
                    auto half =
                        static_cast<std::uint64_t>(static_cast<double>(done + i) / halfPeriod);
                    chunk[i] = (half % 2 == 0) ? 8000 : -8000;
                }
                std::size_t off = 0;
                int failures = 0;
                while (off < n) {
                    long w = alsa->writei(pcm, chunk.data() + off, n - off);
                    if (w < 0) {
                        // An underrun or a suspend is recovered; a device that keeps
                        // failing ends the tone and leaves the rest of the time to the
                        // wait.
                        if (++failures > 3 || alsa->recover(pcm, static_cast<int>(w), 1) < 0) {
                            played = false;
                            break;
                        }
                        continue;
                    }
                    failures = 0;
                    off += static_cast<std::size_t>(w);
                }
                done += n;
            }
            if (played) (void)alsa->drain(pcm);
        }
        (void)alsa->close(pcm);
    }
    // ALSA keeps its parsed configuration in a global cache; freeing it after each
    // tone keeps a long-running program (and the leak checker) clean.
    if (alsa->freeConfig) (void)alsa->freeConfig();
    return played;
}

std::atomic<std::uint32_t> gErrorMode{0};

}  // namespace

void Sleep(std::uint32_t milliseconds) {
    // sleep_for resumes after a signal and sleeps the rest, as Sleep is not cut short.
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

WinError Beep(std::uint32_t frequencyHz, std::uint32_t durationMs) {
    if (frequencyHz < 37 || frequencyHz > 32767) return kErrorInvalidParameter;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(durationMs);
    if (durationMs > 0) {
        std::lock_guard<std::mutex> lock(gBeepMutex);
        (void)PlayTone(frequencyHz, durationMs);
    }
    // Without a device (or after a device that failed part way) the rest of the tone's
    // time is waited, so the caller sees the same pause either way.
    std::this_thread::sleep_until(end);
    return kErrorSuccess;
}

WinError GetShortPathNameA(std::string_view longPath, std::string& shortPath) {
    std::uint32_t attributes = 0;
    if (WinError rc = GetFileAttributesW(longPath, attributes); rc != kErrorSuccess) return rc;
    shortPath.assign(longPath);
    return kErrorSuccess;
}

std::uint32_t SetErrorMode(std::uint32_t mode) { return gErrorMode.exchange(mode); }

WinError GetTempPathA(std::string& path) {
    const std::string folder = GetWindowsDirectoryW() + "\\TEMP";
    if (WinError rc = CreateDirectoryTree(folder); rc != kErrorSuccess) return rc;
    path = folder + "\\";
    return kErrorSuccess;
}

}  // namespace platform
