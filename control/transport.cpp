#include "control/transport.h"

#include <cstdio>

#include "app/display.h"
#include "control/player_state.h"
#include "control/timers.h"
#include "res/resource.h"
#include "sound/sound_buffer.h"
#include "sound/sound_layer.h"

namespace {

bool Checked(Dialog& dialog, int id) {
    return dialog.IsButtonChecked(id) == 1;
}

void ShowPosition(Dialog& dialog, int32_t position) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(position));
    SetPositionText(dialog, text);
}

// The hidden radio buttons choose the buffer's focus and memory flags.
uint32_t CreationFlags(Dialog& dialog) {
    uint32_t flags = 0;
    if (Checked(dialog, IDC_FOCUS_STICKY))
        flags |= SOUND_CAPS_STICKYFOCUS;
    if (Checked(dialog, IDC_FOCUS_GLOBAL))
        flags |= SOUND_CAPS_GLOBALFOCUS;
    if (Checked(dialog, IDC_MEM_HARDWARE))
        flags |= SOUND_CAPS_LOCHARDWARE;
    if (Checked(dialog, IDC_MEM_SOFTWARE))
        flags |= SOUND_CAPS_LOCSOFTWARE;
    return flags;
}

}  // namespace

int32_t OnPlay(Dialog& dialog) {
    const int loop = Checked(dialog, IDC_LOOP) ? 1 : 0;
    const uint32_t flags = CreationFlags(dialog);
    const int32_t result = StartPlayback(dialog, loop, flags);
    if (result < 0)
        return result;
    if (result > 0)
        return 0;  // refused quietly; the status line says why
    EnableTransport(dialog, 0);
    SetStatusText(dialog, "Sound playing.");
    // The first stretch of the automatic cycle lasts the Pause Duration.
    if (Checked(dialog, IDC_AUTOPAUSE)) {
        const int32_t pause = dialog.GetTrackbarPos(IDC_PAUSE_DURATION);
        if (pause > 0)
            dialog.SetTimer(AUTOPAUSE_TIMER, static_cast<uint32_t>(pause) * 250u);
    }
    return 0;
}

void OnPause(Dialog& dialog) {
    if (PlayerState.paused == 0) {
        PlayerState.resumePosition = PauseAndGetPosition();
        ShowPosition(dialog, PlayerState.resumePosition);
        // A manual pause is not ended by the automatic cycle.
        if (Checked(dialog, IDC_AUTOPAUSE))
            dialog.KillTimer(AUTOPAUSE_TIMER);
    } else {
        const int32_t backup = dialog.GetTrackbarPos(IDC_PAUSE_BACKUP);
        // Signed 32-bit, no lower bound: a step back past the start lands at the start.
        ResumeAt(static_cast<int32_t>(static_cast<int64_t>(PlayerState.resumePosition) -
                                      int64_t{backup} * 1000));
        RestartPlayTimer(dialog);
    }
    PlayerState.paused = PlayerState.paused == 0 ? 1 : 0;
}

void RestartPlayTimer(Dialog& dialog) {
    if (!Checked(dialog, IDC_AUTOPAUSE))
        return;
    const int32_t play = dialog.GetTrackbarPos(IDC_PLAY_DURATION);
    dialog.SetTimer(AUTOPAUSE_TIMER, static_cast<uint32_t>(play) * 250u);
}

void OnPollTimer(Dialog& dialog) {
    if (!dialog.IsItemEnabled(IDC_STOP))
        return;  // no sound is active
    if (PlayerState.paused == 1) {
        SetStatusText(dialog, "Paused.");
        return;
    }
    if (IsPlaying() == 1) {
        const int32_t position = GetPlayPosition();
        ShowPosition(dialog, position);
        SetStatusText(dialog, "Playing");
        // A cursor that could not be read (-1) has no place on the slider, and with no
        // data there is nothing to measure progress against: the thumb stays.
        if (position >= 0 && PlayerState.dataLength != 0) {
            const uint64_t percent = static_cast<uint64_t>(static_cast<uint32_t>(position)) * 100u /
                                     PlayerState.dataLength;
            SetProgress(dialog, static_cast<int32_t>(percent));
        }
        return;
    }
    EnableTransport(dialog, 1);
    SetStatusText(dialog, "Sound stopped.");
}
