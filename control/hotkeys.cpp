#include "control/hotkeys.h"

#include "control/player_state.h"

namespace {

void RegisterOne(Dialog& dialog, uint32_t& field, const char* atomName, char key) {
    field = dialog.AddGlobalAtom(atomName) & 0xFFFFu;
    const uint32_t virtualKey = dialog.VirtualKeyForChar(key) & 0xFFFFu;
    if (!dialog.RegisterHotKey(static_cast<int>(field), HOTKEY_MOD_ALT, virtualKey)) {
        dialog.ShowMessageBox(MessageBoxOwner::None, "Failed", "Orvanth", MESSAGEBOX_OK);
    }
}

}  // namespace

void RegisterHotKeys(Dialog& dialog) {
    // The atom names are only names: the modifier is Alt and the keys are j, k, h.
    RegisterOne(dialog, PlayerState.hotkeyPause, "ctrl-h", 'j');
    RegisterOne(dialog, PlayerState.hotkeyForward, "ctrl-j", 'k');
    RegisterOne(dialog, PlayerState.hotkeyBack, "ctrl-k", 'h');
}

void ReleaseHotKeys(Dialog& dialog) {
    dialog.UnregisterHotKey(static_cast<int>(PlayerState.hotkeyPause));
    dialog.UnregisterHotKey(static_cast<int>(PlayerState.hotkeyForward));
    dialog.UnregisterHotKey(static_cast<int>(PlayerState.hotkeyBack));
    dialog.DeleteGlobalAtom(static_cast<uint16_t>(PlayerState.hotkeyPause));
    dialog.DeleteGlobalAtom(static_cast<uint16_t>(PlayerState.hotkeyForward));
    dialog.DeleteGlobalAtom(static_cast<uint16_t>(PlayerState.hotkeyBack));
}

// The hotkeys' actions arrive with the sound buffer they drive.
void OnHotKey(Dialog&, uintptr_t) {}
