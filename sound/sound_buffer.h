// Operations on the one static sound buffer that holds the loaded file's data. Positions
// are byte offsets from the buffer's start, which are byte offsets into the data chunk.
//
// Operations that need a buffer or a reader and find none do nothing and report 0 (a
// hotkey can reach them before the first Play). Starting playback without a reader or a
// device counts as a failed buffer creation.
#ifndef VELMORIN_SOUND_SOUND_BUFFER_H
#define VELMORIN_SOUND_SOUND_BUFFER_H

#include <cstdint>

class Dialog;  // starting playback writes the status line and applies the sliders

// Bytes moved by one skip, in both directions.
constexpr uint32_t SKIP_BYTES = 15000;

// The part of every buffer's flags the program always asks for: static, with frequency,
// pan and volume control.
constexpr uint32_t BUFFER_BASE_FLAGS = 0xE2;

// Frequency, pan and volume to the buffer, results unused; nothing without a buffer.
void SetBufferParameters(int32_t frequency, int32_t pan, int32_t volume);
// Reads the whole data chunk and puts it into a new buffer in SoundOutput.buffer, then
// applies the sliders: 0, or a negative code (E_OUTOFMEMORY, a reader or device code).
int32_t CreateBufferFromWave(Dialog& dialog, uint32_t creationFlags);
// Brings lost buffer memory back, waiting a few seconds at most: 0, or a negative code.
int32_t RestoreLostBuffer();
// Replaces the buffer and plays it from byte 0: 0 playing; 1 when the buffer could not be
// created ("Couldn't create sound buffer." is on the status line); negative: a code.
int32_t StartPlayback(Dialog& dialog, int loop, uint32_t creationFlags);
void StopPlayback();
// Stops and returns the play cursor, or the status query's negative code.
int32_t PauseAndGetPosition();
// Plays from `position` (taken as unsigned 32 bits), never looping.
void ResumeAt(int32_t position);
void SkipBack();
void SkipForward();
// The play cursor, or -1 when the buffer cannot be asked.
int32_t GetPlayPosition();
// 1 while the buffer plays, else 0.
int IsPlaying();
// The current reader's count of data bytes not yet read; 0 after a failed open.
uint32_t GetDataLength();
// The current reader's samples per second; 0 after a failed open.
uint32_t GetSampleRate();

#endif
