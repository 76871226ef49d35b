// Buffered reading of a RIFF file: the multimedia file I/O (mmio) effects the WAVE reader
// relies on, so that it runs over the Windows mmio functions or over the program's own
// RIFF layer.
//
// Every implementation keeps these effects:
// - Positions are byte offsets from the start of the file; the file is opened for reading
//   only, through an I/O buffer the implementation owns. Multi-byte fields are little-endian.
// - Destroying the object closes the file (mmioClose) and frees its I/O buffer.
// - No operation reads outside the file; a malformed or truncated file makes operations
//   fail, never crash or hang.
#ifndef VELMORIN_WAVE_RIFF_FILE_H
#define VELMORIN_WAVE_RIFF_FILE_H

#include <cstdint>
#include <functional>
#include <memory>

// A four-character code as it lies in the file: the first character in the low byte.
constexpr uint32_t MakeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           (static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8) |
           (static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16) |
           (static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24);
}

constexpr uint32_t FOURCC_RIFF_ID = MakeFourCC('R', 'I', 'F', 'F');
constexpr uint32_t FOURCC_LIST_ID = MakeFourCC('L', 'I', 'S', 'T');

// Descend flag: search the parent for the chunk whose id is preset (MMIO_FINDCHUNK).
constexpr uint32_t RIFF_FIND_CHUNK = 0x0010;

// A chunk record laid out like the platform's MMCKINFO.
struct RiffChunk {
    uint32_t ckid;          // chunk id
    uint32_t cksize;        // bytes of chunk data, header excluded
    uint32_t fccType;       // form type of a "RIFF" or "LIST" chunk, else 0
    uint32_t dwDataOffset;  // file offset of the data; of the form type for "RIFF"/"LIST"
    uint32_t dwFlags;
};
static_assert(sizeof(RiffChunk) == 20, "RiffChunk must match MMCKINFO");

// Direct access to the I/O buffer (the part of MMIOINFO the reader uses). Bytes from
// `next` up to `endRead` are file bytes not yet consumed, in file order.
struct RiffBufferInfo {
    uint8_t* next;     // pchNext: the next byte to consume
    uint8_t* endRead;  // pchEndRead: one past the last valid byte in the buffer
};

class RiffFile {
  public:
    virtual ~RiffFile() = default;

    // mmioDescend. Flags 0 with no parent: reads the chunk header at the current position,
    // and for a "RIFF" or "LIST" chunk also its form type. RIFF_FIND_CHUNK with a parent:
    // searches forward from the current position, skipping whole chunks with their pad
    // bytes, for the chunk whose id is preset in `chunk`; only headers that lie within the
    // parent's data are considered. On success fills the record (fccType 0 for other ids,
    // dwFlags 0) and leaves the position at the first data byte (after the form type for
    // "RIFF"/"LIST"); returns 0. Returns nonzero when not found, at end of file or on a read
    // error, and then leaves the position where it was.
    virtual uint32_t Descend(RiffChunk* chunk, const RiffChunk* parent, uint32_t flags) = 0;

    // mmioAscend with flags 0: moves past the end of `chunk`, pad byte included.
    // Returns 0, or nonzero when the position cannot be reached.
    virtual uint32_t Ascend(const RiffChunk* chunk) = 0;

    // mmioSeek with SEEK_SET: returns the new position, or -1 on failure (the position is
    // then unchanged). Seeking past the end of the file succeeds; reads there get nothing.
    virtual int32_t Seek(int32_t offset) = 0;

    // mmioRead: copies up to `count` bytes from the current position; returns the number
    // copied (less than count at end of file), or -1 on a read error.
    virtual int32_t Read(void* destination, int32_t count) = 0;

    // mmioGetInfo: hands out the I/O buffer state. Until SetInfo the caller consumes bytes
    // by stepping `next` towards `endRead` and calls no operation other than Advance and
    // SetInfo. Returns 0, or nonzero on failure.
    virtual uint32_t GetInfo(RiffBufferInfo* info) = 0;

    // mmioAdvance with MMIO_READ, called once `next` has reached `endRead`: refills the
    // buffer with the file bytes that follow and points `next` at the first of them. At end
    // of file it succeeds with `next` equal to `endRead`. Returns 0, or nonzero on a read
    // error.
    virtual uint32_t Advance(RiffBufferInfo* info) = 0;

    // mmioSetInfo: takes the buffer state back; the position becomes that of `next`.
    // Returns 0, or nonzero on failure.
    virtual uint32_t SetInfo(const RiffBufferInfo* info) = 0;
};

// mmioOpen with MMIO_ALLOCBUF | MMIO_READ: opens `path` for reading with an I/O buffer of
// the layer's default size; null on failure. Defined once per target by the layer it links.
std::unique_ptr<RiffFile> OpenRiffFile(const char* path);

// How a reader gets its file; tests pass their own to wrap a file and inject failures.
using RiffFileOpener = std::function<std::unique_ptr<RiffFile>(const char* path)>;

#endif
