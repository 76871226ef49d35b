// Puts the seven sliders' settings into effect: value texts, seek, buffer parameters.
#ifndef VELMORIN_CONTROL_SLIDER_SETTINGS_H
#define VELMORIN_CONTROL_SLIDER_SETTINGS_H

#include "app/dialog.h"

void ApplySliderSettings(Dialog& dialog);

#endif
