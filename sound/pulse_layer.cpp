#include "sound/pulse_layer.h"

#include <pulse/pulseaudio.h>

#include <chrono>
#include <new>
#include <thread>

#include "app/result.h"
#include "sound/software_mixer.h"

namespace {

constexpr int32_t kNoDriver = static_cast<int32_t>(0x88780078u);  // DSERR_NODRIVER
constexpr uint32_t kFrameBytes = 4;
// What the stream keeps queued: short, because Stop lets it play out; asked for in pieces
// of half of it, so that the loop wakes 50 times a second.
constexpr pa_usec_t kTargetLatencyUs = 40000;
constexpr pa_usec_t kRequestUs = 20000;

class PulseSoundDevice final : public SoundDevice, private SoftwareOutput {
  public:
    ~PulseSoundDevice() override { Close(); }

    // Connects to the default server and starts the stream; false when either fails.
    bool Open() {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr)
            return false;
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Velmorin");
        if (context_ == nullptr)
            return false;
        pa_context_set_state_callback(context_, &PulseSoundDevice::OnContextState, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            return false;
        pa_threaded_mainloop_lock(loop_);
        if (pa_threaded_mainloop_start(loop_) < 0) {
            pa_threaded_mainloop_unlock(loop_);
            return false;
        }
        started_ = true;
        bool ready = WaitFor([this] { return pa_context_get_state(context_); }, PA_CONTEXT_READY) &&
                     OpenStream();
        pa_threaded_mainloop_unlock(loop_);
        return ready;
    }

    int32_t SetCooperativeLevel(void* window, uint32_t level) override {
        return mixer_.SetCooperativeLevel(window, level);
    }
    int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                              std::unique_ptr<SoundBuffer>* buffer) override {
        return mixer_.CreateSoundBuffer(description, buffer);
    }

  private:
    // The stream's playback time, in output frames: what has been heard.
    uint64_t HeardFrames() override {
        pa_usec_t played = 0;
        pa_threaded_mainloop_lock(loop_);
        const bool known = stream_ != nullptr && pa_stream_get_time(stream_, &played) == 0;
        pa_threaded_mainloop_unlock(loop_);
        const uint64_t rendered = mixer_.RenderedFrames();
        if (!known)
            return 0;
        const uint64_t heard = played * SoftwareSoundDevice::OUTPUT_RATE / 1000000;
        return heard < rendered ? heard : rendered;
    }

    // With the loop locked: waits until `state()` is `wanted`, false once it cannot be.
    template <typename State, typename Value>
    bool WaitFor(State state, Value wanted) {
        for (;;) {
            const Value now = state();
            if (now == wanted)
                return true;
            if (!PA_CONTEXT_IS_GOOD(
                    static_cast<pa_context_state_t>(pa_context_get_state(context_))) ||
                (stream_ != nullptr && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_))))
                return false;
            pa_threaded_mainloop_wait(loop_);
        }
    }

    bool OpenStream() {
        const pa_sample_spec spec{PA_SAMPLE_S16LE, SoftwareSoundDevice::OUTPUT_RATE, 2};
        stream_ = pa_stream_new(context_, "Velmorin", &spec, nullptr);
        if (stream_ == nullptr)
            return false;
        pa_stream_set_state_callback(stream_, &PulseSoundDevice::OnStreamState, this);
        pa_stream_set_write_callback(stream_, &PulseSoundDevice::OnWrite, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &spec));
        attr.prebuf = static_cast<uint32_t>(-1);
        attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(kRequestUs, &spec));
        attr.fragsize = static_cast<uint32_t>(-1);
        const auto flags = static_cast<pa_stream_flags_t>(
            PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return false;
        return WaitFor([this] { return pa_stream_get_state(stream_); }, PA_STREAM_READY);
    }

    void Close() {
        if (started_) {
            pa_threaded_mainloop_lock(loop_);
            if (stream_ != nullptr) {
                pa_stream_set_write_callback(stream_, nullptr, nullptr);
                pa_stream_set_state_callback(stream_, nullptr, nullptr);
                pa_stream_disconnect(stream_);
            }
            if (context_ != nullptr) {
                pa_context_set_state_callback(context_, nullptr, nullptr);
                pa_context_disconnect(context_);
            }
            pa_threaded_mainloop_unlock(loop_);
            pa_threaded_mainloop_stop(loop_);
        }
        if (stream_ != nullptr)
            pa_stream_unref(stream_);
        if (context_ != nullptr)
            pa_context_unref(context_);
        if (loop_ != nullptr)
            pa_threaded_mainloop_free(loop_);
        stream_ = nullptr;
        context_ = nullptr;
        loop_ = nullptr;
    }

    static void OnContextState(pa_context*, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseSoundDevice*>(self)->loop_, 0);
    }
    static void OnStreamState(pa_stream*, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseSoundDevice*>(self)->loop_, 0);
    }
    // On the loop's thread: the mix of whatever plays, silence when nothing does, so that
    // the stream's clock runs on.
    static void OnWrite(pa_stream* stream, size_t bytes, void* self) {
        auto* device = static_cast<PulseSoundDevice*>(self);
        while (bytes >= kFrameBytes) {
            void* data = nullptr;
            size_t room = bytes;
            if (pa_stream_begin_write(stream, &data, &room) < 0 || data == nullptr)
                return;
            room -= room % kFrameBytes;
            if (room == 0) {
                pa_stream_cancel_write(stream);
                return;
            }
            device->mixer_.Render(static_cast<int16_t*>(data), room / kFrameBytes);
            if (pa_stream_write(stream, data, room, nullptr, 0, PA_SEEK_RELATIVE) < 0)
                return;
            bytes -= room;
        }
    }

    SoftwareSoundDevice mixer_{*this};
    pa_threaded_mainloop* loop_ = nullptr;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool started_ = false;
};

}  // namespace

int32_t PulseSoundSystem::InitializeCom() {
    return S_OK;
}

void PulseSoundSystem::UninitializeCom() {}

int32_t PulseSoundSystem::CreateDevice(std::unique_ptr<SoundDevice>* device) {
    device->reset();
    std::unique_ptr<PulseSoundDevice> opened(new (std::nothrow) PulseSoundDevice);
    if (!opened)
        return E_OUTOFMEMORY;
    if (!opened->Open())
        return kNoDriver;
    *device = std::move(opened);
    return S_OK;
}

void PulseSoundSystem::Sleep(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
