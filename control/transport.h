// Play, Pause/resume and the poll timer that keeps the dialog in step with the sound.
#ifndef VELMORIN_CONTROL_TRANSPORT_H
#define VELMORIN_CONTROL_TRANSPORT_H

#include <cstdint>

#include "app/dialog.h"

// Negative: a fatal failure (the caller ends the dialog). 0: started, or refused quietly.
int32_t OnPlay(Dialog& dialog);
void OnPause(Dialog& dialog);
void OnPollTimer(Dialog& dialog);
void RestartPlayTimer(Dialog& dialog);

#endif
