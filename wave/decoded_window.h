// Decoded data over a decoder that runs forward from where it is put: a bounded window of
// recently read blocks of frames, filled on demand. A block that is not in the window is
// decoded from the decoder's current place when that is a little before it, else after a
// seek to just before it; so memory stays bounded however long the recording is.
#ifndef VELMORIN_WAVE_DECODED_WINDOW_H
#define VELMORIN_WAVE_DECODED_WINDOW_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "wave/decoded_data.h"
#include "wave/wave_file_reader.h"

// The decoder under the window: interleaved 16-bit frames of the window's format.
class SoundDecoder {
  public:
    virtual ~SoundDecoder() = default;

    // Puts the decoder at a point before `frame` from which the frames at `frame` and after
    // decode as they do from the start; false when it cannot.
    virtual bool SeekBefore(uint64_t frame) = 0;
    // The next stretch of frames, and the frame number of its first one (numbered from the
    // first frame of the recording's sound). False at the end of the sound, or at an error
    // that ends it.
    virtual bool Decode(std::vector<int16_t>* samples, uint64_t* first) = 0;
};

class DecodedWindow final : public DecodedData {
  public:
    static constexpr uint32_t kBlockFrames = 16384;
    static constexpr size_t kMaxBlocks = 96;

    // `format` is PCM 16-bit with one or two channels; `size` is whole frames. The decoder
    // stands at the recording's start.
    DecodedWindow(std::unique_ptr<SoundDecoder> decoder, const WaveFormat& format, uint32_t size);

    const WaveFormat& Format() const override { return format_; }
    uint32_t Size() const override { return size_; }
    uint32_t ReadAt(uint32_t offset, uint32_t count, uint8_t* destination) override;

  private:
    struct Block {
        uint64_t index;
        uint64_t used;
        std::vector<uint8_t> bytes;  // fewer than a whole block where the sound ends
    };

    // With the lock held.
    const Block& Fetch(uint64_t index);
    void Fill(uint64_t index, std::vector<uint8_t>* bytes);
    bool NextStretch();

    const std::unique_ptr<SoundDecoder> decoder_;
    const WaveFormat format_;
    const uint32_t size_;
    const uint32_t frameBytes_;
    const uint64_t frames_;

    std::mutex mutex_;
    std::vector<Block> blocks_;
    uint64_t clock_ = 0;
    // The decoder's last stretch, not yet all copied, and where the next one starts; unknown
    // after a seek until a stretch says.
    std::vector<int16_t> stretch_;
    uint64_t stretchFirst_ = 0;
    bool placed_ = true;
    uint64_t next_ = 0;
    uint64_t end_;  // the frame where the sound was found to end
};

#endif
