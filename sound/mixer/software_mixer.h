// A sound device that mixes its buffers itself, for platforms without DirectSound: the
// platform's output stream (a SoftwareOutput) pulls 16-bit stereo frames at its own rate
// from Render, tells how many of them have been heard, and takes back what it holds when
// the mix changes.
//
// Buffers keep the SoundBuffer contract of a static buffer of any size up to 0xFFFFFFFF
// bytes, in memory, in any format that DescribeSamples accepts (others are refused with
// E_INVALIDARG). Frequency (100 to 200000, resampled with libsoxr), pan and volume
// act from the next frame heard. With the pitch kept (KeepPitch), the frequency sets the
// speed instead (SpeedWithPitchKept), stretched before the resampling. The play cursor is the byte
// offset of what is being heard: the output's heard frames mapped back through the rates in force
// when they were rendered. Play, Stop, a move of the cursor and a change of frequency, pan or
// volume make the output take back what it holds and has not played (MixChanged), so each is heard
// at once: Stop leaves the cursor at what was heard last, and a later Play goes on from there
// without a gap or a repeat; after a move the cursor reads the new position until that is
// heard. Memory is never lost.
//
// Render runs on the output's thread, everything else on any thread; a lock guards the
// buffers. HeardFrames and MixChanged are never called with that lock held, so the output
// may take locks of its own in them and around Render.
#ifndef VELMORIN_SOUND_MIXER_SOFTWARE_MIXER_H
#define VELMORIN_SOUND_MIXER_SOFTWARE_MIXER_H

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "sound/mixer/software_output.h"
#include "sound/sound_layer.h"

class SoftwareSoundBuffer;

class SoftwareSoundDevice final : public SoundDevice {
  public:
    // The primary format the program sets; the mix itself runs at the output's rate.
    static constexpr uint32_t PRIMARY_RATE = 22050;

    SoftwareSoundDevice(SoftwareOutput& output, uint32_t rate) : output_(output), rate_(rate) {}
    ~SoftwareSoundDevice() override;

    // No windows: any window and level are accepted.
    int32_t SetCooperativeLevel(void* window, uint32_t level) override;
    // The primary buffer accepts only the primary format (22050/16/2 PCM) in SetFormat.
    int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                              std::unique_ptr<SoundBuffer>* buffer) override;

    // Writes `frames` interleaved stereo frames of the mix, from RenderedFrames() on.
    void Render(int16_t* out, size_t frames);
    // Frames rendered so far.
    uint64_t RenderedFrames();
    uint32_t Rate();
    // Whether a buffer's frequency sets its speed with the pitch kept, rather than speed and
    // pitch together as a tape does; a change is heard at once, from the frame heard.
    void KeepPitch(bool keep);
    // Forgets what was rendered from frame `from` on (at least what was heard, at most what
    // was rendered) and goes on from there at `rate`, each buffer from the sound heard at
    // that frame.
    void Rewind(uint64_t from, uint32_t rate);
    // Whether some buffer still has sound to be heard after frame `heard`: the output is to
    // run; otherwise it may stop pulling.
    bool Sounding(uint64_t heard);

  private:
    friend class SoftwareSoundBuffer;

    SoftwareOutput& output_;
    std::mutex mutex_;
    std::vector<SoftwareSoundBuffer*> buffers_;
    std::vector<float> mix_;
    uint64_t rendered_ = 0;
    uint32_t rate_;
    bool keepPitch_ = false;
};

#endif
