#include "base/win32_headers.h"

#include "app/win32/win32_dialog.h"
#include "sound/sound_layer.h"
#include "res/resource.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    InitCommonControls();
    const std::unique_ptr<SoundSystem> sound = CreatePlatformSoundSystem();
    InstallSoundSystem(sound.get());
    ModuleInstance = instance;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MAIN), nullptr, Win32MainDialogProc, 0);
    // The exit status is 1 however the dialog ended.
    return 1;
}
