// DirectSound's volume and pan as the gains a software mixer multiplies by. Both are
// attenuations in hundredths of a decibel: volume from 0 down to -10000 for both sides,
// pan from -10000 (the right side attenuated by 100 dB) to 10000 (the left side). The
// two add, and an attenuation of 10000 or more is silence (gain 0).
#ifndef VELMORIN_SOUND_MIXER_GAINS_H
#define VELMORIN_SOUND_MIXER_GAINS_H

#include <cstdint>

struct StereoGains {
    float left;
    float right;
};

// Values outside their ranges count as the nearest end.
StereoGains GainsFor(int32_t volume, int32_t pan);

#endif
