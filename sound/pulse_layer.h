// The sound layer over PulseAudio (and PipeWire through its PulseAudio server): a playback
// stream of 16-bit stereo at 22050 samples a second, fed by the software mixer from the
// client library's threaded main loop. CreateDevice fails with DSERR_NODRIVER's code when
// no server answers; there is no COM, and windows and cooperation levels are ignored.
#ifndef VELMORIN_SOUND_PULSE_LAYER_H
#define VELMORIN_SOUND_PULSE_LAYER_H

#include "sound/sound_layer.h"

class PulseSoundSystem final : public SoundSystem {
  public:
    int32_t InitializeCom() override;
    void UninitializeCom() override;
    int32_t CreateDevice(std::unique_ptr<SoundDevice>* device) override;
    void Sleep(uint32_t milliseconds) override;
};

#endif
