// Test-only: plays a WAVE file through the program's own sound path (reader,
// StartPlayback) into the PulseAudio layer, as play_through.exe does into DirectSound.
//
//   pulse_play_through <file.wav> <frequency thumb> <pan thumb> <volume thumb>
//       plays the file once with those slider thumbs and waits for its end
//   pulse_play_through <file.wav> --transport
//       plays 600 ms, stops for 300 ms, plays 400 ms, moves the cursor to byte 20000,
//       plays 500 ms and stops; prints "stop <cursor>" after each Stop, "seek 20000"
//       and "play <unix seconds>" at the first Play
//
// Exit status 0 when the sound did what was asked, else 1.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

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

void Wait(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

int Transport() {
    const double now =
        std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::printf("play %.6f\n", now);
    std::fflush(stdout);
    Wait(600);
    StopPlayback();
    std::printf("stop %d\n", GetPlayPosition());
    Wait(300);
    SoundOutput.buffer->Play(0);
    Wait(400);
    SoundOutput.buffer->SetCurrentPosition(20000);
    std::printf("seek 20000\n");
    Wait(500);
    StopPlayback();
    std::printf("stop %d\n", GetPlayPosition());
    Wait(200);  // the rendered tail plays out
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const bool transport = argc == 3 && std::strcmp(argv[2], "--transport") == 0;
    if (argc != 5 && !transport) {
        std::fprintf(stderr,
                     "usage: pulse_play_through file.wav (frequency pan volume | --transport)\n");
        return 64;
    }
    const std::unique_ptr<SoundSystem> system = CreatePlatformSoundSystem();
    InstallSoundSystem(system.get());
    FakeDialog dialog;
    if (InitSoundDevice(dialog.Window()) < 0)
        return 1;
    SoundOutput.reader = std::make_unique<WaveFileReader>();
    int status = 1;
    if (SoundOutput.reader->Open(argv[1]) >= 0) {
        const uint32_t rate = GetSampleRate();
        SetThumb(dialog, IDC_FREQUENCY, 100, 100000,
                 transport ? static_cast<int32_t>(rate) : std::atoi(argv[2]));
        SetThumb(dialog, IDC_PAN, -20, 20, transport ? 0 : std::atoi(argv[3]));
        SetThumb(dialog, IDC_VOLUME, -100, 0, transport ? 0 : std::atoi(argv[4]));
        if (StartPlayback(dialog, 0, SOUND_CAPS_GLOBALFOCUS) == 0) {
            if (transport) {
                status = Transport();
            } else {
                for (int waited = 0; IsPlaying() == 1 && waited < 30000; waited += 100)
                    Wait(100);
                Wait(100);  // the stream's queue
                status = IsPlaying() == 0 ? 0 : 1;
            }
        }
    }
    FreeSoundDevice();
    InstallSoundSystem(nullptr);
    return status;
}
