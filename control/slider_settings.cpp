#include "control/slider_settings.h"

void ApplySliderSettings(Dialog&) {}
