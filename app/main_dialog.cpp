#include "app/main_dialog.h"

#include "app/display.h"
#include "control/auto_pause.h"
#include "control/file_open.h"
#include "control/hotkeys.h"
#include "control/player_state.h"
#include "control/slider_settings.h"
#include "control/timers.h"
#include "control/transport.h"
#include "res/resource.h"
#include "sound/sound_buffer.h"
#include "sound/sound_output.h"

namespace {

constexpr intptr_t DIALOG_CLOSED = 2;
constexpr intptr_t DIALOG_FATAL = 3;

struct SliderSetup {
    int id;
    TrackbarMessage message;
    int32_t value;
};

// Ranges and first thumbs, posted slider by slider in this order.
constexpr SliderSetup kSliderSetup[] = {
    {IDC_FREQUENCY, TrackbarMessage::SetRangeMax, 100000},
    {IDC_FREQUENCY, TrackbarMessage::SetRangeMin, 100},
    {IDC_PAN, TrackbarMessage::SetRangeMax, 20},
    {IDC_PAN, TrackbarMessage::SetRangeMin, -20},
    {IDC_VOLUME, TrackbarMessage::SetRangeMax, 0},
    {IDC_VOLUME, TrackbarMessage::SetRangeMin, -100},
    {IDC_POSITION, TrackbarMessage::SetRangeMin, 0},
    {IDC_POSITION, TrackbarMessage::SetRangeMax, 100},
    {IDC_PLAY_DURATION, TrackbarMessage::SetRangeMin, 1},
    {IDC_PLAY_DURATION, TrackbarMessage::SetRangeMax, 240},
    {IDC_PLAY_DURATION, TrackbarMessage::SetPos, 7},
    {IDC_PAUSE_DURATION, TrackbarMessage::SetRangeMin, 0},
    {IDC_PAUSE_DURATION, TrackbarMessage::SetRangeMax, 240},
    {IDC_PAUSE_DURATION, TrackbarMessage::SetPos, 10},
    {IDC_PAUSE_BACKUP, TrackbarMessage::SetRangeMin, 0},
    {IDC_PAUSE_BACKUP, TrackbarMessage::SetRangeMax, 40},
    {IDC_PAUSE_BACKUP, TrackbarMessage::SetPos, 3},
};

void OnDestroy(Dialog& dialog) {
    ReleaseHotKeys(dialog);
    dialog.KillTimer(POLL_TIMER);
    dialog.KillTimer(AUTOPAUSE_TIMER);
    FreeSoundDevice();
}

void OnPlayCommand(Dialog& dialog) {
    if (OnPlay(dialog) < 0) {
        dialog.ShowMessageBox(MessageBoxOwner::MainDialog,
                              "Error playing DirectSound buffer.Velmorin will now exit.",
                              "Velmorin", MESSAGEBOX_ICONERROR);
        dialog.EndDialog(DIALOG_FATAL);
    }
    PlayerState.paused = 0;
}

// Returns 1 for the commands the dialog handles, 0 for any other id (IDOK included).
intptr_t OnCommand(Dialog& dialog, int id) {
    switch (id) {
        case COMMAND_CANCEL:
        case IDM_FILE_EXIT:
            dialog.EndDialog(DIALOG_CLOSED);
            return 1;
        case IDC_PLAY:
            OnPlayCommand(dialog);
            return 1;
        case IDC_STOP:
            StopPlayback();
            PlayerState.paused = 0;
            return 1;
        case IDC_PAUSE:
            OnPause(dialog);
            return 1;
        case IDC_SKIP_BACK:
            SkipBack();
            return 1;
        case IDC_SKIP_FORWARD:
            SkipForward();
            return 1;
        case IDC_AUTOPAUSE:
            OnAutoPauseCheckBox(dialog);
            return 1;
        case IDM_HELP_ABOUT:
            dialog.ShowAboutBox();
            return 1;
        case IDM_FILE_OPEN:
            OpenSoundFile(dialog);
            return 1;
        default:
            return 0;
    }
}

void OnTimer(Dialog& dialog, uintptr_t id) {
    if (id == POLL_TIMER) {
        OnPollTimer(dialog);
    } else if (id == AUTOPAUSE_TIMER) {
        OnAutoPauseTimer(dialog);
    }
}

}  // namespace

void OnInitDialog(Dialog& dialog) {
    IconHandle icon = dialog.LoadMainIcon();
    if (InitSoundDevice(dialog.Window()) < 0) {
        dialog.ShowMessageBox(MessageBoxOwner::MainDialog,
                              "Error initializing DirectSound.  Sample will now exit.",
                              "DirectSound Sample", MESSAGEBOX_ICONERROR);
        dialog.EndDialog(DIALOG_FATAL);
        return;
    }
    dialog.PostSetIcon(IconSize::Big, icon);
    dialog.PostSetIcon(IconSize::Small, icon);
    dialog.SetTimer(POLL_TIMER, 0);
    dialog.SetTimer(AUTOPAUSE_TIMER, 3000);
    SetTitleFile(dialog, "");
    SetStatusText(dialog, "No file loaded.");
    // The radio buttons are hidden; these checks fix the buffers' focus and memory
    // flags for the whole run.
    dialog.CheckRadioButton(IDC_FOCUS_GLOBAL, IDC_FOCUS_GLOBAL, IDC_FOCUS_GLOBAL);
    dialog.CheckRadioButton(IDC_MEM_DEFAULT, IDC_MEM_SOFTWARE, IDC_MEM_DEFAULT);
    for (const SliderSetup& step : kSliderSetup) {
        dialog.PostTrackbarMessage(step.id, step.message, step.value);
    }
    SetParameterSliders(dialog, 100, 0, 0, 0);
    RegisterHotKeys(dialog);
}

intptr_t MainDialogProc(Dialog& dialog, uint32_t message, uintptr_t wParam, intptr_t) {
    switch (message) {
        case WINMSG_INITDIALOG:
            OnInitDialog(dialog);
            return 1;
        case WINMSG_NOTIFY:
            ApplySliderSettings(dialog);
            return 1;
        case WINMSG_COMMAND:
            return OnCommand(dialog, static_cast<int>(wParam & 0xFFFF));
        case WINMSG_TIMER:
            OnTimer(dialog, wParam);
            return 1;
        case WINMSG_HOTKEY:
            OnHotKey(dialog, wParam);
            return 1;
        case WINMSG_DESTROY:
            OnDestroy(dialog);
            return 1;
        default:
            return 0;
    }
}
