// Under Wine, with the real DirectSound: Play of a long file against reading its bytes,
// and the CPU time of playback. Each mode runs in a process of its own so that the peak
// memory figures do not mix:
//
//   long_playback_bench <file.wav> plain        "plain <s> <peak MiB>": ReadFile of the
//                                               data chunk into fresh memory, one memcpy
//   long_playback_bench <file.wav> start        "start <s> <peak MiB> <status>": what Play
//                                               does (StartPlayback) until the sound plays
//   long_playback_bench <file.wav> cpu <s>      "cpu <process CPU s> <wall s>" while the
//                                               sound plays for that long after it started
#include <windows.h>
#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "base/result.h"
#include "sound/sound_layer.h"
#include "sound/sound_buffer.h"
#include "sound/sound_output.h"
#include "tests/native/fake_dialog.h"

namespace {

double PeakMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& time) {
        return static_cast<double>(uint64_t{time.dwHighDateTime} << 32 | time.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The data chunk's place, found the simple way: the files here are canonical.
bool DataChunk(const char* path, uint32_t* offset, uint32_t* bytes) {
    FILE* file = std::fopen(path, "rb");
    if (file == nullptr)
        return false;
    unsigned char header[44];
    const bool ok = std::fread(header, 1, sizeof header, file) == sizeof header &&
                    std::memcmp(header + 36, "data", 4) == 0;
    std::fclose(file);
    *offset = 44;
    std::memcpy(bytes, header + 40, 4);
    return ok;
}

int Plain(const char* path) {
    uint32_t offset = 0, bytes = 0;
    if (!DataChunk(path, &offset, &bytes))
        return 1;
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<uint8_t[]> read(new uint8_t[bytes]);
    std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes]);
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE || SetFilePointer(file, static_cast<LONG>(offset), nullptr,
                                                       FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return 1;
    uint64_t done = 0;
    while (done < bytes) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(bytes - done, 1u << 30));
        if (!ReadFile(file, read.get() + done, want, &got, nullptr) || got == 0)
            return 1;
        done += got;
    }
    CloseHandle(file);
    std::memcpy(copy.get(), read.get(), bytes);
    std::printf("plain %.3f %.0f %u\n", Since(start), PeakMiB(), copy[bytes - 1]);
    return 0;
}

// Opens the device and the file and starts playback; the seconds StartPlayback took.
int Begin(const char* path, SoundSystem* sound, WindowedFakeDialog* dialog, double* seconds) {
    InstallSoundSystem(sound);
    if (InitSoundDevice(dialog->Window()) != 0)
        return 1;
    SoundOutput.reader = std::make_unique<WaveFileReader>();
    if (SoundOutput.reader->Open(path) < 0)
        return 1;
    const auto start = std::chrono::steady_clock::now();
    const int32_t result = StartPlayback(*dialog, 0, 0);
    *seconds = Since(start);
    return result == 0 && IsPlaying() == 1 ? 0 : 2;
}

int Start(const char* path, HWND window) {
    const std::unique_ptr<SoundSystem> sound = CreatePlatformSoundSystem();
    WindowedFakeDialog dialog(window);
    double seconds = 0;
    const int result = Begin(path, sound.get(), &dialog, &seconds);
    std::printf("start %.3f %.0f %s\n", seconds, PeakMiB(), result == 0 ? "playing" : "refused");
    FreeSoundDevice();
    return result;
}

int Cpu(const char* path, HWND window, double seconds) {
    const std::unique_ptr<SoundSystem> sound = CreatePlatformSoundSystem();
    WindowedFakeDialog dialog(window);
    double took = 0;
    if (Begin(path, sound.get(), &dialog, &took) != 0)
        return 2;
    const double before = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    Sleep(static_cast<DWORD>(seconds * 1000));
    const double cpu = CpuSeconds() - before;
    const double wall = Since(start);
    const int playing = IsPlaying();
    std::printf("cpu %.3f %.3f %s\n", cpu, wall, playing == 1 ? "playing" : "ended");
    FreeSoundDevice();
    return playing == 1 ? 0 : 3;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return 64;
    const std::string mode = argv[2];
    if (mode == "plain")
        return Plain(argv[1]);
    HWND window = CreateWindowExA(0, "STATIC", "bench", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  nullptr, nullptr);
    if (mode == "start")
        return Start(argv[1], window);
    if (mode == "cpu" && argc == 4)
        return Cpu(argv[1], window, std::atof(argv[3]));
    return 64;
}
