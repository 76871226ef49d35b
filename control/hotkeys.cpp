#include "control/hotkeys.h"

#include "control/player_state.h"
#include "control/timers.h"
#include "control/transport.h"
#include "res/resource.h"
#include "sound/sound_buffer.h"
#include "sound/sound_output.h"

namespace {

void RegisterOne(Dialog& dialog, uint32_t& field, const char* atomName, char key) {
    field = dialog.AddGlobalAtom(atomName) & 0xFFFFu;
    const uint32_t virtualKey = dialog.VirtualKeyForChar(key) & 0xFFFFu;
    if (!dialog.RegisterHotKey(static_cast<int>(field), HOTKEY_MOD_ALT, virtualKey))
        ReportHotKeyFailure(dialog);
}

constexpr HotKeyPurpose kPause{"pause", "Pause the recording, or resume it a little before"};
constexpr HotKeyPurpose kForward{"forward", "Skip forward in the recording"};
constexpr HotKeyPurpose kBack{"back", "Skip back in the recording"};

// The pause hotkey's step back: b quarter seconds counted in samples, as bytes. In 64
// bits, so that no rate and backup overflow; the fraction is dropped.
int32_t HotKeyStep(uint32_t rate, int32_t backup) {
    const uint64_t step = uint64_t{rate} * static_cast<uint64_t>(backup) / 4u;
    return static_cast<int32_t>(static_cast<uint32_t>(step));
}

void OnPauseHotKey(Dialog& dialog) {
    // Before the first Play there is nothing to pause, and no state should change.
    if (!SoundOutput.buffer)
        return;
    if (PlayerState.paused == 0) {
        PlayerState.resumePosition = PauseAndGetPosition();
        if (dialog.IsButtonChecked(IDC_AUTOPAUSE) == 1)
            dialog.KillTimer(AUTOPAUSE_TIMER);
    } else {
        const int32_t backup = dialog.GetTrackbarPos(IDC_PAUSE_BACKUP);
        const uint32_t rate = GetSampleRate();
        ResumeAt(static_cast<int32_t>(static_cast<uint32_t>(PlayerState.resumePosition) -
                                      static_cast<uint32_t>(HotKeyStep(rate, backup))));
        RestartPlayTimer(dialog);
    }
    PlayerState.paused = PlayerState.paused == 0 ? 1 : 0;
}

}  // namespace

void RegisterHotKeys(Dialog& dialog) {
    // The atom names are only names: the modifier is Alt and the keys are j, k, h.
    RegisterOne(dialog, PlayerState.hotkeyPause, "ctrl-h", 'j');
    RegisterOne(dialog, PlayerState.hotkeyForward, "ctrl-j", 'k');
    RegisterOne(dialog, PlayerState.hotkeyBack, "ctrl-k", 'h');
}

const HotKeyPurpose* HotKeyPurposeOf(int id) {
    const auto key = static_cast<uint32_t>(id);
    if (key == 0)
        return nullptr;
    return key == PlayerState.hotkeyPause     ? &kPause
           : key == PlayerState.hotkeyForward ? &kForward
           : key == PlayerState.hotkeyBack    ? &kBack
                                              : nullptr;
}

void ReportHotKeyFailure(Dialog& dialog) {
    dialog.ShowMessageBox(MessageBoxOwner::None, "Failed", "Orvanth", MESSAGEBOX_OK);
}

void ReleaseHotKeys(Dialog& dialog) {
    dialog.UnregisterHotKey(static_cast<int>(PlayerState.hotkeyPause));
    dialog.UnregisterHotKey(static_cast<int>(PlayerState.hotkeyForward));
    dialog.UnregisterHotKey(static_cast<int>(PlayerState.hotkeyBack));
    dialog.DeleteGlobalAtom(static_cast<uint16_t>(PlayerState.hotkeyPause));
    dialog.DeleteGlobalAtom(static_cast<uint16_t>(PlayerState.hotkeyForward));
    dialog.DeleteGlobalAtom(static_cast<uint16_t>(PlayerState.hotkeyBack));
}

// No guard on the Stop button: the hotkeys act on whatever buffer exists, and do nothing
// before the first Play (the buffer operations need a buffer).
void OnHotKey(Dialog& dialog, uintptr_t id) {
    if (id == PlayerState.hotkeyPause)
        OnPauseHotKey(dialog);
    if (id == PlayerState.hotkeyForward)
        SkipForward();
    if (id == PlayerState.hotkeyBack)
        SkipBack();
}
