// An output stream on a virtual clock for the software sound device: it plays `rate` frames
// a second, holds `queueFrames` rendered frames ahead of what is heard, takes all of them
// back when the mix changes (as a stream that is flushed), and keeps every frame it plays.
#ifndef VELMORIN_TESTS_NATIVE_CLOCK_OUTPUT_H
#define VELMORIN_TESTS_NATIVE_CLOCK_OUTPUT_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sound/software_mixer.h"

class ClockOutput final : public SoftwareOutput {
  public:
    explicit ClockOutput(uint32_t queueFrames = 441, uint32_t rate = 22050)
        : queue_(queueFrames), rate_(rate) {}

    uint64_t HeardFrames() override { return heard_; }
    void MixChanged(SoftwareSoundDevice& device, uint64_t at) override {
        ++changes;
        device.Rewind(at, rate_);  // no time passes on this clock between the change and this
        rendered.resize(2 * device.RenderedFrames());
        Fill(device);
    }

    // Lets `ms` pass a millisecond at a time, rendering what the stream asks for.
    void Run(SoftwareSoundDevice& device, uint32_t ms) {
        for (; ms > 0; --ms) {
            ++now_;
            heard_ = now_ * rate_ / 1000;
            Fill(device);
        }
    }

    // Interleaved stereo: every frame played so far and what is queued after it.
    std::vector<int16_t> rendered;
    int changes = 0;

  private:
    void Fill(SoftwareSoundDevice& device) {
        int16_t block[2 * 256];
        const uint64_t want = heard_ + queue_;
        for (uint64_t done = device.RenderedFrames(); done < want;) {
            const size_t frames = static_cast<size_t>(std::min<uint64_t>(256, want - done));
            device.Render(block, frames);
            rendered.insert(rendered.end(), block, block + 2 * frames);
            done += frames;
        }
    }

    uint32_t queue_;
    uint32_t rate_;
    uint64_t now_ = 0;
    uint64_t heard_ = 0;
};

#endif
