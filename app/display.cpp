#include "app/display.h"

#include <cstdio>

#include "res/resource.h"

void EnableTransport(Dialog& dialog, int stopped) {
    const bool idle = stopped != 0;
    dialog.EnableItem(IDC_LOOP, idle);
    dialog.EnableItem(IDC_PLAY, idle);
    dialog.EnableItem(IDC_PAUSE, !idle);
    dialog.EnableItem(IDC_STOP, !idle);
    dialog.EnableItem(IDC_SKIP_FORWARD, !idle);
    dialog.EnableItem(IDC_SKIP_BACK, !idle);
    for (int id = IDC_FOCUS_NORMAL; id <= IDC_MEM_SOFTWARE; ++id) {
        dialog.EnableItem(id, idle);
    }
    dialog.SetFocusItem(idle ? IDC_PLAY : IDC_STOP);
}

void SetStatusText(Dialog& dialog, const char* text) {
    dialog.SetItemText(IDC_STATUS, text);
}

void SetPositionText(Dialog& dialog, const char* text) {
    dialog.SetItemText(IDC_POSITION_TEXT, text);
}

void SetTitleFile(Dialog& dialog, const char* name) {
    char title[512];
    if (name[0] == '\0') {
        std::snprintf(title, sizeof title, "Velmorin - No file loaded.");
    } else {
        std::snprintf(title, sizeof title, "Velmorin - [%s]", name);
    }
    dialog.SetTitle(title);
}

void SetProgress(Dialog& dialog, int32_t value) {
    dialog.PostTrackbarMessage(IDC_POSITION, TrackbarMessage::SetPos, value);
}

void SetParameterSliders(Dialog& dialog, int32_t frequency, int32_t pan, int32_t volume,
                         int32_t position) {
    dialog.PostTrackbarMessage(IDC_FREQUENCY, TrackbarMessage::SetPos, frequency);
    dialog.PostTrackbarMessage(IDC_PAN, TrackbarMessage::SetPos, pan);
    dialog.PostTrackbarMessage(IDC_VOLUME, TrackbarMessage::SetPos, volume);
    dialog.PostTrackbarMessage(IDC_POSITION, TrackbarMessage::SetPos, position);
}
