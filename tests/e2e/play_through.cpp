// Test-only: plays a WAVE file once through the program's own sound path (reader,
// StartPlayback, DirectSound) with the given slider thumbs, and waits for its end.
//
//   play_through <file.wav> <frequency thumb> <pan thumb> <volume thumb>
//
// Exit status 0 when the sound played to its end, else 1.
#include "base/win32_headers.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "res/resource.h"
#include "sound/sound_layer.h"
#include "sound/sound_buffer.h"
#include "sound/sound_output.h"
#include "tests/native/fake_dialog.h"

namespace {

void SetThumb(FakeDialog& dialog, int id, int32_t min, int32_t max, int32_t pos) {
    FakeControl& slider = dialog.Control(id);
    slider.rangeMin = min;
    slider.rangeMax = max;
    slider.pos = pos;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: play_through file.wav frequency pan volume\n");
        return 64;
    }
    HWND window = CreateWindowExA(0, "STATIC", "play_through", WS_POPUP, 0, 0, 1, 1, nullptr,
                                  nullptr, nullptr, nullptr);
    const std::unique_ptr<SoundSystem> system = CreatePlatformSoundSystem();
    InstallSoundSystem(system.get());
    // The dialog model supplies the sliders; the sound device needs a real window.
    WindowedFakeDialog dialog(window);
    if (InitSoundDevice(dialog.Window()) < 0)
        return 1;
    SetThumb(dialog, IDC_FREQUENCY, 100, 100000, std::atoi(argv[2]));
    SetThumb(dialog, IDC_PAN, -20, 20, std::atoi(argv[3]));
    SetThumb(dialog, IDC_VOLUME, -100, 0, std::atoi(argv[4]));

    SoundOutput.reader = std::make_unique<WaveFileReader>();
    int status = 1;
    if (SoundOutput.reader->Open(argv[1]) >= 0 &&
        StartPlayback(dialog, 0, SOUND_CAPS_GLOBALFOCUS) == 0) {
        for (int waited = 0; IsPlaying() == 1 && waited < 30000; waited += 10)
            Sleep(10);
        // Let the mixer hand the last period to the device.
        Sleep(300);
        status = IsPlaying() == 0 ? 0 : 1;
    }
    FreeSoundDevice();
    DestroyWindow(window);
    return status;
}
