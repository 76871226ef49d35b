// What the player shows, for ways in that report it outside the window (a media player
// controller on the session bus): read from the dialog's controls, the shared state and the
// loaded file, never changing any of them.
#ifndef VELMORIN_CONTROL_PLAYER_VIEW_H
#define VELMORIN_CONTROL_PLAYER_VIEW_H

#include <cstdint>
#include <string>

#include "app/dialog.h"

struct PlayerView {
    bool loaded = false;      // the current reader opened its file
    bool active = false;      // a sound is active: the Stop button is enabled
    bool paused = false;      // an active sound that was paused
    bool canPlay = false;     // the Play button is enabled
    std::string path;         // the loaded file; empty when none is
    uint64_t lengthUs = 0;    // the loaded file's data at its byte rate, in microseconds
    uint32_t sampleRate = 0;  // the loaded file's samples per second
    int32_t frequency = 0;    // the Frequency thumb

    bool operator==(const PlayerView& other) const;
    bool operator!=(const PlayerView& other) const { return !(*this == other); }
};

PlayerView ViewPlayer(Dialog& dialog);
// The play cursor of the active sound in microseconds of the loaded file, or while it is
// paused the point its resume starts from (before the step back); 0 when no sound is active
// or the cursor cannot be read.
int64_t PlayPositionUs(const PlayerView& view);

#endif
