#include "wave/wave_file_reader.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>

#include "base/result.h"

namespace {

constexpr uint32_t FOURCC_WAVE = MakeFourCC('W', 'A', 'V', 'E');
constexpr uint32_t FOURCC_FMT = MakeFourCC('f', 'm', 't', ' ');
constexpr uint32_t FOURCC_DATA = MakeFourCC('d', 'a', 't', 'a');

// The "fmt " fields every format has, before extra-size.
constexpr uint32_t FORMAT_HEADER_SIZE = 16;

uint16_t LoadU16(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t LoadU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// A record of 18 + extraSize bytes holding the 16 header bytes; null when out of memory.
WaveFormatPtr NewWaveFormat(const uint8_t* header, uint16_t extraSize) {
    void* block = ::operator new(sizeof(WaveFormat) + extraSize, std::nothrow);
    if (block == nullptr) {
        return nullptr;
    }
    WaveFormatPtr format(new (block) WaveFormat);
    format->wFormatTag = LoadU16(header);
    format->nChannels = LoadU16(header + 2);
    format->nSamplesPerSec = LoadU32(header + 4);
    format->nAvgBytesPerSec = LoadU32(header + 8);
    format->nBlockAlign = LoadU16(header + 12);
    format->wBitsPerSample = LoadU16(header + 14);
    format->cbSize = extraSize;
    return format;
}

// Reads the "fmt " body at the file's position; `size` is the chunk's declared size.
WaveFormatPtr ReadFormatBody(RiffFile* file, uint32_t size) {
    uint8_t header[FORMAT_HEADER_SIZE];
    if (file->Read(header, FORMAT_HEADER_SIZE) != static_cast<int32_t>(FORMAT_HEADER_SIZE)) {
        return nullptr;
    }
    if (LoadU16(header) == WAVE_FORMAT_PCM_TAG) {
        // Whatever follows the 16 bytes of a PCM chunk is ignored.
        return NewWaveFormat(header, 0);
    }
    // A shorter non-PCM chunk (some writers emit 16 bytes for IEEE float) has no
    // extra-size; reading on would take the next chunk's header for it.
    uint16_t extraSize = 0;
    if (size >= sizeof(WaveFormat)) {
        uint8_t extraBytes[2];
        if (file->Read(extraBytes, 2) != 2) {
            return nullptr;
        }
        extraSize = LoadU16(extraBytes);
        if (extraSize > size - sizeof(WaveFormat)) {
            return nullptr;
        }
    }
    WaveFormatPtr format = NewWaveFormat(header, extraSize);
    if (format == nullptr || extraSize == 0) {
        return format;
    }
    uint8_t* extra = reinterpret_cast<uint8_t*>(format.get()) + sizeof(WaveFormat);
    if (file->Read(extra, extraSize) != extraSize) {
        return nullptr;
    }
    return format;
}

// Wine's mmio search goes on past its parent's end, and its 32-bit position can wrap back
// to the start of the file; the program's own layer does neither. A found chunk counts only
// if its header lies in the parent's data at or after `from`, where the search began.
bool FoundInside(const RiffChunk& chunk, const RiffChunk& parent, uint64_t from) {
    const uint64_t header = static_cast<uint64_t>(chunk.dwDataOffset) - 8;
    return chunk.dwDataOffset >= 8 && header >= from &&
           header + 8 <= static_cast<uint64_t>(parent.dwDataOffset) + parent.cksize;
}

}  // namespace

void WaveFormatDeleter::operator()(WaveFormat* format) const noexcept {
    ::operator delete(static_cast<void*>(format));
}

int32_t OpenWaveFile(const RiffFileOpener& open, const char* path, std::unique_ptr<RiffFile>* file,
                     RiffChunk* riff, WaveFormatPtr* format) {
    file->reset();
    if (!open) {
        return E_FAIL;
    }
    std::unique_ptr<RiffFile> opened = open(path);
    if (opened == nullptr) {
        return E_FAIL;
    }
    if (ReadWaveHeader(opened.get(), riff, format) < 0) {
        return E_FAIL;  // Destroying `opened` closes it.
    }
    *file = std::move(opened);
    return S_OK;
}

int32_t ReadWaveHeader(RiffFile* file, RiffChunk* riff, WaveFormatPtr* format) {
    format->reset();
    if (file == nullptr) {
        return E_FAIL;
    }
    if (file->Descend(riff, nullptr, 0) != 0 || riff->ckid != FOURCC_RIFF_ID ||
        riff->fccType != FOURCC_WAVE) {
        return E_FAIL;
    }
    // Writers that stream to a pipe cannot know the length and declare 0xFFFFFFFF; the
    // searches bound themselves by offset plus size, which must not wrap at 32 bits (mmio's
    // does). Such a chunk reaches to the last offset a 32-bit size can name.
    const uint32_t room = UINT32_MAX - riff->dwDataOffset;
    if (riff->cksize > room) {
        riff->cksize = room;
    }
    RiffChunk fmt{};
    fmt.ckid = FOURCC_FMT;
    if (file->Descend(&fmt, riff, RIFF_FIND_CHUNK) != 0 ||
        !FoundInside(fmt, *riff, static_cast<uint64_t>(riff->dwDataOffset) + 4)) {
        return E_FAIL;
    }
    if (fmt.cksize < FORMAT_HEADER_SIZE) {
        return E_FAIL;
    }
    WaveFormatPtr read = ReadFormatBody(file, fmt.cksize);
    // A chunk that ends past the last 32-bit offset is not stepped over: mmio's position
    // wraps back into the file, and the search for "data" could then go round for ever.
    const uint64_t fmtEnd =
        static_cast<uint64_t>(fmt.dwDataOffset) + fmt.cksize + (fmt.cksize & 1u);
    if (read == nullptr || fmtEnd > UINT32_MAX || file->Ascend(&fmt) != 0) {
        return E_FAIL;
    }
    *format = std::move(read);
    return S_OK;
}

int32_t SeekWaveData(RiffFile* file, const RiffChunk& riff, RiffChunk* data) {
    // Nothing is left to read unless the "data" chunk is found.
    data->cksize = 0;
    if (file == nullptr) {
        return E_FAIL;
    }
    // The first sub-chunk follows the form type.
    const uint64_t first = static_cast<uint64_t>(riff.dwDataOffset) + 4;
    if (first > 0x7FFFFFFF || file->Seek(static_cast<int32_t>(first)) == -1) {
        return E_FAIL;
    }
    data->ckid = FOURCC_DATA;
    if (file->Descend(data, &riff, RIFF_FIND_CHUNK) != 0 || !FoundInside(*data, riff, first)) {
        data->cksize = 0;
        return E_FAIL;
    }
    return S_OK;
}

int32_t ReadWaveData(RiffFile* file, RiffChunk* data, uint32_t count, uint8_t* destination,
                     uint32_t* actual) {
    *actual = 0;
    if (file == nullptr) {
        return E_FAIL;
    }
    RiffBufferInfo info;
    if (file->GetInfo(&info) != 0) {
        return E_FAIL;
    }
    const uint32_t n = count < data->cksize ? count : data->cksize;
    data->cksize -= n;
    uint32_t done = 0;
    while (done < n) {
        if (info.next >= info.endRead) {
            // An empty buffer after a refill: the file ended inside the chunk.
            if (file->Advance(&info) != 0 || info.next >= info.endRead) {
                return E_FAIL;
            }
        }
        const size_t available = static_cast<size_t>(info.endRead - info.next);
        const uint32_t run = available < n - done ? static_cast<uint32_t>(available) : n - done;
        std::memcpy(destination + done, info.next, run);
        info.next += run;
        done += run;
    }
    if (file->SetInfo(&info) != 0) {
        return E_FAIL;
    }
    *actual = n;
    return S_OK;
}

WaveFileReader::WaveFileReader(RiffFileOpener open, DecodedDataOpener decode)
    : open_(std::move(open)), decode_(std::move(decode)) {}

WaveFileReader::~WaveFileReader() {
    Close();
    format_.reset();
}

int32_t WaveFileReader::Open(const char* path) {
    Close();
    format_.reset();
    opened_ = false;
    int32_t result = OpenWaveFile(open_, path, &file_, &riff_, &format_);
    if (result >= 0) {
        result = Reset();
        opened_ = result == S_OK;
    }
    if (opened_ || !decode_)
        return result;
    // Not a WAVE file this reader can play: perhaps a recording the decoder reads (a
    // compressed format, or a WAVE file whose RIFF size leaves out its data).
    std::shared_ptr<DecodedData> decoded = decode_(path);
    if (!decoded)
        return result;
    const WaveFormat& format = decoded->Format();
    WaveFormatPtr record(
        static_cast<WaveFormat*>(::operator new(sizeof(WaveFormat), std::nothrow)));
    if (!record)
        return E_FAIL;
    *record = format;
    record->cbSize = 0;
    Close();
    format_ = std::move(record);
    decoded_ = std::move(decoded);
    result = Reset();
    opened_ = result == S_OK;
    return result;
}

int32_t WaveFileReader::Reset() {
    if (decoded_) {
        decodedAt_ = 0;
        data_ = RiffChunk{FOURCC_DATA, decoded_->Size(), 0, 0, 0};
        return S_OK;
    }
    return SeekWaveData(file_.get(), riff_, &data_);
}

int32_t WaveFileReader::Read(uint32_t count, uint8_t* destination, uint32_t* actual) {
    if (!decoded_)
        return ReadWaveData(file_.get(), &data_, count, destination, actual);
    const uint32_t n = count < data_.cksize ? count : data_.cksize;
    *actual = decoded_->ReadAt(decodedAt_, n, destination);
    decodedAt_ += *actual;
    data_.cksize = *actual < n ? 0 : data_.cksize - n;
    return S_OK;
}

int32_t WaveFileReader::Close() {
    file_.reset();
    decoded_.reset();
    return S_OK;
}
