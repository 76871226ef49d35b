// A sound buffer of any size up to 0xFFFFFFFF bytes, built over a small looping device
// buffer (the ring) that the platform's layer made.
//
// It keeps the SoundBuffer contract of a static buffer: Lock hands out memory over the
// whole size, the play cursor is the byte offset into the whole data, Stop keeps it, the
// end and loop rules and LandingOf's out-of-range rule hold, and frequency, pan and volume
// go to the ring at once. The data lives in memory; the ring plays in a loop from the
// moment Play is called, and Feed copies the data that is to be heard next into the part
// of the ring that has been heard already (silence past the end of a sound that does not
// loop).
//
// Feed must be called often enough that the ring never plays more than three quarters of
// itself between two calls: by the caller, or by a thread of the buffer's own when it is
// made with a feed period. Every operation (each one follows the ring's cursor as Feed
// does) is safe to call from any thread. The ring is released before the data.
//
// The ring is kept written up to `ring - guard` bytes past its cursor, guard being a
// quarter of the ring. A feeder later than three quarters of the ring's playing time lets
// the ring repeat what it played before; the cursor still counts the bytes played, as long
// as nothing looks at it for a whole ring's playing time.
#ifndef VELMORIN_SOUND_STREAMING_BUFFER_H
#define VELMORIN_SOUND_STREAMING_BUFFER_H

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "sound/sound_layer.h"
#include "sound/static_buffer.h"

class StreamingSoundBuffer final : public SoundBuffer {
  public:
    // Makes a buffer of description.bufferBytes bytes over a ring of about `ringBytes`
    // (rounded down to whole blocks) made by `device` with the description's flags, minus
    // SOUND_CAPS_STATIC. With feedPeriodMs > 0 a thread of its own feeds the ring that
    // often. Non-negative on success; on failure *buffer is empty: E_OUTOFMEMORY when the
    // data does not fit in memory, or the device's code.
    static int32_t Create(SoundDevice& device, const SoundBufferDescription& description,
                          uint32_t ringBytes, uint32_t feedPeriodMs,
                          std::unique_ptr<SoundBuffer>* buffer);
    ~StreamingSoundBuffer() override;

    int32_t GetStatus(uint32_t* status) override;
    int32_t Restore() override;
    int32_t Lock(uint32_t offset, uint32_t bytes, void** region, uint32_t* regionBytes) override;
    int32_t Unlock(void* region, uint32_t regionBytes) override;
    int32_t Play(uint32_t flags) override;
    int32_t Stop() override;
    int32_t GetCurrentPosition(uint32_t* playCursor) override;
    int32_t SetCurrentPosition(uint32_t position) override;
    int32_t SetFrequency(uint32_t frequency) override;
    int32_t SetPan(int32_t pan) override;
    int32_t SetVolume(int32_t volume) override;
    int32_t SetFormat(const WaveFormat* format) override;

    // Follows the ring's cursor, ends a sound that reached its end and writes what is to
    // be heard next.
    void Feed();
    uint32_t RingBytes() const { return ringBytes_; }

  private:
    StreamingSoundBuffer(std::unique_ptr<SoundBuffer> ring, uint32_t ringBytes,
                         std::unique_ptr<uint8_t[]> data, uint32_t size, uint8_t silence);
    void StartFeeder(uint32_t periodMs);

    // With the lock held. Follow counts what the ring played since it last looked and
    // ends a sound that reached its end; Prime restarts the ring with the data from
    // `from`; WriteAhead fills the ring up to its guard; CopyStream writes stream bytes.
    int32_t Follow();
    uint32_t Position() const;
    int32_t Prime(uint32_t from);
    void WriteAhead();
    void CopyStream(uint8_t* to, uint64_t streamOffset, uint32_t bytes) const;

    std::unique_ptr<uint8_t[]> data_;
    std::unique_ptr<SoundBuffer> ring_;
    const uint32_t size_;
    const uint32_t ringBytes_;
    const uint32_t guard_;
    const uint8_t silence_;

    std::mutex mutex_;
    bool playing_ = false;
    bool looping_ = false;
    MemoryLock memory_;
    uint32_t cursor_ = 0;  // while stopped; may equal size_ (at the end)
    // While playing: data offset at stream byte 0, stream bytes heard and written, the
    // ring's cursor when last read.
    uint32_t start_ = 0;
    uint64_t played_ = 0;
    uint64_t written_ = 0;
    uint32_t ringCursor_ = 0;

    std::thread feeder_;
    std::condition_variable wake_;
    bool quit_ = false;
};

#endif
