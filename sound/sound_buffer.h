// Operations on the one static sound buffer that holds the loaded file's data.
#ifndef VELMORIN_SOUND_SOUND_BUFFER_H
#define VELMORIN_SOUND_SOUND_BUFFER_H

#include <cstdint>

// Bytes moved by one skip, in both directions.
constexpr uint32_t SKIP_BYTES = 15000;

void StopPlayback();
void SkipBack();
void SkipForward();

#endif
