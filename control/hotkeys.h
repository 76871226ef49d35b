// System-wide hotkeys: Alt+J pause/resume, Alt+K skip forward, Alt+H skip back.
#ifndef VELMORIN_CONTROL_HOTKEYS_H
#define VELMORIN_CONTROL_HOTKEYS_H

#include <cstdint>

#include "app/dialog.h"

// Registers pause, forward and back in that order; each failure shows its own box.
void RegisterHotKeys(Dialog& dialog);
// Unregisters the three ids, then deletes their atoms, in the same order.
void ReleaseHotKeys(Dialog& dialog);
void OnHotKey(Dialog& dialog, uintptr_t id);

#endif
