// What a remote control does: the media keys (through a media player controller), the
// desktop's shortcuts and a foot pedal, each turned into a message the dialog procedure
// already handles, as the buttons and hotkeys of the same meaning send it.
#ifndef VELMORIN_CONTROL_REMOTE_CONTROL_H
#define VELMORIN_CONTROL_REMOTE_CONTROL_H

#include <cstdint>

#include "control/player_view.h"

enum class RemoteAction {
    PlayPause,  // the pause hotkey while a sound is active, else the Play button
    Play,       // only what PlayPause does when it would make the sound play
    Pause,      // only what PlayPause does when it would pause
    Stop,       // the Stop button, while it is enabled
    Next,       // the skip-forward hotkey
    Previous,   // the skip-back hotkey
    Quit,       // File > Exit
};

struct RemoteMessage {
    uint32_t message;
    uintptr_t wParam;
};

// The message for `action` in the state `view` shows; false when it does nothing now.
bool MessageForRemote(RemoteAction action, const PlayerView& view, RemoteMessage* out);

// A media controller's relative seek (its Rewind and Forward keys): a skip of the hotkeys'
// size, back or on, whatever the offset; false for an offset of 0.
bool ActionForSeek(int64_t offsetUs, RemoteAction* action);
// The Volume thumb (decibels down from full) as a media controller's linear volume.
double LinearVolume(int32_t volumeThumb);
// While the pitch is kept, a media controller's rate is the speed the Frequency thumb sets
// (1 without a file); a rate asked for, within the speeds played, moves the thumb to it.
double RateForView(const PlayerView& view);
int32_t FrequencyForRate(double rate, uint32_t sampleRate);

#endif
