// The RIFF layer over the Windows multimedia file I/O functions.
#include "base/win32_headers.h"

#include <cstring>
#include <new>

#include "wave/riff_file.h"

static_assert(sizeof(MMCKINFO) == sizeof(RiffChunk), "RiffChunk must match MMCKINFO");
static_assert(RIFF_FIND_CHUNK == MMIO_FINDCHUNK, "find flag must match mmio");

namespace {

MMCKINFO ToMmio(const RiffChunk& chunk) {
    MMCKINFO result;
    result.ckid = chunk.ckid;
    result.cksize = chunk.cksize;
    result.fccType = chunk.fccType;
    result.dwDataOffset = chunk.dwDataOffset;
    result.dwFlags = chunk.dwFlags;
    return result;
}

void FromMmio(const MMCKINFO& chunk, RiffChunk* result) {
    result->ckid = chunk.ckid;
    result->cksize = chunk.cksize;
    result->fccType = chunk.fccType;
    result->dwDataOffset = chunk.dwDataOffset;
    result->dwFlags = chunk.dwFlags;
}

class MmioRiffFile final : public RiffFile {
  public:
    explicit MmioRiffFile(HMMIO file) : file_(file) { std::memset(&info_, 0, sizeof(info_)); }
    ~MmioRiffFile() override { mmioClose(file_, 0); }
    MmioRiffFile(const MmioRiffFile&) = delete;
    MmioRiffFile& operator=(const MmioRiffFile&) = delete;

    uint32_t Descend(RiffChunk* chunk, const RiffChunk* parent, uint32_t flags) override {
        MMCKINFO found = ToMmio(*chunk);
        MMCKINFO outer;
        if (parent != nullptr) {
            outer = ToMmio(*parent);
        }
        const MMRESULT result =
            mmioDescend(file_, &found, parent != nullptr ? &outer : nullptr, flags);
        if (result == MMSYSERR_NOERROR) {
            FromMmio(found, chunk);
        }
        return result;
    }

    uint32_t Ascend(const RiffChunk* chunk) override {
        MMCKINFO inner = ToMmio(*chunk);
        return mmioAscend(file_, &inner, 0);
    }

    int32_t Seek(int32_t offset) override { return mmioSeek(file_, offset, SEEK_SET); }

    int32_t Read(void* destination, int32_t count) override {
        return mmioRead(file_, static_cast<HPSTR>(destination), count);
    }

    uint32_t GetInfo(RiffBufferInfo* info) override {
        const MMRESULT result = mmioGetInfo(file_, &info_, 0);
        CopyOut(info);
        return result;
    }

    uint32_t Advance(RiffBufferInfo* info) override {
        CopyIn(*info);
        const MMRESULT result = mmioAdvance(file_, &info_, MMIO_READ);
        CopyOut(info);
        return result;
    }

    uint32_t SetInfo(const RiffBufferInfo* info) override {
        CopyIn(*info);
        return mmioSetInfo(file_, &info_, 0);
    }

  private:
    void CopyIn(const RiffBufferInfo& info) {
        info_.pchNext = reinterpret_cast<HPSTR>(info.next);
        info_.pchEndRead = reinterpret_cast<HPSTR>(info.endRead);
    }
    void CopyOut(RiffBufferInfo* info) const {
        info->next = reinterpret_cast<uint8_t*>(info_.pchNext);
        info->endRead = reinterpret_cast<uint8_t*>(info_.pchEndRead);
    }

    HMMIO file_;
    // The whole MMIOINFO the platform hands out; callers see only its two pointers.
    MMIOINFO info_;
};

}  // namespace

std::unique_ptr<RiffFile> OpenRiffFile(const char* path) {
    if (path == nullptr) {
        return nullptr;
    }
    HMMIO file = mmioOpenA(const_cast<LPSTR>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ);
    if (file == nullptr) {
        return nullptr;
    }
    std::unique_ptr<RiffFile> result(new (std::nothrow) MmioRiffFile(file));
    if (!result) {
        mmioClose(file, 0);
    }
    return result;
}
