#include "control/auto_pause.h"

void OnAutoPauseTimer(Dialog&) {}
void OnAutoPauseCheckBox(Dialog&) {}
