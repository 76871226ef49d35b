// How fast a sound plays when its pitch is kept: the frequency set on its buffer over the
// sound's own rate, within what a time-stretcher plays well (a quarter to four times).
#ifndef VELMORIN_SOUND_SPEED_H
#define VELMORIN_SOUND_SPEED_H

#include <algorithm>
#include <cstdint>

constexpr double kSlowestSpeed = 0.25;
constexpr double kFastestSpeed = 4.0;

inline double SpeedWithPitchKept(uint32_t frequency, uint32_t ownRate) {
    if (ownRate == 0)
        return 1.0;
    return std::clamp(static_cast<double>(frequency) / ownRate, kSlowestSpeed, kFastestSpeed);
}

#endif
