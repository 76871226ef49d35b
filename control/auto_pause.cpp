#include "control/auto_pause.h"

#include <cstdio>

#include "app/display.h"
#include "control/player_state.h"
#include "control/timers.h"
#include "res/resource.h"
#include "sound/sound_buffer.h"

namespace {

bool BoxChecked(Dialog& dialog) {
    return dialog.IsButtonChecked(IDC_AUTOPAUSE) == 1;
}

uint32_t QuarterSeconds(int32_t quarters) {
    return static_cast<uint32_t>(quarters) * 250u;
}

}  // namespace

void OnAutoPauseTimer(Dialog& dialog) {
    // With no active sound or the box unchecked the tick does nothing; the timer runs on.
    if (!dialog.IsItemEnabled(IDC_STOP) || !BoxChecked(dialog))
        return;
    if (PlayerState.paused == 0) {
        const int32_t pause = dialog.GetTrackbarPos(IDC_PAUSE_DURATION);
        PlayerState.resumePosition = PauseAndGetPosition();
        char text[24];
        std::snprintf(text, sizeof text, "%ld", static_cast<long>(PlayerState.resumePosition));
        SetPositionText(dialog, text);
        dialog.KillTimer(AUTOPAUSE_TIMER);
        // A Pause Duration of 0 leaves the pause to the user.
        if (pause > 0)
            dialog.SetTimer(AUTOPAUSE_TIMER, QuarterSeconds(pause));
    } else {
        const int32_t play = dialog.GetTrackbarPos(IDC_PLAY_DURATION);
        const int32_t backup = dialog.GetTrackbarPos(IDC_PAUSE_BACKUP);
        dialog.KillTimer(AUTOPAUSE_TIMER);
        dialog.SetTimer(AUTOPAUSE_TIMER, QuarterSeconds(play));
        ResumeAt(static_cast<int32_t>(static_cast<int64_t>(PlayerState.resumePosition) -
                                      int64_t{backup} * 1000));
    }
    PlayerState.paused = PlayerState.paused == 0 ? 1 : 0;
}

void OnAutoPauseCheckBox(Dialog& dialog) {
    if (!BoxChecked(dialog))
        dialog.KillTimer(AUTOPAUSE_TIMER);
}
