#include "tests/native/fake_sound.h"

#include <cstring>

#include "base/result.h"
#include "sound/buffer_position.h"
#include "sound/static_buffer.h"

namespace {

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

}  // namespace

FakeSoundBuffer::FakeSoundBuffer(FakeSoundSystem& system, const SoundBufferDescription& d,
                                 int serial)
    : system_(system), flags_(d.flags), data_(d.bufferBytes), serial_(serial) {
    if (d.format != nullptr) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(d.format);
        format_.assign(bytes, bytes + sizeof(WaveFormat) + d.format->cbSize);
        frequency_ = d.format->nSamplesPerSec;
    }
    ++system_.liveBuffers_;
    system_.lastBuffer_ = this;
    lastUpdateMs_ = system_.Now();
}

FakeSoundBuffer::~FakeSoundBuffer() {
    system_.log_.push_back(Primary() ? "Release primary"
                                     : "Release buffer " + std::to_string(serial_));
    --system_.liveBuffers_;
    if (system_.lastBuffer_ == this)
        system_.lastBuffer_ = nullptr;
}

int32_t FakeSoundBuffer::Fails(const char* operation) const {
    return system_.FailureFor(operation);
}

void FakeSoundBuffer::Update() {
    const uint64_t now = system_.Now();
    const uint64_t elapsed = now - lastUpdateMs_;
    lastUpdateMs_ = now;
    if (!playing_ || data_.empty())
        return;
    const WaveFormat* format = reinterpret_cast<const WaveFormat*>(format_.data());
    const uint64_t bytesPerSecond = uint64_t{frequency_} * format->nBlockAlign;
    const uint64_t numerator = pendingNumerator_ + elapsed * bytesPerSecond;
    uint64_t advance = numerator / 1000;
    pendingNumerator_ = numerator % 1000;
    const uint32_t size = Size();
    while (advance > 0 && playing_) {
        const uint64_t room = size - cursor_;
        const uint64_t step = advance < room ? advance : room;
        if (step > 0) {
            if (!heard_.empty() && heard_.back().second == cursor_) {
                heard_.back().second = static_cast<uint32_t>(cursor_ + step);
            } else {
                heard_.push_back({cursor_, static_cast<uint32_t>(cursor_ + step)});
            }
        }
        cursor_ = static_cast<uint32_t>(cursor_ + step);
        advance -= step;
        if (cursor_ >= size) {
            if (looping_) {
                cursor_ = 0;
            } else {
                playing_ = false;  // the end of a sound that does not loop
                cursor_ = CURSOR_AFTER_END;
                pendingNumerator_ = 0;
            }
        }
    }
}

bool FakeSoundBuffer::Playing() {
    Update();
    return playing_;
}

uint32_t FakeSoundBuffer::Cursor() {
    Update();
    return cursor_;
}

const std::vector<std::pair<uint32_t, uint32_t>>& FakeSoundBuffer::Heard() {
    Update();
    return heard_;
}

int32_t FakeSoundBuffer::GetStatus(uint32_t* status) {
    system_.log_.push_back("GetStatus");
    if (int32_t code = Fails("GetStatus"))
        return code;
    Update();
    *status = (playing_ ? SOUND_STATUS_PLAYING : 0) | (lost_ ? SOUND_STATUS_BUFFERLOST : 0);
    return S_OK;
}

int32_t FakeSoundBuffer::Restore() {
    system_.log_.push_back("Restore");
    if (int32_t code = Fails("Restore"))
        return code;
    if (!lost_)
        return S_OK;
    if (restoresLeft_ > 0) {
        --restoresLeft_;
        return SOUND_ERR_BUFFERLOST;
    }
    lost_ = false;
    return S_OK;
}

int32_t FakeSoundBuffer::Lock(uint32_t offset, uint32_t bytes, void** region,
                              uint32_t* regionBytes) {
    system_.log_.push_back("Lock " + std::to_string(offset) + " " + std::to_string(bytes));
    *region = nullptr;
    *regionBytes = 0;
    if (int32_t code = Fails("Lock"))
        return code;
    if (lost_)
        return SOUND_ERR_BUFFERLOST;
    if (uint64_t{offset} + bytes > data_.size() || locked_)
        return E_INVALIDARG;
    locked_ = true;
    *regionBytes = bytes < system_.lockLimit_ ? bytes : system_.lockLimit_;
    *region = *regionBytes == 0 ? nullptr : data_.data() + offset;
    return S_OK;
}

int32_t FakeSoundBuffer::Unlock(void* region, uint32_t regionBytes) {
    system_.log_.push_back("Unlock " + std::to_string(regionBytes));
    if (!locked_ || region == nullptr)
        return E_INVALIDARG;
    locked_ = false;
    return S_OK;
}

int32_t FakeSoundBuffer::Play(uint32_t flags) {
    system_.log_.push_back("Play " + std::to_string(flags));
    if (int32_t code = Fails("Play"))
        return code;
    if (lost_)
        return SOUND_ERR_BUFFERLOST;
    Update();
    looping_ = (flags & SOUND_PLAY_LOOPING) != 0;
    uint32_t from = 0;
    playing_ = PlayStart(cursor_, Size(), looping_, &from);
    if (playing_)
        cursor_ = from;
    return S_OK;
}

int32_t FakeSoundBuffer::Stop() {
    system_.log_.push_back("Stop");
    if (int32_t code = Fails("Stop"))
        return code;
    Update();
    playing_ = false;
    return S_OK;
}

int32_t FakeSoundBuffer::GetCurrentPosition(uint32_t* playCursor) {
    system_.log_.push_back("GetCurrentPosition");
    if (int32_t code = Fails("GetCurrentPosition"))
        return code;
    Update();
    *playCursor = cursor_;
    return S_OK;
}

int32_t FakeSoundBuffer::SetCurrentPosition(uint32_t position) {
    system_.log_.push_back("SetCurrentPosition " + std::to_string(position));
    if (int32_t code = Fails("SetCurrentPosition"))
        return code;
    Update();
    uint32_t from = 0;
    if (CursorMoveTarget(position, Size(), playing_ && looping_, &from)) {
        cursor_ = from;
    } else {
        cursor_ = Size();
        playing_ = false;
    }
    pendingNumerator_ = 0;
    return S_OK;
}

int32_t FakeSoundBuffer::SetFrequency(uint32_t frequency) {
    system_.log_.push_back("SetFrequency " + std::to_string(frequency));
    if (int32_t code = Fails("SetFrequency"))
        return code;
    Update();
    frequency_ = frequency;
    return S_OK;
}

int32_t FakeSoundBuffer::SetPan(int32_t pan) {
    system_.log_.push_back("SetPan " + std::to_string(pan));
    if (int32_t code = Fails("SetPan"))
        return code;
    pan_ = pan;
    return S_OK;
}

int32_t FakeSoundBuffer::SetVolume(int32_t volume) {
    system_.log_.push_back("SetVolume " + std::to_string(volume));
    if (int32_t code = Fails("SetVolume"))
        return code;
    volume_ = volume;
    return S_OK;
}

int32_t FakeSoundBuffer::SetFormat(const WaveFormat* format) {
    system_.log_.push_back("SetFormat");
    if (int32_t code = Fails("SetFormat"))
        return code;
    if (!Primary())
        return E_INVALIDARG;
    const auto* bytes = reinterpret_cast<const uint8_t*>(format);
    system_.primaryFormat_.assign(bytes, bytes + sizeof(WaveFormat));
    return S_OK;
}

FakeSoundDevice::~FakeSoundDevice() {
    system_.log_.push_back("Release device");
    --system_.liveDevices_;
}

int32_t FakeSoundDevice::SetCooperativeLevel(void*, uint32_t level) {
    system_.log_.push_back("SetCooperativeLevel " + std::to_string(level));
    return system_.FailureFor("SetCooperativeLevel");
}

int32_t FakeSoundDevice::CreateSoundBuffer(const SoundBufferDescription& d,
                                           std::unique_ptr<SoundBuffer>* buffer) {
    const bool primary = (d.flags & SOUND_CAPS_PRIMARY) != 0;
    const std::string name = primary ? "CreateSoundBuffer primary" : "CreateSoundBuffer secondary";
    system_.log_.push_back(primary ? name
                                   : name + " flags=" + Hex(d.flags) +
                                         " bytes=" + std::to_string(d.bufferBytes));
    buffer->reset();
    if (int32_t code = system_.FailureFor(name))
        return code;
    if (d.decoded)
        return E_NOTIMPL;  // DirectSound's buffers hold only what was written into them
    if (!primary &&
        (d.format == nullptr || d.bufferBytes == 0 || d.bufferBytes > system_.maxBufferBytes_)) {
        return E_INVALIDARG;
    }
    auto made = std::make_unique<FakeSoundBuffer>(system_, d, ++system_.buffersMade_);
    if (!primary && system_.newBuffersLost_ >= 0)
        made->LoseMemory(system_.newBuffersLost_);
    *buffer = std::move(made);
    return S_OK;
}

int32_t FakeSoundSystem::InitializeCom() {
    log_.push_back("CoInitialize");
    if (int32_t code = FailureFor("CoInitialize"))
        return code;
    const int32_t result = comAlready_ || comDepth_ > 0 ? S_FALSE : S_OK;
    ++comDepth_;
    return result;
}

int32_t FakeSoundSystem::FailureFor(const std::string& operation) const {
    auto it = failures_.find(operation);
    return it == failures_.end() ? 0 : it->second;
}

void FakeSoundSystem::UninitializeCom() {
    log_.push_back("CoUninitialize");
    --comDepth_;
}

int32_t FakeSoundSystem::CreateDevice(std::unique_ptr<SoundDevice>* device) {
    log_.push_back("DirectSoundCreate");
    device->reset();
    if (int32_t code = FailureFor("DirectSoundCreate"))
        return code;
    *device = std::make_unique<FakeSoundDevice>(*this);
    ++liveDevices_;
    return S_OK;
}

void FakeSoundSystem::Sleep(uint32_t milliseconds) {
    log_.push_back("Sleep " + std::to_string(milliseconds));
    sleptMs_ += milliseconds;
}
