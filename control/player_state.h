// Process-wide playback state shared by the transport, the sliders, automatic pausing
// and the hotkeys. All fields are 0 at start.
#ifndef VELMORIN_CONTROL_PLAYER_STATE_H
#define VELMORIN_CONTROL_PLAYER_STATE_H

#include <cstdint>

struct PlayerStateRecord {
    // A sound that is still active (Stop enabled) has been paused.
    uint8_t paused;
    // Byte offset where the next resume starts, before its step back.
    int32_t resumePosition;
    // Byte count of the loaded file's data chunk.
    uint32_t dataLength;
    // Global atoms used as hotkey ids (16-bit values, zero-extended).
    uint32_t hotkeyPause;
    uint32_t hotkeyForward;
    uint32_t hotkeyBack;
};

extern PlayerStateRecord PlayerState;

#endif
