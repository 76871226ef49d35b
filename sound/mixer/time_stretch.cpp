#include "sound/mixer/time_stretch.h"

#include <sonic.h>

#include <algorithm>
#include <climits>
#include <utility>

TimeStretch::TimeStretch(uint32_t rate, double speed) : stream_(sonicCreateStream(rate, 2)) {
    if (stream_ != nullptr)
        sonicSetSpeed(stream_, static_cast<float>(speed));
}

TimeStretch::~TimeStretch() {
    if (stream_ != nullptr)
        sonicDestroyStream(stream_);
}

TimeStretch::TimeStretch(TimeStretch&& other) noexcept
    : stream_(std::exchange(other.stream_, nullptr)) {}

TimeStretch& TimeStretch::operator=(TimeStretch&& other) noexcept {
    if (this != &other) {
        if (stream_ != nullptr)
            sonicDestroyStream(stream_);
        stream_ = std::exchange(other.stream_, nullptr);
    }
    return *this;
}

bool TimeStretch::Write(const float* frames, size_t count) {
    // sonic takes a writable pointer but does not write through it.
    return sonicWriteFloatToStream(stream_, const_cast<float*>(frames), static_cast<int>(count)) !=
           0;
}

void TimeStretch::Flush() {
    sonicFlushStream(stream_);
}

size_t TimeStretch::Read(float* out, size_t most) {
    const int got =
        sonicReadFloatFromStream(stream_, out, static_cast<int>(std::min<size_t>(most, INT_MAX)));
    return got > 0 ? static_cast<size_t>(got) : 0;
}
