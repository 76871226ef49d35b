#include "sound/sound_output.h"

// The device arrives with the sound layer; until then the dialog runs without one.
int32_t InitSoundDevice(Dialog&) {
    return 0;
}

void FreeSoundDevice() {}
