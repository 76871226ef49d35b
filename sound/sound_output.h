// The sound module's record: the device, the current buffer and the current reader.
#ifndef VELMORIN_SOUND_SOUND_OUTPUT_H
#define VELMORIN_SOUND_SOUND_OUTPUT_H

#include <cstdint>
#include <memory>

#include "base/window.h"
#include "sound/sound_layer.h"
#include "wave/wave_file_reader.h"

// Whoever replaces a field first releases what it held. Declared so that the members are
// destroyed reader first, then buffer, then device.
struct SoundOutputRecord {
    std::unique_ptr<SoundDevice> device;
    std::unique_ptr<SoundBuffer> buffer;
    std::unique_ptr<WaveFileReader> reader;
    // COM was initialised by InitSoundDevice and is owed one uninitialise.
    bool comInitialized = false;
};

extern SoundOutputRecord SoundOutput;

// Opens the sound device for the main window with the fixed primary format (22050
// samples per second, 16 bits, stereo): 0 when ready, else the negative code of the first
// step that failed. Nothing is undone on failure; FreeSoundDevice releases it.
int32_t InitSoundDevice(WindowHandle window);
// Releases the reader, the buffer and the device, in that order, and ends COM use.
void FreeSoundDevice();

#endif
