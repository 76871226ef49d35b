// The sound layer over DirectSound and COM.
#include "base/win32_headers.h"

#include <cstddef>
#include <new>

#include "sound/buffer_position.h"
#include "sound/win32/com_owner.h"
#include "sound/sound_layer.h"
#include "sound/static_buffer.h"
#include "sound/streaming_buffer.h"
#include "wave/wave_file_reader.h"

static_assert(sizeof(WAVEFORMATEX) == sizeof(WaveFormat), "WaveFormat must be WAVEFORMATEX");
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == offsetof(WaveFormat, nSamplesPerSec),
              "WaveFormat must be WAVEFORMATEX");
static_assert(offsetof(WAVEFORMATEX, cbSize) == offsetof(WaveFormat, cbSize),
              "WaveFormat must be WAVEFORMATEX");

namespace {

class DirectSoundSystem final : public SoundSystem {
  public:
    int32_t InitializeCom() override;
    void UninitializeCom() override;
    int32_t CreateDevice(std::unique_ptr<SoundDevice>* device) override;
    void Sleep(uint32_t milliseconds) override;
};

// The ring holds about 24 s of 44.1 kHz 16-bit stereo and 2.6 s of 32-bit stereo at
// 200 kHz, so a feeder thread that wakes every 10 ms has seconds to spare.
constexpr uint32_t STREAM_RING_BYTES = 4u << 20;
constexpr uint32_t STREAM_FEED_PERIOD_MS = 10;

const WAVEFORMATEX* AsPlatformFormat(const WaveFormat* format) {
    return reinterpret_cast<const WAVEFORMATEX*>(format);
}

class DirectSoundBufferAdapter final : public SoundBuffer {
  public:
    DirectSoundBufferAdapter(ComOwner<IDirectSoundBuffer> buffer, uint32_t size)
        : buffer_(std::move(buffer)), size_(size) {}

    int32_t GetStatus(uint32_t* status) override {
        DWORD value = 0;
        const HRESULT result = buffer_->GetStatus(&value);
        *status = value;
        return result;
    }
    int32_t Restore() override { return buffer_->Restore(); }
    int32_t Lock(uint32_t offset, uint32_t bytes, void** region, uint32_t* regionBytes) override {
        void* second = nullptr;
        DWORD firstBytes = 0;
        DWORD secondBytes = 0;
        *region = nullptr;
        const HRESULT result =
            buffer_->Lock(offset, bytes, region, &firstBytes, &second, &secondBytes, 0);
        *regionBytes = firstBytes;
        return result;
    }
    int32_t Unlock(void* region, uint32_t regionBytes) override {
        return buffer_->Unlock(region, regionBytes, nullptr, 0);
    }
    int32_t Play(uint32_t flags) override {
        uint32_t from = 0;
        if (atEnd_) {
            if (!PlayStart(size_, size_, (flags & DSBPLAY_LOOPING) != 0, &from))
                return DS_OK;
            atEnd_ = false;
            buffer_->SetCurrentPosition(from);
        }
        return buffer_->Play(0, 0, flags);
    }
    int32_t Stop() override { return buffer_->Stop(); }
    int32_t GetCurrentPosition(uint32_t* playCursor) override {
        DWORD play = 0;
        const HRESULT result = buffer_->GetCurrentPosition(&play, nullptr);
        *playCursor = atEnd_ && SUCCEEDED(result) ? size_ : play;
        return result;
    }
    // DirectSound refuses positions outside the buffer (Wine wraps them instead); here
    // they land at the nearest end.
    int32_t SetCurrentPosition(uint32_t position) override {
        const Landing landing = LandingOf(position, size_);
        if (landing != Landing::End) {
            atEnd_ = false;
            return buffer_->SetCurrentPosition(landing == Landing::Inside ? position : 0);
        }
        DWORD status = 0;
        const HRESULT result = buffer_->GetStatus(&status);
        if (FAILED(result))
            return result;
        if ((status & DSBSTATUS_PLAYING) != 0 && (status & DSBSTATUS_LOOPING) != 0) {
            atEnd_ = false;
            return buffer_->SetCurrentPosition(0);
        }
        buffer_->Stop();
        atEnd_ = true;
        return DS_OK;
    }
    int32_t SetFrequency(uint32_t frequency) override { return buffer_->SetFrequency(frequency); }
    int32_t SetPan(int32_t pan) override { return buffer_->SetPan(pan); }
    int32_t SetVolume(int32_t volume) override { return buffer_->SetVolume(volume); }
    int32_t SetFormat(const WaveFormat* format) override {
        return buffer_->SetFormat(AsPlatformFormat(format));
    }

  private:
    ComOwner<IDirectSoundBuffer> buffer_;
    uint32_t size_;
    bool atEnd_ = false;
};

class DirectSoundDeviceAdapter final : public SoundDevice {
  public:
    explicit DirectSoundDeviceAdapter(ComOwner<IDirectSound> device) : device_(std::move(device)) {}

    int32_t SetCooperativeLevel(void* window, uint32_t level) override {
        return device_->SetCooperativeLevel(static_cast<HWND>(window), level);
    }

    int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                              std::unique_ptr<SoundBuffer>* buffer) override {
        buffer->reset();
        if (description.decoded)
            return E_NOTIMPL;  // DirectSound plays only what was written into its buffers
        // DirectSound makes no static buffer above DSBSIZE_MAX; a larger sound streams
        // through a ring that is a buffer of this device.
        if ((description.flags & DSBCAPS_PRIMARYBUFFER) == 0 &&
            description.bufferBytes > DSBSIZE_MAX) {
            return StreamingSoundBuffer::Create(*this, description, STREAM_RING_BYTES,
                                                STREAM_FEED_PERIOD_MS, buffer);
        }
        DSBUFFERDESC desc;
        ZeroMemory(&desc, sizeof desc);
        desc.dwSize = sizeof(DSBUFFERDESC);
        desc.dwFlags = description.flags;
        desc.dwBufferBytes = description.bufferBytes;
        desc.lpwfxFormat = const_cast<WAVEFORMATEX*>(AsPlatformFormat(description.format));
        ComOwner<IDirectSoundBuffer> created;
        const HRESULT result = device_->CreateSoundBuffer(&desc, created.Out(), nullptr);
        buffer->reset();
        if (FAILED(result) || created.Get() == nullptr) {
            return result;
        }
        buffer->reset(new (std::nothrow)
                          DirectSoundBufferAdapter(std::move(created), description.bufferBytes));
        return *buffer ? result : E_OUTOFMEMORY;
    }

  private:
    ComOwner<IDirectSound> device_;
};

}  // namespace

int32_t DirectSoundSystem::InitializeCom() {
    return CoInitialize(nullptr);
}

void DirectSoundSystem::UninitializeCom() {
    CoUninitialize();
}

int32_t DirectSoundSystem::CreateDevice(std::unique_ptr<SoundDevice>* device) {
    ComOwner<IDirectSound> created;
    const HRESULT result = DirectSoundCreate(nullptr, created.Out(), nullptr);
    device->reset();
    if (FAILED(result) || created.Get() == nullptr) {
        return result;
    }
    device->reset(new (std::nothrow) DirectSoundDeviceAdapter(std::move(created)));
    return *device ? result : E_OUTOFMEMORY;
}

void DirectSoundSystem::Sleep(uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

std::unique_ptr<SoundSystem> CreatePlatformSoundSystem() {
    return std::make_unique<DirectSoundSystem>();
}
