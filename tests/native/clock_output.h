// An output stream on a virtual clock for the software sound device: it plays `rate` frames
// a second, holds `queueFrames` rendered frames ahead of what is heard, takes all of them
// back when the mix changes (as a stream that is flushed), and keeps every frame it plays;
// its rate may change, as a restarted server's does.
#ifndef VELMORIN_TESTS_NATIVE_CLOCK_OUTPUT_H
#define VELMORIN_TESTS_NATIVE_CLOCK_OUTPUT_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "sound/mixer/software_mixer.h"

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
            heard_ = since_ + (now_ - sinceMs_) * rate_ / 1000;
            Fill(device);
        }
    }

    // A server that came back at another rate: what it held is gone, and the stream goes
    // on from what was heard, at `rate` frames a second.
    void Restart(SoftwareSoundDevice& device, uint32_t rate) {
        rate_ = rate;
        since_ = heard_;
        sinceMs_ = now_;
        MixChanged(device, heard_);
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
    uint64_t since_ = 0;  // frames heard, and the time, when the rate was last set
    uint64_t sinceMs_ = 0;
};

#endif
