// The port under the software mixer: what a platform's output stream (a sound server's
// playback stream, a device) implements for the mixer to play through. The stream pulls
// 16-bit stereo frames at its own rate from SoftwareSoundDevice::Render on its own thread,
// says how many frames have been heard, and takes back what it holds when the mix changes.
// A backend is one class implementing this and SoundDevice (by holding a
// SoftwareSoundDevice), and a CreatePlatformSoundSystem that makes it.
#ifndef VELMORIN_SOUND_MIXER_SOFTWARE_OUTPUT_H
#define VELMORIN_SOUND_MIXER_SOFTWARE_OUTPUT_H

#include <cstdint>

class SoftwareSoundDevice;

class SoftwareOutput {
  public:
    virtual ~SoftwareOutput() = default;
    // Output frames heard so far: those rendered less those the output still holds.
    virtual uint64_t HeardFrames() = 0;
    // The mix changed at frame `at` (what HeardFrames said when the change was made): what
    // the output holds and has not played is stale. The output takes it back, rewinds the
    // device to `at` (Rewind) and renders from there, before this returns or at once on its
    // own thread. Frames from `at` that were heard meanwhile are not played again: the new
    // sound goes on from where it stands at the frame heard, so a skip measured from a
    // cursor read at `at` is heard exactly as long.
    virtual void MixChanged(SoftwareSoundDevice& device, uint64_t at) = 0;
};

#endif
