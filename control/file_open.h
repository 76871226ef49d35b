// File > Open...: choosing a WAVE file and making it the loaded file.
#ifndef VELMORIN_CONTROL_FILE_OPEN_H
#define VELMORIN_CONTROL_FILE_OPEN_H

#include "app/dialog.h"

void OpenSoundFile(Dialog& dialog);

#endif
