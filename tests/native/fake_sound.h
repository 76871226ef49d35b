// A model of a sound device for native tests, on a virtual clock.
//
// A secondary buffer holds the described number of bytes and, while it plays, moves its
// play cursor at frequency x block align bytes per second of the clock. Without looping it
// stops at its end; with looping it goes on from 0. A stopped buffer keeps its cursor.
// It can report lost memory, and any operation can be told to fail with a code. Every
// call is written to a log shared by the system, its device and its buffers.
#ifndef VELMORIN_TESTS_NATIVE_FAKE_SOUND_H
#define VELMORIN_TESTS_NATIVE_FAKE_SOUND_H

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "sound/sound_layer.h"
#include "wave/wave_file_reader.h"

class FakeSoundSystem;

class FakeSoundBuffer final : public SoundBuffer {
  public:
    FakeSoundBuffer(FakeSoundSystem& system, const SoundBufferDescription& description, int serial);
    ~FakeSoundBuffer() override;

    int32_t GetStatus(uint32_t* status) override;
    int32_t Restore() override;
    int32_t Lock(uint32_t offset, uint32_t bytes, void** region, uint32_t* regionBytes) override;
    int32_t Unlock(void* region, uint32_t regionBytes) override;
    int32_t Play(uint32_t flags) override;
    int32_t Stop() override;
    int32_t GetCurrentPosition(uint32_t* playCursor) override;
    int32_t SetCurrentPosition(uint32_t position) override;
    int32_t SetFrequency(uint32_t frequency) override;
    int32_t SetPan(int32_t pan) override;
    int32_t SetVolume(int32_t volume) override;
    int32_t SetFormat(const WaveFormat* format) override;

    // Observations.
    bool Primary() const { return (flags_ & SOUND_CAPS_PRIMARY) != 0; }
    uint32_t Flags() const { return flags_; }
    uint32_t Size() const { return static_cast<uint32_t>(data_.size()); }
    const std::vector<uint8_t>& Data() const { return data_; }
    const std::vector<uint8_t>& Format() const { return format_; }
    bool Playing();
    bool Looping() const { return looping_; }
    uint32_t Cursor();
    uint32_t Frequency() const { return frequency_; }
    int32_t Pan() const { return pan_; }
    int32_t Volume() const { return volume_; }
    int Serial() const { return serial_; }
    // The memory is lost until Restore has answered SOUND_ERR_BUFFERLOST this many times,
    // and what it held is gone: it reads 0xA5 until it is written again.
    void LoseMemory(int restoresBeforeBack) {
        lost_ = true;
        restoresLeft_ = restoresBeforeBack;
        std::fill(data_.begin(), data_.end(), uint8_t{0xA5});
    }
    // The spans of data that were heard: [from, to) byte ranges, in order.
    const std::vector<std::pair<uint32_t, uint32_t>>& Heard();

  private:
    void Update();
    int32_t Fails(const char* operation) const;

    FakeSoundSystem& system_;
    uint32_t flags_;
    std::vector<uint8_t> format_;
    std::vector<uint8_t> data_;
    int serial_;
    bool playing_ = false;
    bool looping_ = false;
    bool lost_ = false;
    int restoresLeft_ = 0;
    bool locked_ = false;
    uint32_t cursor_ = 0;
    uint64_t lastUpdateMs_ = 0;
    uint64_t pendingNumerator_ = 0;  // bytes x 1000 not yet a whole byte
    uint32_t frequency_ = 0;
    int32_t pan_ = 0;
    int32_t volume_ = 0;
    std::vector<std::pair<uint32_t, uint32_t>> heard_;
};

class FakeSoundDevice final : public SoundDevice {
  public:
    explicit FakeSoundDevice(FakeSoundSystem& system) : system_(system) {}
    ~FakeSoundDevice() override;
    int32_t SetCooperativeLevel(void* window, uint32_t level) override;
    int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                              std::unique_ptr<SoundBuffer>* buffer) override;

  private:
    FakeSoundSystem& system_;
};

class FakeSoundSystem final : public SoundSystem {
  public:
    // `clock` gives the virtual time in milliseconds.
    explicit FakeSoundSystem(std::function<uint64_t()> clock) : clock_(std::move(clock)) {}

    int32_t InitializeCom() override;
    void UninitializeCom() override;
    int32_t CreateDevice(std::unique_ptr<SoundDevice>* device) override;
    void Sleep(uint32_t milliseconds) override;

    // Makes every later call of `operation` (as logged, e.g. "CreateDevice",
    // "SetCooperativeLevel", "Play", "CreateSoundBuffer secondary") answer `code`.
    void Fail(const std::string& operation, int32_t code) { failures_[operation] = code; }
    void Heal(const std::string& operation) { failures_.erase(operation); }
    // What InitializeCom answers when it succeeds: S_OK, or S_FALSE when COM was already
    // initialised on the thread.
    void ComAlreadyInitialized() { comAlready_ = true; }
    // Secondary buffers are handed out with their memory lost (see LoseMemory).
    void LoseNewBuffers(int restoresBeforeBack) { newBuffersLost_ = restoresBeforeBack; }
    // The largest buffer the device accepts.
    void LimitBufferBytes(uint32_t bytes) { maxBufferBytes_ = bytes; }
    // A faulty layer: Lock succeeds but hands out at most `bytes` bytes (a null region
    // for 0).
    void ShortenLocks(uint32_t bytes) { lockLimit_ = bytes; }

    std::vector<std::string>& Log() { return log_; }
    int ComDepth() const { return comDepth_; }
    int LiveDevices() const { return liveDevices_; }
    int LiveBuffers() const { return liveBuffers_; }
    // The buffer made last (null once it was released).
    FakeSoundBuffer* LastBuffer() const { return lastBuffer_; }
    const std::vector<uint8_t>& PrimaryFormat() const { return primaryFormat_; }
    uint64_t Now() const { return clock_(); }
    uint64_t SleptMs() const { return sleptMs_; }

  private:
    friend class FakeSoundBuffer;
    friend class FakeSoundDevice;

    // The code `operation` was told to fail with, or 0.
    int32_t FailureFor(const std::string& operation) const;

    std::function<uint64_t()> clock_;
    std::map<std::string, int32_t> failures_;
    std::vector<std::string> log_;
    std::vector<uint8_t> primaryFormat_;
    bool comAlready_ = false;
    int comDepth_ = 0;
    int liveDevices_ = 0;
    int liveBuffers_ = 0;
    int buffersMade_ = 0;
    uint32_t maxBufferBytes_ = 0xFFFFFFFFu;
    uint32_t lockLimit_ = 0xFFFFFFFFu;
    uint64_t sleptMs_ = 0;
    int newBuffersLost_ = -1;
    FakeSoundBuffer* lastBuffer_ = nullptr;
};

#endif
