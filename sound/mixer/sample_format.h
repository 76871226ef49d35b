// The sample formats a software sound layer plays (one that mixes the buffers itself, where
// no DirectSound does), read from a buffer's format record and turned into stereo floats.
//
// Accepted: PCM of 8 (unsigned), 16, 24 and 32 bits (signed, little-endian) and IEEE float
// of 32 bits, with one or two channels, at any rate from 1 sample a second; the same when
// the record is WAVE_FORMAT_EXTENSIBLE (cbSize at least 22) with a PCM or IEEE float
// sub-format. The block must be channels x bits / 8 bytes. Everything else is refused.
#ifndef VELMORIN_SOUND_MIXER_SAMPLE_FORMAT_H
#define VELMORIN_SOUND_MIXER_SAMPLE_FORMAT_H

#include <cstddef>
#include <cstdint>

#include "wave/wave_file_reader.h"

enum class SampleEncoding { Unsigned8, Signed16, Signed24, Signed32, Float32 };

struct SampleLayout {
    SampleEncoding encoding;
    uint16_t channels;
    uint16_t blockAlign;
    uint32_t rate;
};

// True, with *layout filled in, when `format` is one of the accepted formats.
bool DescribeSamples(const WaveFormat* format, SampleLayout* layout);

// Converts `frames` whole frames from `data` into interleaved left/right floats, full scale
// 1.0; a mono sample goes to both sides. `out` holds 2 x frames floats.
void ToStereoFloat(const SampleLayout& layout, const uint8_t* data, size_t frames, float* out);

#endif
