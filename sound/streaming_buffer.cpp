#include "sound/streaming_buffer.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <system_error>

#include "base/result.h"
#include "sound/buffer_position.h"
#include "sound/static_buffer.h"
#include "wave/wave_file_reader.h"

int32_t StreamingSoundBuffer::Create(SoundDevice& device, const SoundBufferDescription& description,
                                     uint32_t ringBytes, uint32_t feedPeriodMs,
                                     std::unique_ptr<SoundBuffer>* buffer) {
    buffer->reset();
    const WaveFormat* format = description.format;
    if (format == nullptr || description.bufferBytes == 0)
        return E_INVALIDARG;
    const uint32_t block = format->nBlockAlign == 0 ? 1 : format->nBlockAlign;
    const uint32_t ring = std::max(ringBytes / block * block, block);

    // Left uninitialised: the caller fills it through Lock before playing.
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[description.bufferBytes]);
    if (!data)
        return E_OUTOFMEMORY;
    std::unique_ptr<SoundBuffer> ringBuffer;
    const SoundBufferDescription ringDescription{description.flags & ~SOUND_CAPS_STATIC, ring,
                                                 format};
    const int32_t result = device.CreateSoundBuffer(ringDescription, &ringBuffer);
    if (result < 0 || !ringBuffer)
        return result < 0 ? result : E_FAIL;

    // Unsigned 8-bit PCM is silent at its midpoint; every other format at zero.
    const uint8_t silence =
        format->wFormatTag == WAVE_FORMAT_PCM_TAG && format->wBitsPerSample == 8 ? 0x80 : 0;
    std::unique_ptr<StreamingSoundBuffer> made(new (std::nothrow) StreamingSoundBuffer(
        std::move(ringBuffer), ring, std::move(data), description.bufferBytes, silence));
    if (!made)
        return E_OUTOFMEMORY;
    if (feedPeriodMs > 0) {
        try {
            made->StartFeeder(feedPeriodMs);
        } catch (const std::system_error&) {
            return E_OUTOFMEMORY;
        }
    }
    *buffer = std::move(made);
    return result;
}

StreamingSoundBuffer::StreamingSoundBuffer(std::unique_ptr<SoundBuffer> ring, uint32_t ringBytes,
                                           std::unique_ptr<uint8_t[]> data, uint32_t size,
                                           uint8_t silence)
    : data_(std::move(data)),
      ring_(std::move(ring)),
      size_(size),
      ringBytes_(ringBytes),
      guard_(ringBytes / 4),
      silence_(silence) {}

StreamingSoundBuffer::~StreamingSoundBuffer() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    if (feeder_.joinable())
        feeder_.join();
}

void StreamingSoundBuffer::StartFeeder(uint32_t periodMs) {
    feeder_ = std::thread([this, periodMs] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!quit_) {
            wake_.wait_for(lock, std::chrono::milliseconds(periodMs));
            if (quit_)
                break;
            Follow();
            WriteAhead();
        }
    });
}

void StreamingSoundBuffer::Feed() {
    std::lock_guard<std::mutex> lock(mutex_);
    Follow();
    WriteAhead();
}

int32_t StreamingSoundBuffer::Follow() {
    if (!playing_)
        return S_OK;
    uint32_t ringCursor = 0;
    const int32_t result = ring_->GetCurrentPosition(&ringCursor);
    if (result < 0)
        return result;
    ringCursor %= ringBytes_;
    played_ += (ringCursor + ringBytes_ - ringCursor_) % ringBytes_;
    ringCursor_ = ringCursor;
    if (HeardToTheEnd(start_ + played_, size_, looping_)) {
        ring_->Stop();
        playing_ = false;
        cursor_ = CURSOR_AFTER_END;
    }
    return S_OK;
}

uint32_t StreamingSoundBuffer::Position() const {
    if (!playing_)
        return cursor_;
    const uint64_t at = start_ + played_;
    return static_cast<uint32_t>(looping_ ? at % size_ : at);
}

int32_t StreamingSoundBuffer::Prime(uint32_t from) {
    ring_->Stop();
    int32_t result = ring_->SetCurrentPosition(0);
    if (result < 0)
        return result;
    start_ = from;
    played_ = 0;
    written_ = 0;
    ringCursor_ = 0;
    playing_ = true;
    WriteAhead();
    result = ring_->Play(SOUND_PLAY_LOOPING);
    playing_ = result >= 0;
    if (!playing_)
        cursor_ = from;
    return result;
}

void StreamingSoundBuffer::WriteAhead() {
    if (!playing_ || memory_.Locked())
        return;
    // After a late feed the ring has replayed old data; what it plays next is new again.
    written_ = std::max(written_, played_);
    const uint64_t target = played_ + ringBytes_ - guard_;
    while (written_ < target) {
        const uint32_t ringOffset = static_cast<uint32_t>(written_ % ringBytes_);
        // One piece never crosses the ring's end, so one locked region holds it.
        const uint32_t bytes =
            static_cast<uint32_t>(std::min<uint64_t>(target - written_, ringBytes_ - ringOffset));
        void* region = nullptr;
        uint32_t regionBytes = 0;
        if (ring_->Lock(ringOffset, bytes, &region, &regionBytes) < 0)
            return;
        if (region == nullptr || regionBytes == 0) {
            ring_->Unlock(region, regionBytes);
            return;
        }
        const uint32_t piece = std::min(bytes, regionBytes);
        CopyStream(static_cast<uint8_t*>(region), written_, piece);
        ring_->Unlock(region, piece);
        written_ += piece;
    }
}

void StreamingSoundBuffer::CopyStream(uint8_t* to, uint64_t streamOffset, uint32_t bytes) const {
    while (bytes > 0) {
        uint64_t at = start_ + streamOffset;
        if (looping_)
            at %= size_;
        if (at >= size_) {
            std::memset(to, silence_, bytes);
            return;
        }
        const uint32_t piece = static_cast<uint32_t>(std::min<uint64_t>(bytes, size_ - at));
        std::memcpy(to, data_.get() + at, piece);
        to += piece;
        streamOffset += piece;
        bytes -= piece;
    }
}

int32_t StreamingSoundBuffer::GetStatus(uint32_t* status) {
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t ringStatus = 0;
    int32_t result = ring_->GetStatus(&ringStatus);
    if (result < 0)
        return result;
    const int32_t followed = Follow();
    if (followed < 0)
        return followed;
    *status = (ringStatus & SOUND_STATUS_BUFFERLOST) | (playing_ ? SOUND_STATUS_PLAYING : 0);
    return result;
}

int32_t StreamingSoundBuffer::Restore() {
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t result = ring_->Restore();
    if (result == 0 && playing_) {
        Follow();
        if (playing_)
            return Prime(Position());
    }
    return result;
}

int32_t StreamingSoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** region,
                                   uint32_t* regionBytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    return memory_.Lock(data_.get(), size_, offset, bytes, region, regionBytes);
}

int32_t StreamingSoundBuffer::Unlock(void* region, uint32_t) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t result = memory_.Unlock(region);
    if (result < 0)
        return result;
    // What the ring holds ahead may be stale now.
    if (playing_) {
        Follow();
        if (playing_)
            return Prime(Position());
    }
    return S_OK;
}

int32_t StreamingSoundBuffer::Play(uint32_t flags) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool looping = (flags & SOUND_PLAY_LOOPING) != 0;
    int32_t result = Follow();
    if (result < 0)
        return result;
    if (playing_) {
        if (looping == looping_)
            return S_OK;
        const uint32_t at = Position();
        looping_ = looping;
        return Prime(at);
    }
    looping_ = looping;
    uint32_t from = 0;
    return PlayStart(cursor_, size_, looping, &from) ? Prime(from) : S_OK;
}

int32_t StreamingSoundBuffer::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    Follow();
    if (playing_) {
        cursor_ = Position();
        playing_ = false;
    }
    return ring_->Stop();
}

int32_t StreamingSoundBuffer::GetCurrentPosition(uint32_t* playCursor) {
    std::lock_guard<std::mutex> lock(mutex_);
    const int32_t result = Follow();
    if (result < 0)
        return result;
    *playCursor = Position();
    return S_OK;
}

int32_t StreamingSoundBuffer::SetCurrentPosition(uint32_t position) {
    std::lock_guard<std::mutex> lock(mutex_);
    Follow();
    uint32_t from = 0;
    if (!CursorMoveTarget(position, size_, playing_ && looping_, &from)) {
        if (playing_) {
            ring_->Stop();
            playing_ = false;
        }
        cursor_ = size_;
        return S_OK;
    }
    if (playing_)
        return Prime(from);
    cursor_ = from;
    return S_OK;
}

int32_t StreamingSoundBuffer::SetFrequency(uint32_t frequency) {
    std::lock_guard<std::mutex> lock(mutex_);
    return ring_->SetFrequency(frequency);
}

int32_t StreamingSoundBuffer::SetPan(int32_t pan) {
    std::lock_guard<std::mutex> lock(mutex_);
    return ring_->SetPan(pan);
}

int32_t StreamingSoundBuffer::SetVolume(int32_t volume) {
    std::lock_guard<std::mutex> lock(mutex_);
    return ring_->SetVolume(volume);
}

int32_t StreamingSoundBuffer::SetFormat(const WaveFormat* format) {
    std::lock_guard<std::mutex> lock(mutex_);
    return ring_->SetFormat(format);
}
