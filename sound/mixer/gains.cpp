#include "sound/mixer/gains.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kSilence = -10000;

float Gain(int32_t hundredthsOfDb) {
    if (hundredthsOfDb <= kSilence)
        return 0.0f;
    return static_cast<float>(std::pow(10.0, hundredthsOfDb / 2000.0));
}

}  // namespace

StereoGains GainsFor(int32_t volume, int32_t pan) {
    volume = std::clamp(volume, kSilence, 0);
    pan = std::clamp(pan, kSilence, -kSilence);
    return {Gain(volume - std::max(pan, 0)), Gain(volume + std::min(pan, 0))};
}
