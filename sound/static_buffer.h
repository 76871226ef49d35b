// Rules of a static sound buffer that every implementation of the layer's contract keeps
// the same way (sound/sound_layer.h states them; sound/buffer_position.h gives where a
// cursor move lands).
#ifndef VELMORIN_SOUND_STATIC_BUFFER_H
#define VELMORIN_SOUND_STATIC_BUFFER_H

#include <cstdint>

#include "base/result.h"

// Where Play starts a stopped buffer whose cursor stands at `cursor`: true with the offset
// in *from; false at the end of a sound that does not loop, where nothing is left to play.
// A looping sound played from the end starts over.
constexpr bool PlayStart(uint32_t cursor, uint32_t size, bool looping, uint32_t* from) {
    if (cursor < size) {
        *from = cursor;
        return true;
    }
    *from = 0;
    return looping;
}

// Whether a sound that does not loop has been heard to its end: `heard` bytes of it from
// its start. The buffer then stops, and its cursor reads CURSOR_AFTER_END.
constexpr bool HeardToTheEnd(uint64_t heard, uint32_t size, bool looping) {
    return !looping && heard >= size;
}
// Where the cursor of a sound that ended stands, as DirectSound's does (measured under Wine).
constexpr uint32_t CURSOR_AFTER_END = 0;

// Lock and Unlock of a buffer whose data lives in memory: one lock at a time, over bytes
// within the buffer, handed out in one piece.
class MemoryLock {
  public:
    int32_t Lock(uint8_t* data, uint32_t size, uint32_t offset, uint32_t bytes, void** region,
                 uint32_t* regionBytes) {
        *region = nullptr;
        *regionBytes = 0;
        if (locked_ || uint64_t{offset} + bytes > size)
            return E_INVALIDARG;
        locked_ = true;
        *region = data + offset;
        *regionBytes = bytes;
        return S_OK;
    }
    int32_t Unlock(const void* region) {
        if (!locked_ || region == nullptr)
            return E_INVALIDARG;
        locked_ = false;
        return S_OK;
    }
    bool Locked() const { return locked_; }

  private:
    bool locked_ = false;
};

#endif
