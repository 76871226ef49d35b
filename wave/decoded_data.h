// Sound decoded from a recording that is not a WAVE file, as PCM data in a WAVE format,
// read at any byte offset without holding the whole of it.
//
// The format is PCM, 16 bits, at the recording's own rate, with one or two channels
// (cbSize 0). Size() is the data's length in bytes as stated when the recording was opened:
// whole frames, at most 0xFFFFFFFE. ReadAt gives the same bytes at an offset however that
// offset is reached; it gives fewer than asked only where the sound ends, which is at
// Size() or earlier when the recording holds less than it said (truncated, or undecodable
// from there on). Every operation is safe to call from any thread.
#ifndef VELMORIN_WAVE_DECODED_DATA_H
#define VELMORIN_WAVE_DECODED_DATA_H

#include <cstdint>
#include <functional>
#include <memory>

struct WaveFormat;

class DecodedData {
  public:
    virtual ~DecodedData() = default;

    virtual const WaveFormat& Format() const = 0;
    virtual uint32_t Size() const = 0;
    // Copies up to `count` bytes from byte `offset` to `destination`; returns the count
    // copied.
    virtual uint32_t ReadAt(uint32_t offset, uint32_t count, uint8_t* destination) = 0;
};

// Decodes the recording at `path`; null when it holds no audio stream that can be decoded,
// or is not a recording at all. Defined once per target by the decoder it links (none on
// Windows, where only WAVE files open).
std::shared_ptr<DecodedData> OpenDecodedData(const char* path);

// The names of the files the decoder opens, as filter patterns ("*.mp3;*.m4a;..."); empty
// where there is no decoder.
const char* DecodedFilePatterns();

// How a reader gets decoded data; tests pass their own.
using DecodedDataOpener = std::function<std::shared_ptr<DecodedData>(const char* path)>;

#endif
