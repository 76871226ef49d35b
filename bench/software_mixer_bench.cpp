// CPU time of the software mixer per second of playback, rendering offline as fast as it
// can: a 22050 Hz 16-bit mono file at its own rate and at 100000 Hz, mixed at 48000 Hz as
// a sound server asks, through the mixer as built;
// and, for the choice of converter, libsamplerate's converters alone on the same signal
// at 44100 -> 22050 Hz. Prints percent of one core per second of sound.
#include <samplerate.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "sound/mixer/software_mixer.h"
#include "wave/wave_file_reader.h"

namespace {

constexpr uint32_t kRate = 22050;        // the file's
constexpr uint32_t kOutputRate = 48000;  // the sound server's, which the mixer renders at
constexpr int kSeconds = 60;

class NoOutput final : public SoftwareOutput {
  public:
    uint64_t HeardFrames() override { return 0; }
    void MixChanged(SoftwareSoundDevice&, uint64_t) override {}
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double MixerPercent(uint32_t frequency) {
    NoOutput output;
    SoftwareSoundDevice device(output, kOutputRate);
    WaveFormat format{1, 1, kRate, 2 * kRate, 2, 16, 0};
    const uint32_t frames = 10 * kRate;
    std::unique_ptr<SoundBuffer> buffer;
    if (device.CreateSoundBuffer({0, 2 * frames, &format}, &buffer) != 0)
        return -1;
    void* region = nullptr;
    uint32_t bytes = 0;
    buffer->Lock(0, 2 * frames, &region, &bytes);
    auto* samples = static_cast<int16_t*>(region);
    for (uint32_t i = 0; i < frames; ++i)
        samples[i] = static_cast<int16_t>(12000 * std::sin(2 * 3.14159265 * 440 * i / kRate));
    buffer->Unlock(region, bytes);
    buffer->SetFrequency(frequency);
    buffer->Play(1);  // looping
    std::vector<int16_t> out(2 * kOutputRate / 10);
    const auto start = std::chrono::steady_clock::now();
    for (int block = 0; block < kSeconds * 10; ++block)
        device.Render(out.data(), kOutputRate / 10);  // 100 ms at a time, as the stream asks
    return 100 * Seconds(start) / kSeconds;
}

double ConverterPercent(int converter) {
    int error = 0;
    SRC_STATE* state = src_new(converter, 2, &error);
    std::vector<float> in(2 * 882), out(2 * 441 + 64);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.4 * std::sin(0.06 * static_cast<double>(i / 2)));
    const auto start = std::chrono::steady_clock::now();
    for (int block = 0; block < kSeconds * 50; ++block) {
        SRC_DATA data{};
        data.data_in = in.data();
        data.input_frames = 882;
        data.data_out = out.data();
        data.output_frames = 441 + 32;
        data.src_ratio = 0.5;
        src_process(state, &data);
    }
    const double percent = 100 * Seconds(start) / kSeconds;
    src_delete(state);
    return percent;
}

}  // namespace

int main() {
    std::printf("mixer, 22050 Hz file at its rate:   %.3f %% of a core\n", MixerPercent(kRate));
    std::printf("mixer, 22050 Hz file at 100000 Hz:  %.3f %% of a core\n", MixerPercent(100000));
    const struct {
        const char* name;
        int converter;
    } converters[] = {{"SRC_LINEAR", SRC_LINEAR},
                      {"SRC_SINC_FASTEST (chosen)", SRC_SINC_FASTEST},
                      {"SRC_SINC_MEDIUM_QUALITY", SRC_SINC_MEDIUM_QUALITY},
                      {"SRC_SINC_BEST_QUALITY", SRC_SINC_BEST_QUALITY}};
    for (const auto& c : converters)
        std::printf("converter %-26s 44100 -> 22050 stereo: %.3f %% of a core\n", c.name,
                    ConverterPercent(c.converter));
    return 0;
}
