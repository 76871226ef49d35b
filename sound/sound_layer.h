// The sound layer: the operations of the platform's sound API (DirectSound and COM on
// Windows) that the sound module calls, with the effects it relies on. Every backend
// keeps this contract; results are 32-bit codes, negative on failure, and pass through
// the sound module unchanged.
//
// Objects are owned through std::unique_ptr: destroying one releases it (Release). A
// buffer must be destroyed before the device that made it.
#ifndef VELMORIN_SOUND_SOUND_LAYER_H
#define VELMORIN_SOUND_SOUND_LAYER_H

#include <cstdint>
#include <memory>

#include "base/result.h"
#include "base/window.h"

struct WaveFormat;
class DecodedData;

// Buffer capabilities and status bits, with the platform's values.
constexpr uint32_t SOUND_CAPS_PRIMARY = 0x1;
constexpr uint32_t SOUND_CAPS_STATIC = 0x2;
constexpr uint32_t SOUND_CAPS_LOCHARDWARE = 0x4;
constexpr uint32_t SOUND_CAPS_LOCSOFTWARE = 0x8;
constexpr uint32_t SOUND_CAPS_CTRLFREQUENCY = 0x20;
constexpr uint32_t SOUND_CAPS_CTRLPAN = 0x40;
constexpr uint32_t SOUND_CAPS_CTRLVOLUME = 0x80;
constexpr uint32_t SOUND_CAPS_STICKYFOCUS = 0x4000;
constexpr uint32_t SOUND_CAPS_GLOBALFOCUS = 0x8000;
constexpr uint32_t SOUND_STATUS_PLAYING = 0x1;
constexpr uint32_t SOUND_STATUS_BUFFERLOST = 0x2;
constexpr uint32_t SOUND_PLAY_LOOPING = 0x1;
constexpr uint32_t SOUND_COOP_PRIORITY = 2;
constexpr int32_t SOUND_ERR_BUFFERLOST = static_cast<int32_t>(0x88780096u);

// A buffer description as DSBUFFERDESC has it; the backend gives the record its own size.
struct SoundBufferDescription {
    uint32_t flags;
    uint32_t bufferBytes;
    const WaveFormat* format;  // null for the primary buffer
    // When set: the buffer plays these bytes (bufferBytes of them, in `format`) from where
    // they are decoded, and is not filled through Lock; it ends where their sound ends. A
    // layer that cannot play from them refuses with E_NOTIMPL.
    std::shared_ptr<DecodedData> decoded = nullptr;
};

class SoundBuffer {
  public:
    virtual ~SoundBuffer() = default;

    // Non-negative on success; *status gets SOUND_STATUS_PLAYING while the buffer plays
    // and SOUND_STATUS_BUFFERLOST while its memory is lost.
    virtual int32_t GetStatus(uint32_t* status) = 0;
    // 0 once the memory is back; SOUND_ERR_BUFFERLOST while it cannot be restored yet.
    virtual int32_t Restore() = 0;
    // Non-negative: *region is writable memory covering `bytes` bytes from `offset`.
    virtual int32_t Lock(uint32_t offset, uint32_t bytes, void** region, uint32_t* regionBytes) = 0;
    virtual int32_t Unlock(void* region, uint32_t regionBytes) = 0;
    // Plays from the play cursor. Looping goes on from 0 at the end until stopped;
    // otherwise the buffer stops at its end, reports not playing, and its cursor reads 0.
    virtual int32_t Play(uint32_t flags) = 0;
    // Stops; the play cursor stays where it stopped.
    virtual int32_t Stop() = 0;
    // The play cursor, a byte offset from the buffer's start.
    virtual int32_t GetCurrentPosition(uint32_t* playCursor) = 0;
    // Moves the play cursor. A position outside the buffer lands at its nearest end: 2^31
    // or more (a negative offset, or a subtraction that wrapped) means 0; any other value
    // at or past the size means the end, where the cursor reads the size, a sound that
    // does not loop stops (and a later Play without looping plays nothing), and a looping
    // one goes on from 0.
    virtual int32_t SetCurrentPosition(uint32_t position) = 0;
    virtual int32_t SetFrequency(uint32_t frequency) = 0;
    virtual int32_t SetPan(int32_t pan) = 0;
    virtual int32_t SetVolume(int32_t volume) = 0;
    // Primary buffer only: the device's output format.
    virtual int32_t SetFormat(const WaveFormat* format) = 0;
};

class SoundDevice {
  public:
    virtual ~SoundDevice() = default;

    // Priority cooperation for the window; a layer without windows may ignore it.
    virtual int32_t SetCooperativeLevel(WindowHandle window, uint32_t level) = 0;
    // Non-negative: *buffer holds a new, stopped buffer of description.bufferBytes bytes
    // in the described format (for a secondary buffer), play cursor at 0. On failure
    // *buffer is empty.
    virtual int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                                      std::unique_ptr<SoundBuffer>* buffer) = 0;
};

class SoundSystem {
  public:
    virtual ~SoundSystem() = default;

    // CoInitialize: 0, or S_FALSE (1) when the thread already had COM; negative on failure.
    virtual int32_t InitializeCom() = 0;
    virtual void UninitializeCom() = 0;
    // DirectSoundCreate for the default device. Non-negative: *device holds it; on
    // failure *device is empty.
    virtual int32_t CreateDevice(std::unique_ptr<SoundDevice>* device) = 0;
    virtual void Sleep(uint32_t milliseconds) = 0;
    // Whether a frequency set on a buffer changes its speed with the pitch kept
    // (SpeedWithPitchKept, sound/speed.h) rather than speed and pitch together, for every
    // device made and still to be made, heard at once. A layer that cannot refuses.
    virtual int32_t KeepPitch(bool keep) { return keep ? E_NOTIMPL : S_OK; }
};

// The platform's sound system, from the one layer linked into the target. Its devices
// keep the contract above.
std::unique_ptr<SoundSystem> CreatePlatformSoundSystem();

// The system the sound module uses; installed once at start-up (the program's entry, or a
// test). Without one, InitSoundDevice fails.
void InstallSoundSystem(SoundSystem* system);
SoundSystem* InstalledSoundSystem();

#endif
