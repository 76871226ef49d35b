// A sound device that mixes its buffers itself, for platforms without DirectSound: the
// platform's output stream pulls 16-bit stereo frames at the output rate from Render, and
// tells how many of them have been heard.
//
// Buffers keep the SoundBuffer contract of a static buffer of any size up to 0xFFFFFFFF
// bytes, in memory, in any format that DescribeSamples accepts (others are refused with
// E_INVALIDARG). Frequency (100 to 200000, resampled with libsamplerate), pan and volume
// act from the next rendered frame. The play cursor is the byte offset of what is being
// heard: the output's heard frames mapped back through the rates in force when they were
// rendered. Stop keeps the cursor where rendering stopped, so that what the output still
// holds plays out and a later Play goes on from there without a gap or a repeat; after a
// move of the cursor it reads the new position until that is heard. Memory is never lost.
//
// Render runs on the output's thread, everything else on any thread; a lock guards the
// buffers. HeardFrames is never called with that lock held, so the output may take locks
// of its own in it and around Render.
#ifndef VELMORIN_SOUND_SOFTWARE_MIXER_H
#define VELMORIN_SOUND_SOFTWARE_MIXER_H

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sound/sound_layer.h"

class SoftwareSoundBuffer;

class SoftwareOutput {
  public:
    virtual ~SoftwareOutput() = default;
    // Output frames heard so far: those rendered less those the output still holds.
    virtual uint64_t HeardFrames() = 0;
};

class SoftwareSoundDevice final : public SoundDevice {
  public:
    static constexpr uint32_t OUTPUT_RATE = 22050;

    explicit SoftwareSoundDevice(SoftwareOutput& output) : output_(output) {}
    ~SoftwareSoundDevice() override;

    // No windows: any window and level are accepted.
    int32_t SetCooperativeLevel(void* window, uint32_t level) override;
    // The primary buffer accepts only the output format (22050/16/2 PCM) in SetFormat.
    int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                              std::unique_ptr<SoundBuffer>* buffer) override;

    // Writes `frames` interleaved stereo frames of the mix.
    void Render(int16_t* out, size_t frames);
    // Frames rendered so far.
    uint64_t RenderedFrames();

  private:
    friend class SoftwareSoundBuffer;

    SoftwareOutput& output_;
    std::mutex mutex_;
    std::vector<SoftwareSoundBuffer*> buffers_;
    std::vector<float> mix_;
    uint64_t rendered_ = 0;
};

#endif
