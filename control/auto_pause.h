// The automatic play/pause cycle driven by AUTOPAUSE_TIMER.
#ifndef VELMORIN_CONTROL_AUTO_PAUSE_H
#define VELMORIN_CONTROL_AUTO_PAUSE_H

#include "app/dialog.h"

void OnAutoPauseTimer(Dialog& dialog);
// The "Use automatic pausing" check box was clicked.
void OnAutoPauseCheckBox(Dialog& dialog);

#endif
