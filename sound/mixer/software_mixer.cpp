#include "sound/mixer/software_mixer.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <type_traits>

#include "base/result.h"
#include "sound/buffer_position.h"
#include "sound/static_buffer.h"
#include "sound/mixer/gains.h"
#include "sound/mixer/sample_format.h"
#include "sound/mixer/time_stretch.h"
#include "sound/speed.h"
#include "wave/decoded_data.h"
#include "wave/wave_file_reader.h"

namespace {

constexpr uint32_t kMinFrequency = 100;
constexpr uint32_t kMaxFrequency = 200000;
// Frames handed to the resampler at a time.
constexpr size_t kChunkFrames = 256;
// The converter: libsoxr's high quality (linear phase, 20 bits, flat to 91 % of the lower
// Nyquist frequency), which costs about a sixth of what libsamplerate's fastest sinc did
// (scripts/bench-software-mixer.sh measures both). At 1:1 it copies.
constexpr unsigned long kQuality = SOXR_HQ;
// The lead-in before a point where rendering starts again: source frames, and at most the
// output frames it may cost (a slow frequency would otherwise throw away seconds).
constexpr double kLeadInFrames = 256;
constexpr double kLeadInOutput = 512;

struct ResamplerDeleter {
    void operator()(soxr_t resampler) const { soxr_delete(resampler); }
};
using Resampler = std::unique_ptr<std::remove_pointer_t<soxr_t>, ResamplerDeleter>;

// A converter from `frequency` to `rate`; null when there is no memory for it.
Resampler MakeResampler(uint32_t frequency, uint32_t rate) {
    const soxr_quality_spec_t quality = soxr_quality_spec(kQuality, 0);
    soxr_error_t error = nullptr;
    Resampler made(soxr_create(frequency, rate, 2, &error, nullptr, &quality, nullptr));
    if (error != nullptr)
        made.reset();
    return made;
}

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
                            format->nSamplesPerSec == SoftwareSoundDevice::PRIMARY_RATE;
        return output ? S_OK : E_INVALIDARG;
    }
};

}  // namespace

class SoftwareSoundBuffer final : public SoundBuffer {
  public:
    SoftwareSoundBuffer(SoftwareSoundDevice& device, const SampleLayout& layout,
                        std::unique_ptr<uint8_t[]> data, std::shared_ptr<DecodedData> decoded,
                        uint32_t size)
        : device_(device),
          layout_(layout),
          data_(std::move(data)),
          decoded_(std::move(decoded)),
          size_(size),
          frames_(size / layout.blockAlign),
          frequency_(layout.rate) {}

    ~SoftwareSoundBuffer() override {
        const uint64_t heard = device_.output_.HeardFrames();
        bool sounded = false;
        {
            std::lock_guard<std::mutex> lock(device_.mutex_);
            auto& list = device_.buffers_;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
            sounded = playing_;
        }
        if (sounded)
            device_.output_.MixChanged(device_, heard);
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
        if (!data_) {
            *region = nullptr;
            *regionBytes = 0;
            return E_INVALIDARG;  // decoded data is not written through a lock
        }
        return memory_.Lock(data_.get(), size_, offset, bytes, region, regionBytes);
    }
    int32_t Unlock(void* region, uint32_t) override {
        std::lock_guard<std::mutex> lock(device_.mutex_);
        return memory_.Unlock(region);
    }
    int32_t Play(uint32_t flags) override {
        const uint64_t heard = device_.output_.HeardFrames();
        {
            std::lock_guard<std::mutex> lock(device_.mutex_);
            Follow(heard);
            const bool looping = (flags & SOUND_PLAY_LOOPING) != 0;
            if (playing_) {
                if (looping == looping_)
                    return S_OK;
                // Go on from what is heard, under the new end rule.
                const double at = Within(SourceAt(heard));
                looping_ = looping;
                Start(at);
            } else {
                uint32_t from = 0;
                if (!PlayStart(cursor_, size_, looping, &from))
                    return S_OK;
                looping_ = looping;
                // Straight on from what was heard at the Stop, with the sound before it.
                Start(resumable_ && from == cursor_
                          ? resumeSource_
                          : static_cast<double>(from / layout_.blockAlign));
            }
        }
        device_.output_.MixChanged(device_, heard);
        return S_OK;
    }
    int32_t Stop() override {
        const uint64_t heard = device_.output_.HeardFrames();
        {
            std::lock_guard<std::mutex> lock(device_.mutex_);
            Follow(heard);
            if (!playing_)
                return S_OK;
            // Stopped where it is heard; what the output holds beyond is taken back.
            resumeSource_ = Within(SourceAt(heard));
            cursor_ = ByteAt(heard);
            resumable_ = cursor_ < size_;
            playing_ = false;
            pending_ = false;
        }
        device_.output_.MixChanged(device_, heard);
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
        {
            std::lock_guard<std::mutex> lock(device_.mutex_);
            Follow(heard);
            resumable_ = false;
            uint32_t from = 0;
            if (!CursorMoveTarget(position, size_, playing_ && looping_, &from)) {
                const bool was = playing_;
                playing_ = false;
                pending_ = false;
                cursor_ = size_;
                if (!was)
                    return S_OK;
            } else if (playing_) {
                Start(static_cast<double>(from / layout_.blockAlign));
            } else {
                cursor_ = from;
                return S_OK;
            }
        }
        device_.output_.MixChanged(device_, heard);
        return S_OK;
    }
    int32_t SetFrequency(uint32_t frequency) override {
        // 0 is the buffer's own rate, as in DirectSound.
        return Change(&frequency_, frequency == 0
                                       ? layout_.rate
                                       : std::clamp(frequency, kMinFrequency, kMaxFrequency));
    }
    int32_t SetPan(int32_t pan) override { return Change(&pan_, pan); }
    int32_t SetVolume(int32_t volume) override { return Change(&volume_, volume); }
    int32_t SetFormat(const WaveFormat*) override { return E_INVALIDARG; }

    // With the device's lock held: adds `frames` output frames of this buffer into `mix`
    // (interleaved stereo), starting at device frame `at`.
    void Render(float* mix, size_t frames, uint64_t at);
    // With the device's lock held: what was rendered from device frame `at` on is gone;
    // the next Render goes on from the sound heard at that frame.
    void Rewind(uint64_t at) {
        if (playing_ && !pending_)
            Start(Within(SourceAt(at)));
    }
    // With the device's lock held: whether sound of this buffer is still to be heard.
    bool Sounding(uint64_t heard) const {
        return playing_ && !memory_.Locked() && frames_ != 0 &&
               (pending_ || !renderedEnd_ || heard < endOut_);
    }
    // With the device's lock held: whether what is heard changes when the pitch is kept.
    bool Stretchable() const { return playing_ && frequency_ != layout_.rate; }

  private:
    // Sets a control; a change while playing is heard at once.
    template <typename T>
    int32_t Change(T* control, T value) {
        const uint64_t heard = device_.output_.HeardFrames();
        bool heardNow = false;
        {
            std::lock_guard<std::mutex> lock(device_.mutex_);
            heardNow = *control != value && playing_;
            *control = value;
        }
        if (heardNow)
            device_.output_.MixChanged(device_, heard);
        return S_OK;
    }

    // With the device's lock held.
    void Start(double source);
    // A new converter at the present ratio, from which device frame `at` plays `source`.
    void Restart(uint64_t at, double source);
    void Follow(uint64_t heard);
    bool Stretching() const;
    double Step() const;
    double SourceAt(uint64_t out) const;
    double Within(double source) const;
    uint32_t ByteAt(uint64_t out) const;
    size_t Feed(size_t frames, bool* endOfInput);
    size_t Input(size_t frames, bool* endOfInput);
    void Consumed(size_t frames);
    const uint8_t* ReadDecoded(uint64_t at, size_t* count, bool* endOfInput);
    size_t Resample(float* out, size_t frames);

    SoftwareSoundDevice& device_;
    const SampleLayout layout_;
    std::unique_ptr<uint8_t[]> data_;  // or, null:
    const std::shared_ptr<DecodedData> decoded_;
    // Lowered where decoded sound turns out to end before its stated size.
    uint32_t size_;
    uint32_t frames_;
    // Run at one ratio and speed, so they are made again whenever rendering starts again.
    Resampler resampler_;
    TimeStretch stretch_;
    bool stretching_ = false;
    std::vector<float> stretched_;  // what the stretcher gave and the converter has not had
    size_t stretchedAt_ = 0;        // frames of it already had
    bool stretchEnded_ = false;     // the stretcher has had the last frame

    bool playing_ = false;
    bool looping_ = false;
    MemoryLock memory_;
    uint32_t frequency_;
    int32_t pan_ = 0;
    int32_t volume_ = 0;
    uint32_t cursor_ = 0;  // while stopped; may equal size_ (at the end)

    // While playing: where the next Render starts (`pending_`, a source frame that may
    // fall between two) or where rendering went.
    bool pending_ = false;
    double startSource_ = 0;
    // After a Stop: whether Play at the same cursor goes straight on, and from where.
    bool resumable_ = false;
    double resumeSource_ = 0;
    uint64_t feedFrame_ = 0;  // next source frame for the resampler, unwrapped
    std::deque<Checkpoint> checkpoints_;
    double step_ = 0;           // source frames per output frame in the last checkpoint
    bool inputEnded_ = false;   // the resampler has had the last frame
    bool renderedEnd_ = false;  // and gave all it had
    uint64_t endOut_ = 0;       // the device frame after the last one of the sound
    std::vector<float> in_ = std::vector<float>(2 * kChunkFrames);
    std::vector<uint8_t> decodedIn_;
    std::vector<float> out_;
};

void SoftwareSoundBuffer::Start(double source) {
    playing_ = true;
    pending_ = true;
    resumable_ = false;
    startSource_ = source;
    checkpoints_.clear();
}

void SoftwareSoundBuffer::Follow(uint64_t heard) {
    if (playing_ && !pending_ && (!looping_ || frames_ == 0) && renderedEnd_ && heard >= endOut_) {
        // The end of a sound that does not loop, once its last frame is heard.
        playing_ = false;
        cursor_ = CURSOR_AFTER_END;
        resumable_ = false;
    }
    // Checkpoints that nothing heard will look at again.
    while (checkpoints_.size() > 1 && checkpoints_[1].out <= heard)
        checkpoints_.pop_front();
}

double SoftwareSoundBuffer::SourceAt(uint64_t out) const {
    // Until the new stretch is rendered the cursor reads where it starts.
    if (pending_ || checkpoints_.empty())
        return startSource_;
    if (out < checkpoints_.front().out)
        return checkpoints_.front().source;
    auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), out,
                               [](uint64_t value, const Checkpoint& c) { return value < c.out; });
    --it;
    return it->source + static_cast<double>(out - it->out) * it->step;
}

double SoftwareSoundBuffer::Within(double source) const {
    // A looping sound counts its rounds; within one round the place is the same.
    return looping_ && frames_ != 0 ? std::fmod(source, static_cast<double>(frames_))
                                    : std::min(source, static_cast<double>(frames_));
}

uint32_t SoftwareSoundBuffer::ByteAt(uint64_t out) const {
    const double frame = std::floor(Within(SourceAt(out)));
    const uint64_t byte = static_cast<uint64_t>(frame) * layout_.blockAlign;
    return byte >= size_ ? (looping_ ? 0 : size_) : static_cast<uint32_t>(byte);
}

// Converts up to `frames` source frames from feedFrame_ into in_; at the end of a sound
// that does not loop sets *endOfInput.
size_t SoftwareSoundBuffer::Feed(size_t frames, bool* endOfInput) {
    uint64_t at = feedFrame_;
    if (looping_ && frames_ != 0)
        at %= frames_;
    size_t count = frames;
    if (at + count >= frames_) {
        count = static_cast<size_t>(frames_ - std::min<uint64_t>(at, frames_));
        *endOfInput = !looping_ || frames_ == 0;
    }
    const uint8_t* samples =
        data_ ? data_.get() + at * layout_.blockAlign : ReadDecoded(at, &count, endOfInput);
    ToStereoFloat(layout_, samples, count, in_.data());
    return count;
}

// Reads `*count` frames from `at` of decoded data; where they end early, so does the sound.
const uint8_t* SoftwareSoundBuffer::ReadDecoded(uint64_t at, size_t* count, bool* endOfInput) {
    const uint32_t align = layout_.blockAlign;
    const auto bytes = static_cast<uint32_t>(*count * align);
    decodedIn_.resize(std::max<size_t>(bytes, 1));
    const uint32_t got =
        decoded_->ReadAt(static_cast<uint32_t>(at * align), bytes, decodedIn_.data());
    if (got < bytes) {
        *count = got / align;
        frames_ = static_cast<uint32_t>(at + *count);
        size_ = frames_ * align;
        *endOfInput = !looping_ || frames_ == 0;
    }
    return decodedIn_.data();
}

bool SoftwareSoundBuffer::Stretching() const {
    return device_.keepPitch_ && frequency_ != layout_.rate;
}

double SoftwareSoundBuffer::Step() const {
    const double speed = Stretching() ? SpeedWithPitchKept(frequency_, layout_.rate) * layout_.rate
                                      : static_cast<double>(frequency_);
    return speed / device_.rate_;
}

// Up to `frames` frames for the converter into in_: the source from feedFrame_, or with the
// pitch kept the source stretched to the speed. *endOfInput is set once the last is offered.
size_t SoftwareSoundBuffer::Input(size_t frames, bool* endOfInput) {
    if (!stretching_)
        return Feed(frames, endOfInput);
    stretched_.erase(stretched_.begin(), stretched_.begin() + 2 * stretchedAt_);
    stretchedAt_ = 0;
    while (stretched_.size() / 2 < frames && !stretchEnded_) {
        bool end = false;
        const size_t fed = Feed(kChunkFrames, &end);
        feedFrame_ += fed;
        if (!stretch_.Write(in_.data(), fed) || end) {
            stretch_.Flush();
            stretchEnded_ = true;
        }
        for (size_t got = 1; got != 0;) {
            const size_t had = stretched_.size();
            stretched_.resize(had + 2 * kChunkFrames);
            got = stretch_.Read(stretched_.data() + had, kChunkFrames);
            stretched_.resize(had + 2 * got);
        }
    }
    const size_t count = std::min(frames, stretched_.size() / 2);
    std::copy_n(stretched_.begin(), 2 * count, in_.begin());
    *endOfInput = stretchEnded_ && count == stretched_.size() / 2;
    return count;
}

// The converter took `frames` of what Input offered.
void SoftwareSoundBuffer::Consumed(size_t frames) {
    if (stretching_)
        stretchedAt_ += frames;
    else
        feedFrame_ += frames;
}

// Runs the resampler for up to `frames` output frames into `out`; fewer once the sound
// has ended, when it also sets where the end is heard.
size_t SoftwareSoundBuffer::Resample(float* out, size_t frames) {
    size_t produced = 0;
    while (produced < frames && !renderedEnd_ && resampler_) {
        // After the last frame a null input drains what the converter still holds.
        const bool draining = inputEnded_;
        bool endOfInput = false;
        const size_t offered = draining ? 0 : Input(kChunkFrames, &endOfInput);
        size_t used = 0;
        size_t made = 0;
        if (soxr_process(resampler_.get(), draining ? nullptr : in_.data(), offered, &used,
                         out + 2 * produced, frames - produced, &made) != nullptr)
            break;
        Consumed(used);
        produced += made;
        if (endOfInput && used == offered)
            inputEnded_ = true;
        if (draining && made == 0) {
            // The sound ends where the cursor reaches its last frame.
            renderedEnd_ = true;
            const Checkpoint& last = checkpoints_.back();
            endOut_ = last.out + static_cast<uint64_t>(std::llround(
                                     std::max(0.0, (frames_ - last.source) / last.step)));
        }
    }
    return produced;
}

void SoftwareSoundBuffer::Restart(uint64_t at, double source) {
    const double step = Step();
    stretching_ = Stretching();
    resampler_ = MakeResampler(stretching_ ? layout_.rate : frequency_, device_.rate_);
    stretch_ = stretching_ ? TimeStretch(layout_.rate, SpeedWithPitchKept(frequency_, layout_.rate))
                           : TimeStretch();
    if (stretching_ && !stretch_)
        resampler_.reset();  // no memory: silence rather than the wrong speed
    stretched_.clear();
    stretchedAt_ = 0;
    stretchEnded_ = false;
    inputEnded_ = false;
    renderedEnd_ = false;
    // The resampler starts a little before, so that its filter holds the sound that led up
    // to this point: going on after a Stop or a change is then seamless. What it makes of
    // that lead-in is thrown away.
    const double lead = std::min(kLeadInFrames, std::floor(kLeadInOutput * step));
    const double first = std::max(0.0, std::floor(source) - lead);
    const auto skip = static_cast<size_t>(std::llround((source - first) / step));
    feedFrame_ = static_cast<uint64_t>(first);
    checkpoints_.push_back({at, first + static_cast<double>(skip) * step, step});
    step_ = step;
    out_.resize(2 * skip);
    Resample(out_.data(), skip);
}

void SoftwareSoundBuffer::Render(float* mix, size_t frames, uint64_t at) {
    if (!playing_ || memory_.Locked() || frames_ == 0)
        return;
    if (pending_) {
        pending_ = false;
        Restart(at, startSource_);
    } else if ((Step() != step_ || Stretching() != stretching_) && !renderedEnd_) {
        // A frequency set just before the output takes back what it holds: the converter
        // runs at one ratio, so it starts again from the sound heard at this frame.
        Restart(at, Within(SourceAt(at)));
    }
    out_.resize(2 * frames);
    const size_t produced = Resample(out_.data(), frames);
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
    // Left uninitialised: the caller fills it through Lock before playing. Decoded data
    // is read as it plays instead.
    std::unique_ptr<uint8_t[]> data;
    if (!description.decoded) {
        data.reset(new (std::nothrow) uint8_t[description.bufferBytes]);
        if (!data)
            return E_OUTOFMEMORY;
    }
    auto* made = new (std::nothrow) SoftwareSoundBuffer(
        *this, layout, std::move(data), description.decoded, description.bufferBytes);
    if (made == nullptr)
        return E_OUTOFMEMORY;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        buffers_.push_back(made);
    }
    buffer->reset(made);
    return S_OK;
}

void SoftwareSoundDevice::KeepPitch(bool keep) {
    const uint64_t heard = output_.HeardFrames();
    bool heardNow = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (keepPitch_ == keep)
            return;
        keepPitch_ = keep;
        heardNow = std::any_of(buffers_.begin(), buffers_.end(),
                               [](const SoftwareSoundBuffer* b) { return b->Stretchable(); });
    }
    if (heardNow)
        output_.MixChanged(*this, heard);
}

uint32_t SoftwareSoundDevice::Rate() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rate_;
}

void SoftwareSoundDevice::Rewind(uint64_t from, uint32_t rate) {
    std::lock_guard<std::mutex> lock(mutex_);
    rendered_ = std::min(from, rendered_);
    for (SoftwareSoundBuffer* buffer : buffers_)
        buffer->Rewind(rendered_);
    rate_ = rate;
}

bool SoftwareSoundDevice::Sounding(uint64_t heard) {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::any_of(buffers_.begin(), buffers_.end(),
                       [heard](const SoftwareSoundBuffer* b) { return b->Sounding(heard); });
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
