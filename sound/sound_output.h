// The sound module's device, current buffer and current reader.
#ifndef VELMORIN_SOUND_SOUND_OUTPUT_H
#define VELMORIN_SOUND_SOUND_OUTPUT_H

#include <cstdint>

#include "app/dialog.h"

// Opens the sound device for the dialog's window: 0 when ready, else the negative code
// of the first step that failed (nothing is undone; FreeSoundDevice releases it).
int32_t InitSoundDevice(Dialog& dialog);
// Releases the reader, the buffer and the device, in that order, and ends COM use.
void FreeSoundDevice();

#endif
