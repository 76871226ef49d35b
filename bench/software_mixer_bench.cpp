// CPU time of the software mixer per second of playback, rendering offline as fast as it
// can, mixed at 48000 Hz as a sound server asks, through the mixer as built: a 22050 Hz
// 16-bit mono file at its own rate and at 100000 Hz, a 44100 Hz stereo one at its rate
// (scripts/bench-players.sh plays such a file) and a 48000 Hz one, which goes through at 1:1;
// and, for the choice of converter, libsoxr's qualities alone on 44100 -> 48000 Hz stereo.
// Prints percent of one core per second of sound.
#include <soxr.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "sound/mixer/software_mixer.h"
#include "wave/wave_file_reader.h"

namespace {

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

// A 16-bit file of `channels` at `rate`, looped at `frequency`.
double MixerPercent(uint32_t rate, uint16_t channels, uint32_t frequency) {
    NoOutput output;
    SoftwareSoundDevice device(output, kOutputRate);
    const uint16_t block = 2 * channels;
    WaveFormat format{1, channels, rate, block * rate, block, 16, 0};
    const uint32_t frames = 10 * rate;
    std::unique_ptr<SoundBuffer> buffer;
    if (device.CreateSoundBuffer({0, block * frames, &format}, &buffer) != 0)
        return -1;
    void* region = nullptr;
    uint32_t bytes = 0;
    buffer->Lock(0, block * frames, &region, &bytes);
    auto* samples = static_cast<int16_t*>(region);
    for (uint32_t i = 0; i < frames * channels; ++i)
        samples[i] =
            static_cast<int16_t>(12000 * std::sin(2 * 3.14159265 * 440 * (i / channels) / rate));
    buffer->Unlock(region, bytes);
    buffer->SetFrequency(frequency);
    buffer->Play(1);  // looping
    std::vector<int16_t> out(2 * kOutputRate / 10);
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < kSeconds * 10; ++b)
        device.Render(out.data(), kOutputRate / 10);  // 100 ms at a time, as the stream asks
    return 100 * Seconds(start) / kSeconds;
}

double ConverterPercent(unsigned long quality) {
    const soxr_quality_spec_t spec = soxr_quality_spec(quality, 0);
    soxr_t converter = soxr_create(44100, kOutputRate, 2, nullptr, nullptr, &spec, nullptr);
    std::vector<float> in(2 * 441), out(2 * 1024);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<float>(0.4 * std::sin(0.06 * static_cast<double>(i / 2)));
    const auto start = std::chrono::steady_clock::now();
    for (int b = 0; b < kSeconds * 100; ++b) {
        size_t used = 0, made = 0;
        soxr_process(converter, in.data(), 441, &used, out.data(), 1024, &made);
    }
    const double percent = 100 * Seconds(start) / kSeconds;
    soxr_delete(converter);
    return percent;
}

}  // namespace

int main() {
    std::printf("mixer, 22050 Hz mono at its rate:     %.3f %% of a core\n",
                MixerPercent(22050, 1, 22050));
    std::printf("mixer, 22050 Hz mono at 100000 Hz:    %.3f %% of a core\n",
                MixerPercent(22050, 1, 100000));
    std::printf("mixer, 44100 Hz stereo at its rate:   %.3f %% of a core\n",
                MixerPercent(44100, 2, 44100));
    std::printf("mixer, 48000 Hz stereo at its rate:   %.3f %% of a core\n",
                MixerPercent(48000, 2, 48000));
    const struct {
        const char* name;
        unsigned long quality;
    } qualities[] = {{"SOXR_QQ (not band-limited)", SOXR_QQ},
                     {"SOXR_LQ", SOXR_LQ},
                     {"SOXR_MQ", SOXR_MQ},
                     {"SOXR_HQ (chosen)", SOXR_HQ},
                     {"SOXR_VHQ", SOXR_VHQ}};
    for (const auto& q : qualities)
        std::printf("converter %-27s 44100 -> 48000 stereo: %.3f %% of a core\n", q.name,
                    ConverterPercent(q.quality));
    return 0;
}
