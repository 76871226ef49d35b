#include "wave/riff_file_native.h"

#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// RIFF offsets are 32-bit; nothing beyond this can be named in a chunk record.
constexpr uint64_t MAX_POSITION = 0xFFFFFFFFu;
constexpr uint32_t FAILED = 1;

uint32_t LoadU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

// Where the bytes come from: positioned reads that never move a shared file offset.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Bytes copied (short only at end of file), or -1 on an error.
    virtual int64_t ReadAt(uint64_t offset, uint8_t* destination, size_t count) = 0;
};

class FileSource final : public ByteSource {
  public:
    explicit FileSource(int fd) : fd_(fd) {}
    ~FileSource() override { ::close(fd_); }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    int64_t ReadAt(uint64_t offset, uint8_t* destination, size_t count) override {
        size_t done = 0;
        while (done < count) {
            ssize_t got =
                ::pread(fd_, destination + done, count - done, static_cast<off_t>(offset + done));
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                return -1;
            }
            if (got == 0) {
                break;
            }
            done += static_cast<size_t>(got);
        }
        return static_cast<int64_t>(done);
    }

  private:
    int fd_;
};

class MemorySource final : public ByteSource {
  public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    int64_t ReadAt(uint64_t offset, uint8_t* destination, size_t count) override {
        if (offset >= size_) {
            return 0;
        }
        size_t n = size_ - static_cast<size_t>(offset);
        if (n > count) {
            n = count;
        }
        std::memcpy(destination, data_ + offset, n);
        return static_cast<int64_t>(n);
    }

  private:
    const uint8_t* data_;
    size_t size_;
};

// The I/O buffer holds the file bytes [bufferOffset_, bufferOffset_ + end_); the position
// is bufferOffset_ + next_.
class NativeRiffFile final : public RiffFile {
  public:
    NativeRiffFile(std::unique_ptr<ByteSource> source, std::unique_ptr<uint8_t[]> buffer,
                   size_t capacity)
        : source_(std::move(source)), buffer_(std::move(buffer)), capacity_(capacity) {}

    uint32_t Descend(RiffChunk* chunk, const RiffChunk* parent, uint32_t flags) override {
        const uint64_t start = Position();
        uint64_t limit = MAX_POSITION;
        if (parent != nullptr) {
            limit = static_cast<uint64_t>(parent->dwDataOffset) + parent->cksize;
            if (start < parent->dwDataOffset) {
                return FAILED;
            }
        }
        const bool find = (flags & RIFF_FIND_CHUNK) != 0;
        uint64_t pos = start;
        uint8_t header[8];
        for (;;) {
            if (pos + 8 > limit || pos + 8 > MAX_POSITION) {
                return Restore(start);
            }
            SetPosition(pos);
            if (ReadBytes(header, 8) != 8) {
                return Restore(start);
            }
            if (!find || LoadU32(header) == chunk->ckid) {
                break;
            }
            // Whole chunk plus its pad byte; 64-bit so that a huge size cannot wrap.
            const uint32_t size = LoadU32(header + 4);
            pos += 8 + static_cast<uint64_t>(size) + (size & 1u);
        }
        const uint32_t id = LoadU32(header);
        uint32_t type = 0;
        if (id == FOURCC_RIFF_ID || id == FOURCC_LIST_ID) {
            uint8_t typeBytes[4];
            if (ReadBytes(typeBytes, 4) != 4) {
                return Restore(start);
            }
            type = LoadU32(typeBytes);
        }
        // The record changes only on success.
        chunk->ckid = id;
        chunk->cksize = LoadU32(header + 4);
        chunk->fccType = type;
        chunk->dwDataOffset = static_cast<uint32_t>(pos + 8);
        chunk->dwFlags = 0;
        return 0;
    }

    uint32_t Ascend(const RiffChunk* chunk) override {
        const uint64_t end =
            static_cast<uint64_t>(chunk->dwDataOffset) + chunk->cksize + (chunk->cksize & 1u);
        if (end > MAX_POSITION) {
            return FAILED;
        }
        SetPosition(end);
        return 0;
    }

    int32_t Seek(int32_t offset) override {
        if (offset < 0) {
            return -1;
        }
        SetPosition(static_cast<uint64_t>(offset));
        return offset;
    }

    int32_t Read(void* destination, int32_t count) override {
        if (count < 0) {
            return -1;
        }
        return ReadBytes(static_cast<uint8_t*>(destination), static_cast<size_t>(count));
    }

    uint32_t GetInfo(RiffBufferInfo* info) override {
        info->next = buffer_.get() + next_;
        info->endRead = buffer_.get() + end_;
        return 0;
    }

    uint32_t Advance(RiffBufferInfo* info) override {
        size_t next = 0;
        if (!IndexOf(info->next, &next)) {
            return FAILED;
        }
        next_ = next;
        const bool ok = Refill();
        GetInfo(info);
        return ok ? 0 : FAILED;
    }

    uint32_t SetInfo(const RiffBufferInfo* info) override {
        size_t next = 0;
        if (!IndexOf(info->next, &next)) {
            return FAILED;
        }
        next_ = next;
        return 0;
    }

  private:
    uint64_t Position() const { return bufferOffset_ + next_; }

    uint32_t Restore(uint64_t position) {
        SetPosition(position);
        return FAILED;
    }

    // Keeps the buffered bytes when the position falls inside them.
    void SetPosition(uint64_t position) {
        if (position >= bufferOffset_ && position - bufferOffset_ <= end_) {
            next_ = static_cast<size_t>(position - bufferOffset_);
            return;
        }
        bufferOffset_ = position;
        next_ = 0;
        end_ = 0;
    }

    // Drops the consumed bytes and loads the ones after the position. False on an error,
    // with the buffer left empty at the position.
    bool Refill() {
        bufferOffset_ += next_;
        next_ = 0;
        end_ = 0;
        if (bufferOffset_ >= MAX_POSITION) {
            return true;  // Beyond any RIFF offset: behaves as end of file.
        }
        const int64_t got = source_->ReadAt(bufferOffset_, buffer_.get(), capacity_);
        if (got < 0) {
            return false;
        }
        end_ = static_cast<size_t>(got);
        return true;
    }

    int32_t ReadBytes(uint8_t* destination, size_t count) {
        size_t done = 0;
        while (done < count) {
            if (next_ == end_) {
                if (!Refill()) {
                    return -1;
                }
                if (end_ == 0) {
                    break;
                }
            }
            size_t n = end_ - next_;
            if (n > count - done) {
                n = count - done;
            }
            std::memcpy(destination + done, buffer_.get() + next_, n);
            next_ += n;
            done += n;
        }
        return static_cast<int32_t>(done);
    }

    // Index of a pointer handed back by the caller; false unless it lies in the valid
    // bytes of the buffer (compared as integers: it may point anywhere).
    bool IndexOf(const uint8_t* pointer, size_t* index) const {
        const uintptr_t base = reinterpret_cast<uintptr_t>(buffer_.get());
        const uintptr_t at = reinterpret_cast<uintptr_t>(pointer);
        if (at < base || at - base > end_) {
            return false;
        }
        *index = static_cast<size_t>(at - base);
        return true;
    }

    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<uint8_t[]> buffer_;
    size_t capacity_;
    uint64_t bufferOffset_ = 0;
    size_t next_ = 0;
    size_t end_ = 0;
};

std::unique_ptr<RiffFile> MakeRiffFile(std::unique_ptr<ByteSource> source, size_t capacity) {
    if (!source || capacity == 0) {
        return nullptr;
    }
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[capacity]);
    if (!buffer) {
        return nullptr;
    }
    return std::unique_ptr<RiffFile>(
        new (std::nothrow) NativeRiffFile(std::move(source), std::move(buffer), capacity));
}

}  // namespace

std::unique_ptr<RiffFile> OpenNativeRiffFile(const char* path) {
    if (path == nullptr) {
        return nullptr;
    }
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    std::unique_ptr<ByteSource> source(new (std::nothrow) FileSource(fd));
    if (!source) {
        ::close(fd);
        return nullptr;
    }
    return MakeRiffFile(std::move(source), NATIVE_RIFF_BUFFER_SIZE);
}

std::unique_ptr<RiffFile> OpenMemoryRiffFile(const uint8_t* data, size_t size, size_t bufferSize) {
    if (data == nullptr && size != 0) {
        return nullptr;
    }
    return MakeRiffFile(std::unique_ptr<ByteSource>(new (std::nothrow) MemorySource(data, size)),
                        bufferSize);
}

std::unique_ptr<RiffFile> OpenRiffFile(const char* path) {
    return OpenNativeRiffFile(path);
}
