// An output stream on a virtual clock for the software sound device: it plays 22050
// frames a second, holds `queueFrames` rendered frames ahead of what is heard, and keeps
// every rendered frame.
#ifndef VELMORIN_TESTS_NATIVE_CLOCK_OUTPUT_H
#define VELMORIN_TESTS_NATIVE_CLOCK_OUTPUT_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sound/software_mixer.h"

class ClockOutput final : public SoftwareOutput {
  public:
    explicit ClockOutput(uint32_t queueFrames = 441) : queue_(queueFrames) {}

    uint64_t HeardFrames() override { return heard_; }

    // Lets `ms` pass a millisecond at a time, rendering what the stream asks for.
    void Run(SoftwareSoundDevice& device, uint32_t ms) {
        int16_t block[2 * 256];
        for (; ms > 0; --ms) {
            ++now_;
            heard_ = now_ * SoftwareSoundDevice::OUTPUT_RATE / 1000;
            const uint64_t want = heard_ + queue_;
            for (uint64_t done = device.RenderedFrames(); done < want;) {
                const size_t frames = static_cast<size_t>(std::min<uint64_t>(256, want - done));
                device.Render(block, frames);
                rendered.insert(rendered.end(), block, block + 2 * frames);
                done += frames;
            }
        }
    }

    // Interleaved stereo, in the order rendered.
    std::vector<int16_t> rendered;

  private:
    uint32_t queue_;
    uint64_t now_ = 0;
    uint64_t heard_ = 0;
};

#endif
