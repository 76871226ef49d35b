// The sound layer over PulseAudio (and PipeWire through its PulseAudio server): a playback
// stream of 16-bit stereo at the default sink's own rate, fed by the software mixer from
// the client library's threaded main loop. The stream holds 400 ms ahead and gives back
// what it holds at every change of the mix, and runs only while there is sound to hear.
// A server that goes away loses nothing: the cursor stands at what was heard last, the
// server is looked for again four times a second, and the sound goes on once it is back.
// CreateDevice fails with DSERR_NODRIVER's code when no server answers at first; there is
// no COM, and windows and cooperation levels are ignored.
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
