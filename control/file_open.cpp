#include "control/file_open.h"

void OpenSoundFile(Dialog&) {}
