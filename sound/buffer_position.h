// Where a play cursor request lands in a buffer of `size` bytes. Every sound layer moves
// its cursor by this one rule.
//
// Positions are unsigned 32-bit, and callers step back by plain subtraction, so a value
// at or past the size is either past the end or a step back that went below 0. For a
// buffer of up to 2^31 bytes, 2^31 or more means below 0. A larger buffer splits the
// values past its end in two halves: the lower half is past the end, the upper half
// below 0.
#ifndef VELMORIN_SOUND_BUFFER_POSITION_H
#define VELMORIN_SOUND_BUFFER_POSITION_H

#include <cstdint>

enum class Landing { Inside, Start, End };

constexpr Landing LandingOf(uint32_t position, uint32_t size) {
    if (position < size)
        return Landing::Inside;
    const uint64_t belowZero =
        size <= 0x80000000u ? 0x80000000u : size + (uint64_t{0x100000000u} - size) / 2;
    return position >= belowZero ? Landing::Start : Landing::End;
}

// Where a move of the cursor to `position` leaves a buffer of `size` bytes: true with the
// offset to go on from in *from, or false at the end, where a sound that does not loop is
// over. A looping sound that plays goes on from 0 instead of stopping at the end.
constexpr bool CursorMoveTarget(uint32_t position, uint32_t size, bool loopingAndPlaying,
                                uint32_t* from) {
    switch (LandingOf(position, size)) {
        case Landing::Inside:
            *from = position;
            return true;
        case Landing::Start:
            *from = 0;
            return true;
        case Landing::End:
            *from = 0;
            return loopingAndPlaying;
    }
    return false;
}

#endif
