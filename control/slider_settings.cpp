#include "control/slider_settings.h"

#include <cstdio>

#include "app/display.h"
#include "control/player_state.h"
#include "res/resource.h"
#include "sound/sound_buffer.h"

namespace {

void WriteText(Dialog& dialog, int id, const char* text) {
    dialog.SetItemText(id, text);
}

void WriteQuarters(Dialog& dialog, int id, int32_t quarters, const char* format) {
    char text[48];
    std::snprintf(text, sizeof text, format, static_cast<double>(quarters) * 0.25);
    WriteText(dialog, id, text);
}

void WriteNumber(Dialog& dialog, int id, int32_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    WriteText(dialog, id, text);
}

}  // namespace

void ApplySliderSettings(Dialog& dialog) {
    const int32_t frequency = dialog.GetTrackbarPos(IDC_FREQUENCY);
    const int32_t pan = dialog.GetTrackbarPos(IDC_PAN) * 500;
    const int32_t volume = dialog.GetTrackbarPos(IDC_VOLUME) * 100;
    const int32_t position = dialog.GetTrackbarPos(IDC_POSITION);
    const int32_t backup = dialog.GetTrackbarPos(IDC_PAUSE_BACKUP);
    const int32_t playDuration = dialog.GetTrackbarPos(IDC_PLAY_DURATION);
    const int32_t pauseDuration = dialog.GetTrackbarPos(IDC_PAUSE_DURATION);

    WriteNumber(dialog, IDC_FREQUENCY_TEXT, frequency);
    WriteNumber(dialog, IDC_PAN_TEXT, pan);
    WriteNumber(dialog, IDC_VOLUME_TEXT, volume);
    WriteQuarters(dialog, IDC_PLAY_DURATION_TEXT, playDuration, "%.2f sec");
    if (pauseDuration == 0) {
        // A pause that the cycle never ends by itself.
        WriteText(dialog, IDC_PAUSE_DURATION_TEXT, "Stop");
    } else {
        WriteQuarters(dialog, IDC_PAUSE_DURATION_TEXT, pauseDuration, "%.2f sec");
    }
    WriteQuarters(dialog, IDC_PAUSE_BACKUP_TEXT, backup, "%.2f secs");

    // The seek: where the next resume starts. Formed in 64 bits so that large files stay
    // exact; at most 100 % of a 32-bit length, so the result fits.
    if (position > 0) {
        const auto point =
            static_cast<uint32_t>(static_cast<uint64_t>(position) * PlayerState.dataLength / 100u);
        PlayerState.resumePosition = static_cast<int32_t>(point);
        char text[24];
        std::snprintf(text, sizeof text, "%lu", static_cast<unsigned long>(point));
        SetPositionText(dialog, text);
    }
    SetBufferParameters(frequency, pan, volume);
}
