// Changes the speed of interleaved stereo float sound and keeps its pitch, with sonic
// (made for speech: it repeats or leaves out whole pitch periods). Output is aligned with
// the input: its first frame is the first frame written, and n frames written come out as
// about n / speed, within a pitch period. Move-only; releases the stream.
#ifndef VELMORIN_SOUND_MIXER_TIME_STRETCH_H
#define VELMORIN_SOUND_MIXER_TIME_STRETCH_H

#include <cstddef>
#include <cstdint>

struct sonicStreamStruct;

class TimeStretch {
  public:
    TimeStretch() = default;
    // A stretcher of sound at `rate` to `speed` times its own speed; empty without memory.
    TimeStretch(uint32_t rate, double speed);
    ~TimeStretch();
    TimeStretch(TimeStretch&& other) noexcept;
    TimeStretch& operator=(TimeStretch&& other) noexcept;
    TimeStretch(const TimeStretch&) = delete;
    TimeStretch& operator=(const TimeStretch&) = delete;

    explicit operator bool() const { return stream_ != nullptr; }
    // False when there was no memory for them.
    bool Write(const float* frames, size_t count);
    // The input has ended: what is held back comes out.
    void Flush();
    // Up to `most` frames into `out`; 0 until enough input has come.
    size_t Read(float* out, size_t most);

  private:
    sonicStreamStruct* stream_ = nullptr;
};

#endif
