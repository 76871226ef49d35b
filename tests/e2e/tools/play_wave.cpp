// Test-only player: plays a WAVE file through DirectSound from a static secondary buffer
// following a script given on the command line, and prints every cursor it used. It
// shows that a recording set-up hears what a DirectSound program does and when, without
// depending on the real program.
//
//   play_wave.exe FILE.wav STEP...
//     wait:MS          wait
//     play:MS          start playing at the current position (if stopped), then wait
//     pause:MS         stop, remember the play cursor, then wait
//     resume-back:B    set the position B bytes before the remembered cursor (not below
//                      0) and start playing
//     seek:B           set the position to byte B
//     skip:B           move the position by B bytes (may be negative), playing on
//     stop             stop
//
// Output, one line per step:
//   step <name> t=<ms since start> wall=<unix time, s> play=<cursor> write=<cursor>
// where the cursors are read right after the step's DirectSound call. A first line
// "device t=... wall=..." tells when the device was opened.

#define _WIN32_WINNT 0x0A00
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

LARGE_INTEGER g_start;
LARGE_INTEGER g_frequency;

double ElapsedMs() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return 1000.0 * static_cast<double>(now.QuadPart - g_start.QuadPart) /
           static_cast<double>(g_frequency.QuadPart);
}

// Wall-clock time, to line the steps up with a recording made outside Wine.
double WallSeconds() {
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return static_cast<double>(ticks) / 1e7 - 11644473600.0;
}

// Waits while keeping the hidden window's message queue served.
void Wait(double ms) {
    const double until = ElapsedMs() + ms;
    MSG msg;
    while (ElapsedMs() < until) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(1);
    }
}

[[noreturn]] void Fail(const char* what, long code = 0) {
    std::printf("error %s 0x%08lx\n", what, static_cast<unsigned long>(code));
    std::fflush(stdout);
    std::exit(1);
}

uint32_t Le(const uint8_t* p, int bytes) {
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

struct Wave {
    WAVEFORMATEX format{};
    std::vector<uint8_t> data;
};

Wave LoadWave(const char* path) {
    FILE* in = std::fopen(path, "rb");
    if (!in)
        Fail("open");
    std::vector<uint8_t> file;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, in)) > 0) {
        file.insert(file.end(), buffer, buffer + got);
    }
    std::fclose(in);
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 ||
        std::memcmp(file.data() + 8, "WAVE", 4) != 0) {
        Fail("not-wave");
    }
    Wave wave;
    bool have_format = false;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint8_t* chunk = file.data() + pos;
        const size_t size = std::min<size_t>(Le(chunk + 4, 4), file.size() - pos - 8);
        const uint8_t* body = chunk + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            if (Le(body, 2) != WAVE_FORMAT_PCM)
                Fail("not-pcm");
            wave.format.wFormatTag = WAVE_FORMAT_PCM;
            wave.format.nChannels = static_cast<WORD>(Le(body + 2, 2));
            wave.format.nSamplesPerSec = Le(body + 4, 4);
            wave.format.nAvgBytesPerSec = Le(body + 8, 4);
            wave.format.nBlockAlign = static_cast<WORD>(Le(body + 12, 2));
            wave.format.wBitsPerSample = static_cast<WORD>(Le(body + 14, 2));
            have_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && have_format) {
            wave.data.assign(body, body + size);
            return wave;
        }
        pos += 8 + size + (size & 1);
    }
    Fail("no-data");
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// DirectSound wants a window for its cooperative level; it never needs to be seen.
HWND CreateHiddenWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"PlayWaveHidden";
    RegisterClassW(&wc);
    HWND hwnd = CreateWindowW(L"PlayWaveHidden", L"play_wave", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                              nullptr, nullptr, wc.hInstance, nullptr);
    if (!hwnd)
        Fail("window", static_cast<long>(GetLastError()));
    return hwnd;
}

void Report(const std::string& step, IDirectSoundBuffer* buffer) {
    DWORD play = 0;
    DWORD write = 0;
    const double t = ElapsedMs();
    const double wall = WallSeconds();
    buffer->GetCurrentPosition(&play, &write);
    std::printf("step %s t=%.1f wall=%.6f play=%lu write=%lu\n", step.c_str(), t, wall,
                static_cast<unsigned long>(play), static_cast<unsigned long>(write));
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    QueryPerformanceFrequency(&g_frequency);
    QueryPerformanceCounter(&g_start);
    if (argc < 2) {
        std::fprintf(stderr, "usage: play_wave FILE.wav STEP...\n");
        return 2;
    }
    Wave wave = LoadWave(argv[1]);
    HWND hwnd = CreateHiddenWindow();

    IDirectSound* sound = nullptr;
    HRESULT hr = DirectSoundCreate(nullptr, &sound, nullptr);
    if (FAILED(hr))
        Fail("DirectSoundCreate", hr);
    std::printf("device t=%.1f wall=%.6f\n", ElapsedMs(), WallSeconds());
    std::fflush(stdout);
    hr = sound->SetCooperativeLevel(hwnd, DSSCL_PRIORITY);
    if (FAILED(hr))
        Fail("SetCooperativeLevel", hr);

    DSBUFFERDESC desc{};
    desc.dwSize = sizeof desc;
    desc.dwFlags = DSBCAPS_STATIC | DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                   DSBCAPS_CTRLVOLUME | DSBCAPS_GETCURRENTPOSITION2;
    desc.dwBufferBytes = static_cast<DWORD>(wave.data.size());
    desc.lpwfxFormat = &wave.format;
    IDirectSoundBuffer* buffer = nullptr;
    hr = sound->CreateSoundBuffer(&desc, &buffer, nullptr);
    if (FAILED(hr))
        Fail("CreateSoundBuffer", hr);
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD size1 = 0;
    DWORD size2 = 0;
    hr = buffer->Lock(0, desc.dwBufferBytes, &part1, &size1, &part2, &size2, 0);
    if (FAILED(hr))
        Fail("Lock", hr);
    std::memcpy(part1, wave.data.data(), size1);
    if (part2)
        std::memcpy(part2, wave.data.data() + size1, size2);
    buffer->Unlock(part1, size1, part2, size2);

    const long size = static_cast<long>(desc.dwBufferBytes);
    long paused_at = 0;
    for (int i = 2; i < argc; ++i) {
        const std::string step = argv[i];
        const size_t colon = step.find(':');
        const std::string name = step.substr(0, colon);
        const double value = colon == std::string::npos ? 0 : std::atof(step.c_str() + colon + 1);
        DWORD status = 0;
        DWORD play = 0;
        buffer->GetStatus(&status);
        if (name == "wait") {
            Report(step, buffer);
            Wait(value);
        } else if (name == "play") {
            if (!(status & DSBSTATUS_PLAYING)) {
                hr = buffer->Play(0, 0, 0);
                if (FAILED(hr))
                    Fail("Play", hr);
            }
            Report(step, buffer);
            Wait(value);
        } else if (name == "pause") {
            buffer->Stop();
            buffer->GetCurrentPosition(&play, nullptr);
            paused_at = static_cast<long>(play);
            Report(step, buffer);
            Wait(value);
        } else if (name == "resume-back") {
            const long to = std::max(0L, paused_at - static_cast<long>(value));
            buffer->SetCurrentPosition(static_cast<DWORD>(to));
            hr = buffer->Play(0, 0, 0);
            if (FAILED(hr))
                Fail("Play", hr);
            Report(step, buffer);
        } else if (name == "seek") {
            buffer->SetCurrentPosition(
                static_cast<DWORD>(std::clamp(static_cast<long>(value), 0L, size - 1)));
            Report(step, buffer);
        } else if (name == "skip") {
            buffer->GetCurrentPosition(&play, nullptr);
            const long to =
                std::clamp(static_cast<long>(play) + static_cast<long>(value), 0L, size - 1);
            buffer->SetCurrentPosition(static_cast<DWORD>(to));
            Report(step, buffer);
        } else if (name == "stop") {
            buffer->Stop();
            Report(step, buffer);
        } else {
            std::fprintf(stderr, "play_wave: unknown step %s\n", step.c_str());
            return 2;
        }
    }
    buffer->Stop();
    buffer->Release();
    sound->Release();
    DestroyWindow(hwnd);
    return 0;
}
