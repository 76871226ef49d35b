#include "sound/sound_output.h"

#include "base/result.h"

SoundOutputRecord SoundOutput;

namespace {

SoundSystem* g_system = nullptr;

// The device mixes every buffer into this format, whatever the loaded file has.
WaveFormat PrimaryFormat() {
    WaveFormat format{};
    format.wFormatTag = WAVE_FORMAT_PCM_TAG;
    format.nChannels = 2;
    format.nSamplesPerSec = 22050;
    format.nAvgBytesPerSec = 88200;
    format.nBlockAlign = 4;
    format.wBitsPerSample = 16;
    format.cbSize = 0;
    return format;
}

}  // namespace

void InstallSoundSystem(SoundSystem* system) {
    g_system = system;
}

SoundSystem* InstalledSoundSystem() {
    return g_system;
}

int32_t InitSoundDevice(WindowHandle window) {
    if (g_system == nullptr)
        return E_FAIL;
    int32_t result = g_system->InitializeCom();
    if (result < 0)
        return result;
    // S_FALSE (COM already initialised on this thread) also takes a matching
    // uninitialise, so both successes are remembered alike.
    SoundOutput.comInitialized = true;

    result = g_system->CreateDevice(&SoundOutput.device);
    if (result < 0)
        return result;
    result = SoundOutput.device->SetCooperativeLevel(window, SOUND_COOP_PRIORITY);
    if (result < 0)
        return result;

    std::unique_ptr<SoundBuffer> primary;
    result = SoundOutput.device->CreateSoundBuffer({SOUND_CAPS_PRIMARY, 0, nullptr}, &primary);
    if (result < 0)
        return result;
    const WaveFormat format = PrimaryFormat();
    result = primary->SetFormat(&format);
    // The primary buffer was only needed to set the format.
    primary.reset();
    return result < 0 ? result : 0;
}

void FreeSoundDevice() {
    SoundOutput.reader.reset();
    SoundOutput.buffer.reset();
    SoundOutput.device.reset();
    if (SoundOutput.comInitialized && g_system != nullptr) {
        SoundOutput.comInitialized = false;
        g_system->UninitializeCom();
    }
}
