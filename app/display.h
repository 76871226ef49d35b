// The helpers through which everything else writes to the main dialog.
#ifndef VELMORIN_APP_DISPLAY_H
#define VELMORIN_APP_DISPLAY_H

#include <cstdint>

#include "app/dialog.h"

// Stopped layout (nonzero): Loop, Play and the hidden radios enabled, Pause, Stop and
// the skips disabled, focus on Play. Playing layout (0): the reverse, focus on Stop.
// Stop's enabled state is the program's record of whether a sound is active.
void EnableTransport(Dialog& dialog, int stopped);
void SetStatusText(Dialog& dialog, const char* text);
void SetPositionText(Dialog& dialog, const char* text);
// "Velmorin - [name]", or "Velmorin - No file loaded." for an empty name.
void SetTitleFile(Dialog& dialog, const char* name);
// Posts the position slider's thumb.
void SetProgress(Dialog& dialog, int32_t value);
// Posts the thumbs of frequency, pan, volume and position, in that order.
void SetParameterSliders(Dialog& dialog, int32_t frequency, int32_t pan, int32_t volume,
                         int32_t position);

#endif
