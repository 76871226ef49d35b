#include "control/transport.h"

// Playback arrives with the sound buffer; until then the transport has nothing to drive.
int32_t OnPlay(Dialog&) {
    return 0;
}
void OnPause(Dialog&) {}
void OnPollTimer(Dialog&) {}
void RestartPlayTimer(Dialog&) {}
