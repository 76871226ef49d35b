// File > Open...: choosing a WAVE file and making it the loaded file.
#ifndef VELMORIN_CONTROL_FILE_OPEN_H
#define VELMORIN_CONTROL_FILE_OPEN_H

#include "app/dialog.h"

constexpr unsigned PATH_CHARS = 260;

// The path the open-file dialog chose last; never cleared, so the next dialog offers it.
extern char chosenPath[PATH_CHARS];
// Where the next open-file dialog starts: empty, then the platform's first folder ("My
// Documents" under the Windows directory), then the directory of the file chosen last.
extern char lastDirectory[PATH_CHARS];

// Stops the sound, asks for a file and loads it; PlayerState.dataLength follows every load.
void OpenSoundFile(Dialog& dialog);
// Replaces the current reader by a new one opened on `path` and updates the window.
void LoadWaveFile(Dialog& dialog, const char* path);

#endif
