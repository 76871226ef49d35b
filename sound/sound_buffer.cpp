#include "sound/sound_buffer.h"

// No buffer exists yet, so there is nothing to stop or move.
void StopPlayback() {}
void SkipBack() {}
void SkipForward() {}
