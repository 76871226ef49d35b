// A trackbar's range and thumb, as the common control keeps them: 0..100 at 0 when
// created; a new minimum or maximum pulls the thumb into the range; a position is
// clamped to it. A trackbar redraws, and so notifies its dialog, only when a message
// changed its range or thumb.
#ifndef VELMORIN_APP_TRACKBAR_STATE_H
#define VELMORIN_APP_TRACKBAR_STATE_H

#include <algorithm>
#include <cstdint>

#include "app/dialog.h"

struct TrackbarState {
    int32_t rangeMin = 0;
    int32_t rangeMax = 100;
    int32_t pos = 0;

    int32_t Clamp(int32_t value) const { return std::min(std::max(value, rangeMin), rangeMax); }

    // True when the range or the thumb changed.
    bool Apply(TrackbarMessage message, int32_t value) {
        const TrackbarState before = *this;
        switch (message) {
            case TrackbarMessage::SetPos:
                pos = Clamp(value);
                break;
            case TrackbarMessage::SetRangeMin:
                rangeMin = value;
                pos = std::max(pos, rangeMin);
                break;
            case TrackbarMessage::SetRangeMax:
                rangeMax = value;
                pos = std::min(pos, rangeMax);
                break;
        }
        return pos != before.pos || rangeMin != before.rangeMin || rangeMax != before.rangeMax;
    }
};

#endif
