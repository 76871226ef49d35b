// Reads one RIFF WAVE file: its format record and the bytes of its "data" chunk. A file
// the WAVE reading refuses is tried with the target's decoder; what that decodes reads as
// the data of a PCM WAVE file in the decoded format.
//
// Calling order: construct, Open, then any number of (Reset, Read), then destroy. Every
// result is S_OK or E_FAIL.
#ifndef VELMORIN_WAVE_WAVE_FILE_READER_H
#define VELMORIN_WAVE_WAVE_FILE_READER_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wave/decoded_data.h"
#include "wave/riff_file.h"

// Laid out exactly like WAVEFORMATEX, since the sound device takes it unchanged. A record
// is one block of 18 + cbSize bytes: the format-specific bytes follow cbSize.
#pragma pack(push, 1)
struct WaveFormat {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)

static_assert(sizeof(WaveFormat) == 18, "WaveFormat must match WAVEFORMATEX");
static_assert(offsetof(WaveFormat, nChannels) == 2, "WaveFormat layout");
static_assert(offsetof(WaveFormat, nSamplesPerSec) == 4, "WaveFormat layout");
static_assert(offsetof(WaveFormat, nAvgBytesPerSec) == 8, "WaveFormat layout");
static_assert(offsetof(WaveFormat, nBlockAlign) == 12, "WaveFormat layout");
static_assert(offsetof(WaveFormat, wBitsPerSample) == 14, "WaveFormat layout");
static_assert(offsetof(WaveFormat, cbSize) == 16, "WaveFormat layout");

constexpr uint16_t WAVE_FORMAT_PCM_TAG = 1;

// Frees a format record block.
struct WaveFormatDeleter {
    void operator()(WaveFormat* format) const noexcept;
};
using WaveFormatPtr = std::unique_ptr<WaveFormat, WaveFormatDeleter>;

// The cbSize bytes that follow the 18-byte record.
inline const uint8_t* WaveFormatExtra(const WaveFormat* format) {
    return reinterpret_cast<const uint8_t*>(format) + sizeof(WaveFormat);
}

// The reader's routines, over an explicit file and chunk records.

// Opens `path` through `open` and reads the header into `riff` and `format`. On success
// `file` holds the file; on failure it is left empty and the opened file is closed.
int32_t OpenWaveFile(const RiffFileOpener& open, const char* path, std::unique_ptr<RiffFile>* file,
                     RiffChunk* riff, WaveFormatPtr* format);

// Checks the "RIFF" "WAVE" header and reads the "fmt " chunk into a new format record in
// `format` (emptied first, left empty on failure). For a format tag other than PCM, the
// extra-size and extra bytes are taken only from inside the "fmt " chunk: a chunk of 16 or
// 17 bytes gives extra-size 0, and an extra-size beyond the chunk's end fails.
int32_t ReadWaveHeader(RiffFile* file, RiffChunk* riff, WaveFormatPtr* format);

// Positions `file` at the first byte of the "data" chunk inside `riff`; `data->cksize`
// becomes its declared size.
int32_t SeekWaveData(RiffFile* file, const RiffChunk& riff, RiffChunk* data);

// Copies min(count, data->cksize) bytes to `destination` through the file's I/O buffer and
// lowers data->cksize by that count before copying. `actual` is the count copied, or 0 on
// failure.
int32_t ReadWaveData(RiffFile* file, RiffChunk* data, uint32_t count, uint8_t* destination,
                     uint32_t* actual);

class WaveFileReader {
  public:
    // `open` gives the file for a path, `decode` the decoded data of a file that is not a
    // WAVE file; the target's own unless a test wraps them.
    explicit WaveFileReader(RiffFileOpener open = OpenRiffFile,
                            DecodedDataOpener decode = OpenDecodedData);
    ~WaveFileReader();
    WaveFileReader(const WaveFileReader&) = delete;
    WaveFileReader& operator=(const WaveFileReader&) = delete;

    // Frees any format record and closes any file first. Fails without a file or format
    // record when the file cannot be opened or its header is bad; fails holding both when
    // the "data" chunk is missing; either way the decoder is tried next, and a file it
    // decodes opens in the decoded format. Ends with Reset.
    int32_t Open(const char* path);
    // Rewinds to the first data byte; the remaining count becomes the declared size.
    int32_t Reset();
    // Copies min(count, remaining) bytes; see ReadWaveData. Decoded data gives fewer, and
    // nothing more after them, where its sound ends early.
    int32_t Read(uint32_t count, uint8_t* destination, uint32_t* actual);
    // Closes the file, keeping the format record. Always S_OK.
    int32_t Close();

    // The format record, or null when none is held.
    const WaveFormat* GetFormat() const { return format_.get(); }
    // The count of data bytes not yet read (the data chunk record's size field).
    uint32_t GetDataRemaining() const { return data_.cksize; }
    bool HasFile() const { return file_ != nullptr || decoded_ != nullptr; }
    // The decoded data of an open file that is not a WAVE file, else null. A sound buffer
    // may play from it instead of a copy of the data.
    const std::shared_ptr<DecodedData>& Decoded() const { return decoded_; }
    // The last Open succeeded: the format is known and the data chunk was found.
    bool Opened() const { return opened_; }

  private:
    WaveFormatPtr format_;
    std::unique_ptr<RiffFile> file_;
    RiffChunk data_{};
    RiffChunk riff_{};
    RiffFileOpener open_;
    DecodedDataOpener decode_;
    std::shared_ptr<DecodedData> decoded_;
    uint32_t decodedAt_ = 0;  // the next byte Read copies
    bool opened_ = false;
};

#endif
