#include "sound/sound_buffer.h"

#include <memory>
#include <cstring>
#include <new>

#include "base/result.h"
// Starting playback reaches up, as the program's design has it: it writes the status line
// and applies the dialog's slider settings (which set the new buffer's parameters here).
#include "app/display.h"
#include "control/slider_settings.h"
#include "sound/sound_output.h"

namespace {

// Each restore pass waits 10 ms at most; this bounds the wait for lost memory to a few
// seconds instead of hanging the dialog.
constexpr int MAX_RESTORE_PASSES = 300;

// The play cursor, or a negative code when the buffer cannot report it.
int32_t ReadCursor(SoundBuffer& buffer, uint32_t* cursor) {
    uint32_t status = 0;
    int32_t result = buffer.GetStatus(&status);
    if (result < 0)
        return result;
    *cursor = 0;
    return buffer.GetCurrentPosition(cursor);
}

void SkipBy(uint32_t delta) {
    if (!SoundOutput.buffer)
        return;
    uint32_t cursor = 0;
    if (ReadCursor(*SoundOutput.buffer, &cursor) < 0)
        return;
    // Unsigned on purpose: a skip back from below 15000 wraps, which the buffer takes as
    // its start; a skip past the end lands at the end.
    SoundOutput.buffer->SetCurrentPosition(cursor + delta);
}

}  // namespace

void SetBufferParameters(int32_t frequency, int32_t pan, int32_t volume) {
    if (!SoundOutput.buffer)
        return;
    SoundOutput.buffer->SetFrequency(static_cast<uint32_t>(frequency));
    SoundOutput.buffer->SetPan(pan);
    SoundOutput.buffer->SetVolume(volume);
}

int32_t CreateBufferFromWave(Dialog& dialog, uint32_t creationFlags) {
    WaveFileReader* reader = SoundOutput.reader.get();
    if (reader == nullptr || !SoundOutput.device)
        return E_FAIL;
    reader->Reset();
    const uint32_t size = reader->GetDataRemaining();
    if (reader->Decoded()) {
        // Decoded sound plays from where it is decoded, so that a long recording neither
        // waits to be decoded whole nor fills memory; a layer that cannot do that gets a copy.
        const SoundBufferDescription description{BUFFER_BASE_FLAGS | creationFlags, size,
                                                 reader->GetFormat(), reader->Decoded()};
        int32_t result = SoundOutput.device->CreateSoundBuffer(description, &SoundOutput.buffer);
        if (result != E_NOTIMPL) {
            if (result >= 0)
                result = RestoreLostBuffer();
            if (result < 0)
                return result;
            ApplySliderSettings(dialog);
            return 0;
        }
    }
    // Left uninitialised: every byte is read into it before use.
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!data)
        return E_OUTOFMEMORY;

    uint32_t delivered = 0;
    int32_t result = reader->Read(size, data.get(), &delivered);
    if (result < 0)
        return result;

    const SoundBufferDescription description{BUFFER_BASE_FLAGS | creationFlags, delivered,
                                             reader->GetFormat()};
    result = SoundOutput.device->CreateSoundBuffer(description, &SoundOutput.buffer);
    if (result < 0)
        return result;
    result = RestoreLostBuffer();
    if (result < 0)
        return result;

    void* region = nullptr;
    uint32_t regionBytes = 0;
    result = SoundOutput.buffer->Lock(0, delivered, &region, &regionBytes);
    if (result < 0)
        return result;
    // A layer that hands out less than it was asked for gets nothing written past it.
    if (region == nullptr || regionBytes < delivered) {
        SoundOutput.buffer->Unlock(region, regionBytes);
        return E_FAIL;
    }
    std::memcpy(region, data.get(), delivered);
    SoundOutput.buffer->Unlock(region, delivered);
    data.reset();

    ApplySliderSettings(dialog);
    return 0;
}

int32_t RestoreLostBuffer() {
    if (!SoundOutput.buffer)
        return 0;
    uint32_t status = 0;
    int32_t result = SoundOutput.buffer->GetStatus(&status);
    if (result < 0)
        return result;
    if ((status & SOUND_STATUS_BUFFERLOST) == 0)
        return 0;
    SoundSystem* system = InstalledSoundSystem();
    for (int pass = 0; pass < MAX_RESTORE_PASSES; ++pass) {
        if (SoundOutput.buffer->Restore() == SOUND_ERR_BUFFERLOST && system != nullptr) {
            system->Sleep(10);
        }
        result = SoundOutput.buffer->Restore();
        if (result == 0)
            return 0;
    }
    return result;
}

int32_t StartPlayback(Dialog& dialog, int loop, uint32_t creationFlags) {
    SoundOutput.buffer.reset();
    if (CreateBufferFromWave(dialog, creationFlags) < 0) {
        SetStatusText(dialog, "Couldn't create sound buffer.");
        return 1;
    }
    if (!SoundOutput.buffer)
        return E_FAIL;
    uint32_t status = 0;
    int32_t result = SoundOutput.buffer->GetStatus(&status);
    if (result < 0)
        return result;
    if ((status & SOUND_STATUS_PLAYING) != 0) {
        SoundOutput.buffer->SetCurrentPosition(0);
        return 0;
    }
    result = SoundOutput.buffer->Play(loop != 0 ? SOUND_PLAY_LOOPING : 0);
    return result < 0 ? result : 0;
}

void StopPlayback() {
    if (SoundOutput.buffer)
        SoundOutput.buffer->Stop();
}

int32_t PauseAndGetPosition() {
    if (!SoundOutput.buffer)
        return 0;
    StopPlayback();
    uint32_t cursor = 0;
    const int32_t result = ReadCursor(*SoundOutput.buffer, &cursor);
    return result < 0 ? result : static_cast<int32_t>(cursor);
}

void ResumeAt(int32_t position) {
    if (!SoundOutput.buffer)
        return;
    uint32_t status = 0;
    if (SoundOutput.buffer->GetStatus(&status) < 0)
        return;
    SoundOutput.buffer->SetCurrentPosition(static_cast<uint32_t>(position));
    SoundOutput.buffer->Play(0);
}

void SkipBack() {
    SkipBy(0u - SKIP_BYTES);
}

void SkipForward() {
    SkipBy(SKIP_BYTES);
}

int32_t GetPlayPosition() {
    if (!SoundOutput.buffer)
        return 0;
    uint32_t cursor = 0;
    return ReadCursor(*SoundOutput.buffer, &cursor) < 0 ? -1 : static_cast<int32_t>(cursor);
}

int IsPlaying() {
    if (!SoundOutput.buffer)
        return 0;
    uint32_t status = 0;
    SoundOutput.buffer->GetStatus(&status);
    return static_cast<int>(status & SOUND_STATUS_PLAYING);
}

uint32_t GetDataLength() {
    const WaveFileReader* reader = SoundOutput.reader.get();
    return reader != nullptr && reader->Opened() ? reader->GetDataRemaining() : 0;
}

uint32_t GetSampleRate() {
    const WaveFileReader* reader = SoundOutput.reader.get();
    return reader != nullptr && reader->Opened() ? reader->GetFormat()->nSamplesPerSec : 0;
}
