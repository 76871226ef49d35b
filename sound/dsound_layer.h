// The sound layer over DirectSound and COM.
#ifndef VELMORIN_SOUND_DSOUND_LAYER_H
#define VELMORIN_SOUND_DSOUND_LAYER_H

#include "sound/sound_layer.h"

class DirectSoundSystem final : public SoundSystem {
  public:
    int32_t InitializeCom() override;
    void UninitializeCom() override;
    int32_t CreateDevice(std::unique_ptr<SoundDevice>* device) override;
    void Sleep(uint32_t milliseconds) override;
};

#endif
