#include "sound/software_mixer.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <new>

#include "app/result.h"
#include "sound/buffer_position.h"
#include "sound/gains.h"
#include "sound/sample_format.h"
#include "wave/wave_file_reader.h"

namespace {

constexpr uint32_t kMinFrequency = 100;
constexpr uint32_t kMaxFrequency = 200000;
// Frames handed to the resampler at a time.
constexpr size_t kChunkFrames = 256;
// The converter: band-limited like the better ones, at a cost far below 1 % of a core for
// speech at these rates (scripts/bench-software-mixer.sh measures it).
constexpr int kConverter = SRC_SINC_FASTEST;

struct ResamplerDeleter {
    void operator()(SRC_STATE* state) const { src_delete(state); }
};

// Where rendering of one stretch began: output frame `out` plays source frame `source`
// (unwrapped past the end of a loop), and each later output frame `step` source frames on.
struct Checkpoint {
    uint64_t out;
    double source;
    double step;
};

class PrimaryBuffer final : public SoundBuffer {
  public:
    int32_t GetStatus(uint32_t* status) override {
        *status = 0;
        return S_OK;
    }
    int32_t Restore() override { return S_OK; }
    int32_t Lock(uint32_t, uint32_t, void** region, uint32_t* regionBytes) override {
        *region = nullptr;
        *regionBytes = 0;
        return E_INVALIDARG;
    }
    int32_t Unlock(void*, uint32_t) override { return E_INVALIDARG; }
    int32_t Play(uint32_t) override { return S_OK; }
    int32_t Stop() override { return S_OK; }
    int32_t GetCurrentPosition(uint32_t* playCursor) override {
        *playCursor = 0;
        return S_OK;
    }
    int32_t SetCurrentPosition(uint32_t) override { return S_OK; }
    int32_t SetFrequency(uint32_t) override { return E_INVALIDARG; }
    int32_t SetPan(int32_t) override { return E_INVALIDARG; }
    int32_t SetVolume(int32_t) override { return E_INVALIDARG; }
    int32_t SetFormat(const WaveFormat* format) override {
        const bool output = format != nullptr && format->wFormatTag == WAVE_FORMAT_PCM_TAG &&
                            format->nChannels == 2 && format->wBitsPerSample == 16 &&
                            format->nSamplesPerSec == SoftwareSoundDevice::OUTPUT_RATE;
        return output ? S_OK : E_INVALIDARG;
    }
};

}  // namespace

class SoftwareSoundBuffer final : public SoundBuffer {
  public:
    SoftwareSoundBuffer(SoftwareSoundDevice& device, const SampleLayout& layout,
                        std::unique_ptr<uint8_t[]> data, uint32_t size,
                        std::unique_ptr<SRC_STATE, ResamplerDeleter> resampler)
        : device_(device),
          layout_(layout),
          data_(std::move(data)),
          size_(size),
          frames_(size / layout.blockAlign),
          resampler_(std::move(resampler)),
          frequency_(layout.rate) {}

    ~SoftwareSoundBuffer() override {
        std::lock_guard<std::mutex> lock(device_.mutex_);
        auto& list = device_.buffers_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }

    int32_t GetStatus(uint32_t* status) override {
        const uint64_t heard = device_.output_.HeardFrames();
        std::lock_guard<std::mutex> lock(device_.mutex_);
        Follow(heard);
        *status = playing_ ? SOUND_STATUS_PLAYING : 0;
        return S_OK;
    }
    int32_t Restore() override { return S_OK; }
    int32_t Lock(uint32_t offset, uint32_t bytes, void** region, uint32_t* regionBytes) override {
        std::lock_guard<std::mutex> lock(device_.mutex_);
        *region = nullptr;
        *regionBytes = 0;
        if (locked_ || uint64_t{offset} + bytes > size_)
            return E_INVALIDARG;
        locked_ = true;
        *region = data_.get() + offset;
        *regionBytes = bytes;
        return S_OK;
    }
    int32_t Unlock(void* region, uint32_t) override {
        std::lock_guard<std::mutex> lock(device_.mutex_);
        if (!locked_ || region == nullptr)
            return E_INVALIDARG;
        locked_ = false;
        return S_OK;
    }
    int32_t Play(uint32_t flags) override {
        const uint64_t heard = device_.output_.HeardFrames();
        std::lock_guard<std::mutex> lock(device_.mutex_);
        Follow(heard);
        const bool looping = (flags & SOUND_PLAY_LOOPING) != 0;
        if (playing_) {
            if (looping != looping_) {
                // Go on from what was rendered, under the new end rule.
                const uint32_t at = ByteAt(device_.rendered_);
                looping_ = looping;
                Start(at);
            }
            return S_OK;
        }
        uint32_t from = cursor_;
        if (from >= size_) {
            // Played from the end: a sound that loops starts over, one that does not is done.
            if (!looping)
                return S_OK;
            from = 0;
        }
        looping_ = looping;
        if (resumable_ && from == cursor_) {
            // Straight on from where rendering stopped, with the resampler's history.
            playing_ = true;
            resuming_ = true;
        } else {
            Start(from);
        }
        return S_OK;
    }
    int32_t Stop() override {
        const uint64_t heard = device_.output_.HeardFrames();
        std::lock_guard<std::mutex> lock(device_.mutex_);
        Follow(heard);
        if (playing_) {
            // What was rendered still plays out; the sound goes on from there.
            cursor_ = ByteAt(device_.rendered_);
            resumable_ = !pending_;  // a resume not yet rendered keeps its history
            resumeSource_ = SourceAt(device_.rendered_);
            playing_ = false;
        }
        return S_OK;
    }
    int32_t GetCurrentPosition(uint32_t* playCursor) override {
        const uint64_t heard = device_.output_.HeardFrames();
        std::lock_guard<std::mutex> lock(device_.mutex_);
        Follow(heard);
        *playCursor = playing_ ? ByteAt(heard) : cursor_;
        return S_OK;
    }
    int32_t SetCurrentPosition(uint32_t position) override {
        const uint64_t heard = device_.output_.HeardFrames();
        std::lock_guard<std::mutex> lock(device_.mutex_);
        Follow(heard);
        uint32_t from = 0;
        if (!CursorMoveTarget(position, size_, playing_ && looping_, &from)) {
            playing_ = false;
            cursor_ = size_;
            resumable_ = false;
            return S_OK;
        }
        if (playing_) {
            Start(from);
        } else {
            cursor_ = from;
            resumable_ = false;
        }
        return S_OK;
    }
    int32_t SetFrequency(uint32_t frequency) override {
        std::lock_guard<std::mutex> lock(device_.mutex_);
        // 0 is the buffer's own rate, as in DirectSound.
        frequency_ =
            frequency == 0 ? layout_.rate : std::clamp(frequency, kMinFrequency, kMaxFrequency);
        return S_OK;
    }
    int32_t SetPan(int32_t pan) override {
        std::lock_guard<std::mutex> lock(device_.mutex_);
        pan_ = pan;
        return S_OK;
    }
    int32_t SetVolume(int32_t volume) override {
        std::lock_guard<std::mutex> lock(device_.mutex_);
        volume_ = volume;
        return S_OK;
    }
    int32_t SetFormat(const WaveFormat*) override { return E_INVALIDARG; }

    // With the device's lock held: adds `frames` output frames of this buffer into `mix`
    // (interleaved stereo), starting at device frame `at`.
    void Render(float* mix, size_t frames, uint64_t at);

  private:
    // With the device's lock held.
    void Start(uint32_t from);
    void Follow(uint64_t heard);
    double SourceAt(uint64_t out) const;
    uint32_t ByteAt(uint64_t out) const;
    size_t Feed(size_t frames, bool* endOfInput);

    SoftwareSoundDevice& device_;
    const SampleLayout layout_;
    std::unique_ptr<uint8_t[]> data_;
    const uint32_t size_;
    const uint32_t frames_;
    std::unique_ptr<SRC_STATE, ResamplerDeleter> resampler_;

    bool playing_ = false;
    bool looping_ = false;
    bool locked_ = false;
    uint32_t frequency_;
    int32_t pan_ = 0;
    int32_t volume_ = 0;
    uint32_t cursor_ = 0;  // while stopped; may equal size_ (at the end)

    // While playing: where the next Render starts (`pending_`) or where rendering went.
    bool pending_ = false;
    uint32_t startByte_ = 0;
    // After a Stop: whether Play at the same cursor goes straight on, and from which frame.
    bool resumable_ = false;
    bool resuming_ = false;
    double resumeSource_ = 0;
    uint64_t feedFrame_ = 0;  // next source frame for the resampler, unwrapped
    std::deque<Checkpoint> checkpoints_;
    double step_ = 0;           // source frames per output frame in the last checkpoint
    bool inputEnded_ = false;   // the resampler has had the last frame
    bool renderedEnd_ = false;  // and gave all it had
    uint64_t endOut_ = 0;       // the device frame after the last one of the sound
    std::vector<float> in_ = std::vector<float>(2 * kChunkFrames);
    std::vector<float> out_;
};

void SoftwareSoundBuffer::Start(uint32_t from) {
    playing_ = true;
    pending_ = true;
    resuming_ = false;
    resumable_ = false;
    startByte_ = from - from % layout_.blockAlign;
    checkpoints_.clear();
}

void SoftwareSoundBuffer::Follow(uint64_t heard) {
    if (playing_ && !pending_ && !looping_ && renderedEnd_ && heard >= endOut_) {
        // The end of a sound that does not loop: it stops, and its cursor reads 0.
        playing_ = false;
        cursor_ = 0;
    }
    // Checkpoints that nothing heard will look at again.
    while (checkpoints_.size() > 1 && checkpoints_[1].out <= heard)
        checkpoints_.pop_front();
}

double SoftwareSoundBuffer::SourceAt(uint64_t out) const {
    // Until the new stretch is heard the cursor reads where it starts.
    if (pending_ || checkpoints_.empty())
        return static_cast<double>(startByte_ / layout_.blockAlign);
    if (resuming_)
        return resumeSource_;
    if (out < checkpoints_.front().out)
        return checkpoints_.front().source;
    auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), out,
                               [](uint64_t value, const Checkpoint& c) { return value < c.out; });
    --it;
    return it->source + static_cast<double>(out - it->out) * it->step;
}

uint32_t SoftwareSoundBuffer::ByteAt(uint64_t out) const {
    double frame = std::floor(SourceAt(out));
    if (looping_) {
        frame = std::fmod(frame, static_cast<double>(frames_));
    } else {
        frame = std::min(frame, static_cast<double>(frames_));
    }
    const uint64_t byte = static_cast<uint64_t>(frame) * layout_.blockAlign;
    return byte >= size_ ? (looping_ ? 0 : size_) : static_cast<uint32_t>(byte);
}

// Converts up to `frames` source frames from feedFrame_ into in_; at the end of a sound
// that does not loop sets *endOfInput.
size_t SoftwareSoundBuffer::Feed(size_t frames, bool* endOfInput) {
    uint64_t at = feedFrame_;
    if (looping_)
        at %= frames_;
    size_t count = frames;
    if (at + count >= frames_) {
        count = static_cast<size_t>(frames_ - std::min<uint64_t>(at, frames_));
        *endOfInput = !looping_;
    }
    ToStereoFloat(layout_, data_.get() + at * layout_.blockAlign, count, in_.data());
    return count;
}

void SoftwareSoundBuffer::Render(float* mix, size_t frames, uint64_t at) {
    if (!playing_ || locked_ || frames_ == 0)
        return;
    const double step = static_cast<double>(frequency_) / SoftwareSoundDevice::OUTPUT_RATE;
    if (pending_) {
        pending_ = false;
        src_reset(resampler_.get());
        feedFrame_ = startByte_ / layout_.blockAlign;
        inputEnded_ = false;
        renderedEnd_ = false;
        checkpoints_.assign(1, {at, static_cast<double>(feedFrame_), step});
        step_ = step;
    } else if (resuming_) {
        resuming_ = false;
        checkpoints_.assign(1, {at, resumeSource_, step});
        step_ = step;
    } else if (step != step_) {
        checkpoints_.push_back({at, SourceAt(at), step});
        step_ = step;
    }
    if (renderedEnd_)
        return;

    out_.resize(2 * frames);
    size_t produced = 0;
    while (produced < frames) {
        bool endOfInput = inputEnded_;
        const size_t offered = inputEnded_ ? 0 : Feed(kChunkFrames, &endOfInput);
        SRC_DATA data{};
        data.data_in = in_.data();
        data.data_out = out_.data() + 2 * produced;
        data.input_frames = static_cast<long>(offered);
        data.output_frames = static_cast<long>(frames - produced);
        data.end_of_input = endOfInput ? 1 : 0;
        data.src_ratio = 1.0 / step;
        if (src_process(resampler_.get(), &data) != 0)
            break;
        feedFrame_ += static_cast<uint64_t>(data.input_frames_used);
        produced += static_cast<size_t>(data.output_frames_gen);
        if (endOfInput && static_cast<size_t>(data.input_frames_used) == offered)
            inputEnded_ = true;
        if (inputEnded_ && data.output_frames_gen == 0) {
            // The sound ends where the cursor reaches its last frame.
            renderedEnd_ = true;
            const Checkpoint& last = checkpoints_.back();
            endOut_ = last.out + static_cast<uint64_t>(std::llround(
                                     std::max(0.0, (frames_ - last.source) / last.step)));
            break;
        }
    }
    const StereoGains gains = GainsFor(volume_, pan_);
    for (size_t i = 0; i < produced; ++i) {
        mix[2 * i] += out_[2 * i] * gains.left;
        mix[2 * i + 1] += out_[2 * i + 1] * gains.right;
    }
}

SoftwareSoundDevice::~SoftwareSoundDevice() = default;

int32_t SoftwareSoundDevice::SetCooperativeLevel(void*, uint32_t) {
    return S_OK;
}

int32_t SoftwareSoundDevice::CreateSoundBuffer(const SoundBufferDescription& description,
                                               std::unique_ptr<SoundBuffer>* buffer) {
    buffer->reset();
    if ((description.flags & SOUND_CAPS_PRIMARY) != 0) {
        buffer->reset(new (std::nothrow) PrimaryBuffer);
        return *buffer ? S_OK : E_OUTOFMEMORY;
    }
    SampleLayout layout{};
    if (description.bufferBytes == 0 || !DescribeSamples(description.format, &layout))
        return E_INVALIDARG;
    // Left uninitialised: the caller fills it through Lock before playing.
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[description.bufferBytes]);
    if (!data)
        return E_OUTOFMEMORY;
    int error = 0;
    std::unique_ptr<SRC_STATE, ResamplerDeleter> resampler(src_new(kConverter, 2, &error));
    if (!resampler)
        return E_OUTOFMEMORY;
    auto* made = new (std::nothrow) SoftwareSoundBuffer(
        *this, layout, std::move(data), description.bufferBytes, std::move(resampler));
    if (made == nullptr)
        return E_OUTOFMEMORY;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        buffers_.push_back(made);
    }
    buffer->reset(made);
    return S_OK;
}

void SoftwareSoundDevice::Render(int16_t* out, size_t frames) {
    std::lock_guard<std::mutex> lock(mutex_);
    mix_.assign(2 * frames, 0.0f);
    for (SoftwareSoundBuffer* buffer : buffers_)
        buffer->Render(mix_.data(), frames, rendered_);
    for (size_t i = 0; i < 2 * frames; ++i) {
        const float sample = std::clamp(mix_[i], -1.0f, 1.0f) * 32767.0f;
        out[i] = static_cast<int16_t>(std::lrint(sample));
    }
    rendered_ += frames;
}

uint64_t SoftwareSoundDevice::RenderedFrames() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rendered_;
}
