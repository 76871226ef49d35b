// System-wide hotkeys: Alt+J pause/resume, Alt+K skip forward, Alt+H skip back.
#ifndef VELMORIN_CONTROL_HOTKEYS_H
#define VELMORIN_CONTROL_HOTKEYS_H

#include <cstdint>

#include "app/dialog.h"

// Registers pause, forward and back in that order; each failure shows its own box.
void RegisterHotKeys(Dialog& dialog);
// What a registered hotkey does, for desktops that show the user the shortcuts a program
// asks for: a short name and a description. Null for an id that is none of the three.
struct HotKeyPurpose {
    const char* name;
    const char* description;
};
const HotKeyPurpose* HotKeyPurposeOf(int id);
// The box a refused registration shows, for a platform that refuses a hotkey only after
// RegisterHotKey has returned (the desktop asks the user first).
void ReportHotKeyFailure(Dialog& dialog);
// Unregisters the three ids, then deletes their atoms, in the same order.
void ReleaseHotKeys(Dialog& dialog);
void OnHotKey(Dialog& dialog, uintptr_t id);

#endif
