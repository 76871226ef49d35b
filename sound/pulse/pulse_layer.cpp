// The sound layer over PulseAudio (and PipeWire through its PulseAudio server): a playback
// stream of 16-bit stereo at the default sink's own rate, fed by the software mixer from
// the client library's threaded main loop. The stream holds 400 ms ahead and gives back
// what it holds at every change of the mix, and runs only while there is sound to hear.
// A server that goes away loses nothing: the cursor stands at what was heard last, the
// server is looked for again four times a second, and the sound goes on once it is back.
// CreateDevice fails with DSERR_NODRIVER's code when no server answers at first; there is
// no COM, and windows and cooperation levels are ignored.
#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <thread>
#include <utility>

#include "base/result.h"
#include "sound/mixer/software_mixer.h"
#include "sound/sound_layer.h"

namespace {

constexpr int32_t kNoDriver = static_cast<int32_t>(0x88780078u);  // DSERR_NODRIVER
constexpr uint32_t kFrameBytes = 4;
// What the stream holds ahead of what is heard: long, so that the server and this process
// wake rarely and a late wake-up is not heard; every change takes it back (MixChanged).
constexpr pa_usec_t kTargetLatencyUs = 400000;
// Asked for in pieces of a quarter of that.
constexpr pa_usec_t kRequestUs = 100000;
// What a change renders at once: all the stream holds, so that a server that asks late
// for more (PipeWire's did, 290 to 334 ms after a resume, on a busy machine) finds it there.
constexpr pa_usec_t kAfterChangeUs = kTargetLatencyUs;
// Playback begins once this much is there.
constexpr pa_usec_t kStartUs = 10000;
// How often a lost server is looked for again.
constexpr pa_usec_t kRetryUs = 250000;
constexpr uint32_t kFallbackRate = 48000;

// A request the library could not make (the stream or the server is going away) gives no
// operation; there is nothing to release then.
void Release(pa_operation* operation) {
    if (operation != nullptr)
        pa_operation_unref(operation);
}

class PulseSoundDevice final : public SoundDevice, private SoftwareOutput {
  public:
    // `live` names the device while it lives, for its system.
    explicit PulseSoundDevice(PulseSoundDevice** live) : live_(live) { *live_ = this; }
    ~PulseSoundDevice() override {
        if (*live_ == this)
            *live_ = nullptr;
        Close();
    }

    void KeepPitch(bool keep) { mixer_.KeepPitch(keep); }

    // Connects to the default server and makes the stream at its default sink's rate;
    // false when no server answers.
    bool Open() {
        loop_ = pa_threaded_mainloop_new();
        if (loop_ == nullptr || pa_threaded_mainloop_start(loop_) < 0)
            return false;
        started_ = true;
        pa_threaded_mainloop_lock(loop_);
        retrying_ = false;  // only a server that was there is waited for
        Connect();
        while (!ready_ && !failed_)
            pa_threaded_mainloop_wait(loop_);
        const bool ready = ready_;
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
    // What has been heard: the stream's playback time, counted on from where the mixer
    // stood when the stream began; while the server is away, what was heard last.
    uint64_t HeardFrames() override {
        pa_threaded_mainloop_lock(loop_);
        const uint64_t heard = Heard();
        pa_threaded_mainloop_unlock(loop_);
        return heard;
    }

    void MixChanged(SoftwareSoundDevice&, uint64_t at) override {
        pa_threaded_mainloop_lock(loop_);
        Refresh();
        Sync(at);
        pa_threaded_mainloop_unlock(loop_);
    }

    // From outside the loop's thread: asks the server where the stream is, so that what
    // follows goes by what is heard now rather than by a clock running on from the last
    // answer.
    void Refresh() {
        if (!ready_)
            return;
        pa_operation* update =
            pa_stream_update_timing_info(stream_, &PulseSoundDevice::OnTimingInfo, this);
        while (update != nullptr && pa_operation_get_state(update) == PA_OPERATION_RUNNING)
            pa_threaded_mainloop_wait(loop_);
        if (update != nullptr)
            pa_operation_unref(update);
    }

    static void OnTimingInfo(pa_stream*, int, void* self) {
        pa_threaded_mainloop_signal(static_cast<PulseSoundDevice*>(self)->loop_, 0);
    }

    // Everything below with the loop locked.

    // The stream's read position less what the sink holds, and since the server said so
    // the time gone by while it plays. (The library's own interpolated clock runs on while
    // a stream that never played is corked, and then stands far ahead for seconds.)
    uint64_t Heard() {
        const pa_timing_info* timing = ready_ ? pa_stream_get_timing_info(stream_) : nullptr;
        if (timing == nullptr || timing->read_index_corrupt)
            return heard_;
        auto frames = static_cast<double>(timing->read_index / kFrameBytes) -
                      static_cast<double>(timing->sink_usec) * rate_ / 1e6;
        if (timing->playing && !corked_)
            frames += static_cast<double>(pa_timeval_age(&timing->timestamp)) * rate_ / 1e6;
        const uint64_t heard = base_ + static_cast<uint64_t>(std::max(0.0, frames));
        heard_ = std::max(heard_, std::min(heard, mixer_.RenderedFrames()));
        return heard_;
    }

    // Takes back what the stream holds, goes on from the frame the change was made at (what
    // has been played since, the server leaves out), and runs the stream only while there is
    // sound to hear.
    void Sync(uint64_t at) {
        if (!ready_)
            return;  // the server is away: the mix is heard once it is back
        const uint64_t heard = Heard();
        const uint64_t written = mixer_.RenderedFrames();
        mixer_.Rewind(std::max(base_, std::min(at, heard)), rate_);
        seek_ = true;
        if (!mixer_.Sounding(heard)) {
            Release(pa_stream_flush(stream_, nullptr, nullptr));
            Cork(true);
            return;
        }
        if (corked_)
            FillGap();
        // The new sound is written over the old, up to its end, in one message: a server
        // that took a flush and the write in two turns would play silence between them.
        const size_t over = (written - mixer_.RenderedFrames()) * kFrameBytes;
        Write(std::max(pa_usec_to_bytes(kAfterChangeUs, &spec_), over));
        Cork(false);
    }

    void Cork(bool cork) {
        if (cork == corked_)
            return;
        corked_ = cork;
        Release(pa_stream_cork(stream_, cork ? 1 : 0, nullptr, nullptr));
        // The last word on where the stream is came while it stood; the next one says it
        // plays, so that the clock runs on from there.
        if (!cork)
            Release(pa_stream_update_timing_info(stream_, nullptr, nullptr));
    }

    // A stopped stream holds nothing past where the server had read, and the frame heard
    // that the sound goes on from may lie past it (the clock runs on between the server's
    // reads). PulseAudio plays such a gap as silence, PipeWire's server as whatever it held
    // there before the flush: the sound after the stop. So it is written as silence here.
    void FillGap() {
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
        if (timing == nullptr || timing->write_index_corrupt)
            return;
        const auto at = static_cast<int64_t>((mixer_.RenderedFrames() - base_) * kFrameBytes);
        int64_t gap = at - timing->write_index;
        if (gap > static_cast<int64_t>(pa_usec_to_bytes(kTargetLatencyUs, &spec_)))
            return;  // not a gap the clock left
        while (gap >= static_cast<int64_t>(kFrameBytes)) {
            void* data = nullptr;
            size_t room = static_cast<size_t>(gap);
            if (pa_stream_begin_write(stream_, &data, &room) < 0 || data == nullptr)
                return;
            room = std::min(room, static_cast<size_t>(gap));
            room -= room % kFrameBytes;
            if (room == 0) {
                pa_stream_cancel_write(stream_);
                return;
            }
            std::memset(data, 0, room);
            if (pa_stream_write(stream_, data, room, nullptr, at - gap, PA_SEEK_ABSOLUTE) < 0)
                return;
            gap -= static_cast<int64_t>(room);
        }
    }

    // Renders `bytes` of the mix where the stream plays it: the mixer's frames and the
    // stream's positions go one to one from base_.
    void Write(size_t bytes) {
        while (bytes >= kFrameBytes) {
            void* data = nullptr;
            size_t room = bytes;
            if (pa_stream_begin_write(stream_, &data, &room) < 0 || data == nullptr)
                return;
            room = std::min(room, bytes);
            room -= room % kFrameBytes;
            if (room == 0) {
                pa_stream_cancel_write(stream_);
                return;
            }
            // After a change the first piece goes where the mixer's frame stands (a server
            // that can takes back what it had played ahead of it); the rest follows on.
            const auto at =
                seek_ ? static_cast<int64_t>((mixer_.RenderedFrames() - base_) * kFrameBytes) : 0;
            mixer_.Render(static_cast<int16_t*>(data), room / kFrameBytes);
            if (pa_stream_write(stream_, data, room, nullptr, at,
                                seek_ ? PA_SEEK_ABSOLUTE : PA_SEEK_RELATIVE) < 0)
                return;
            seek_ = false;
            bytes -= room;
        }
    }

    void Connect() {
        context_ = pa_context_new(pa_threaded_mainloop_get_api(loop_), "Velmorin");
        if (context_ == nullptr) {
            Lost();
            return;
        }
        pa_context_set_state_callback(context_, &PulseSoundDevice::OnContextState, this);
        if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
            Lost();
    }

    void OpenStream(uint32_t rate) {
        rate_ = rate;
        spec_ = pa_sample_spec{PA_SAMPLE_S16LE, rate, 2};
        stream_ = pa_stream_new(context_, "Velmorin", &spec_, nullptr);
        if (stream_ == nullptr) {
            Lost();
            return;
        }
        pa_stream_set_state_callback(stream_, &PulseSoundDevice::OnStreamState, this);
        pa_stream_set_write_callback(stream_, &PulseSoundDevice::OnWrite, this);
        pa_stream_set_underflow_callback(stream_, &PulseSoundDevice::OnUnderflow, this);
        pa_buffer_attr attr{};
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = static_cast<uint32_t>(pa_usec_to_bytes(kTargetLatencyUs, &spec_));
        attr.prebuf = static_cast<uint32_t>(pa_usec_to_bytes(kStartUs, &spec_));
        attr.minreq = static_cast<uint32_t>(pa_usec_to_bytes(kRequestUs, &spec_));
        attr.fragsize = static_cast<uint32_t>(-1);
        corked_ = true;
        const auto flags =
            static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_AUTO_TIMING_UPDATE);
        if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0)
            Lost();
    }

    // The server went away, or could not be reached: the mix waits, its cursor standing at
    // what was heard last, and the server is looked for again.
    void Lost() {
        ready_ = false;
        Drop();
        if (!retrying_) {
            failed_ = true;
            pa_threaded_mainloop_signal(loop_, 0);
            return;
        }
        pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
        if (retry_ == nullptr) {
            retry_ = api->time_new(api, nullptr, &PulseSoundDevice::OnRetry, this);
        }
        timeval when{};
        pa_timeval_add(pa_gettimeofday(&when), kRetryUs);
        api->time_restart(retry_, &when);
    }

    // Disconnecting makes the library tell the context's streams they ended, from inside
    // this call: the members are cleared first, so that a callback that comes then finds
    // nothing left to drop and is ignored.
    void Drop() {
        if (pa_stream* stream = std::exchange(stream_, nullptr)) {
            pa_stream_set_state_callback(stream, nullptr, nullptr);
            pa_stream_set_write_callback(stream, nullptr, nullptr);
            pa_stream_set_underflow_callback(stream, nullptr, nullptr);
            pa_stream_disconnect(stream);
            pa_stream_unref(stream);
        }
        if (pa_context* context = std::exchange(context_, nullptr)) {
            pa_context_set_state_callback(context, nullptr, nullptr);
            pa_context_disconnect(context);
            pa_context_unref(context);
        }
    }

    void Close() {
        if (started_) {
            pa_threaded_mainloop_lock(loop_);
            if (retry_ != nullptr) {
                pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop_);
                api->time_free(retry_);
                retry_ = nullptr;
            }
            ready_ = false;
            Drop();
            pa_threaded_mainloop_unlock(loop_);
            pa_threaded_mainloop_stop(loop_);
        }
        if (loop_ != nullptr)
            pa_threaded_mainloop_free(loop_);
        loop_ = nullptr;
    }

    static void OnContextState(pa_context* context, void* self) {
        auto* device = static_cast<PulseSoundDevice*>(self);
        if (context != device->context_)
            return;  // one already dropped
        switch (pa_context_get_state(context)) {
            case PA_CONTEXT_READY:
                Release(pa_context_get_server_info(context, &PulseSoundDevice::OnServerInfo, self));
                break;
            case PA_CONTEXT_FAILED:
            case PA_CONTEXT_TERMINATED:
                device->Lost();
                break;
            default:
                break;
        }
    }

    static void OnServerInfo(pa_context* context, const pa_server_info* info, void* self) {
        auto* device = static_cast<PulseSoundDevice*>(self);
        device->serverRate_ = info != nullptr ? info->sample_spec.rate : kFallbackRate;
        if (info != nullptr && info->default_sink_name != nullptr) {
            Release(pa_context_get_sink_info_by_name(context, info->default_sink_name,
                                                     &PulseSoundDevice::OnSinkInfo, self));
        } else {
            device->OpenStream(device->serverRate_);
        }
    }

    // The default sink's own rate, so that the server plays the stream without resampling.
    static void OnSinkInfo(pa_context*, const pa_sink_info* info, int last, void* self) {
        auto* device = static_cast<PulseSoundDevice*>(self);
        if (info != nullptr) {
            device->sinkRate_ = info->sample_spec.rate;
            return;
        }
        if (last != 0) {
            const uint32_t rate = device->sinkRate_ != 0 ? device->sinkRate_ : device->serverRate_;
            device->sinkRate_ = 0;
            device->OpenStream(rate != 0 ? rate : kFallbackRate);
        }
    }

    static void OnStreamState(pa_stream* stream, void* self) {
        auto* device = static_cast<PulseSoundDevice*>(self);
        if (stream != device->stream_)
            return;  // one already dropped
        switch (pa_stream_get_state(stream)) {
            case PA_STREAM_READY:
                // The stream's first position plays the mixer's first frame not yet heard.
                device->ready_ = true;
                device->retrying_ = true;
                device->base_ = device->heard_;
                device->Sync(device->heard_);
                pa_threaded_mainloop_signal(device->loop_, 0);
                break;
            case PA_STREAM_FAILED:
            case PA_STREAM_TERMINATED:
                device->Lost();
                break;
            default:
                break;
        }
    }

    static void OnWrite(pa_stream*, size_t bytes, void* self) {
        auto* device = static_cast<PulseSoundDevice*>(self);
        if (device->corked_)
            return;
        // Nothing more to hear: the stream stops, and nothing wakes for it.
        if (!device->mixer_.Sounding(device->Heard())) {
            device->Cork(true);
            return;
        }
        device->Write(bytes);
    }

    // A late refill: the interpolated clock ran on meanwhile, so it is set right at once.
    static void OnUnderflow(pa_stream* stream, void*) {
        Release(pa_stream_update_timing_info(stream, nullptr, nullptr));
    }

    static void OnRetry(pa_mainloop_api*, pa_time_event*, const timeval*, void* self) {
        auto* device = static_cast<PulseSoundDevice*>(self);
        if (device->context_ == nullptr)
            device->Connect();
    }

    SoftwareSoundDevice mixer_{*this, kFallbackRate};
    pa_threaded_mainloop* loop_ = nullptr;
    PulseSoundDevice** live_;
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_time_event* retry_ = nullptr;
    pa_sample_spec spec_{PA_SAMPLE_S16LE, kFallbackRate, 2};
    uint32_t rate_ = kFallbackRate;
    uint32_t serverRate_ = 0;
    uint32_t sinkRate_ = 0;
    uint64_t base_ = 0;   // the mixer's frame at the stream's first position
    uint64_t heard_ = 0;  // heard so far, in the mixer's frames; never goes back
    bool started_ = false;
    bool ready_ = false;
    bool failed_ = false;
    bool retrying_ = false;
    bool corked_ = true;
    bool seek_ = true;  // the next write goes where the mixer's frame stands
};

// No COM here; a device is a connection to the default server.
class PulseSoundSystem final : public SoundSystem {
  public:
    int32_t InitializeCom() override { return S_OK; }
    void UninitializeCom() override {}
    int32_t CreateDevice(std::unique_ptr<SoundDevice>* device) override {
        device->reset();
        std::unique_ptr<PulseSoundDevice> opened(new (std::nothrow) PulseSoundDevice(&live_));
        if (!opened)
            return E_OUTOFMEMORY;
        if (!opened->Open())
            return kNoDriver;
        opened->KeepPitch(keepPitch_);
        *device = std::move(opened);
        return S_OK;
    }
    void Sleep(uint32_t milliseconds) override {
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
    int32_t KeepPitch(bool keep) override {
        keepPitch_ = keep;
        if (live_ != nullptr)
            live_->KeepPitch(keep);
        return S_OK;
    }

  private:
    PulseSoundDevice* live_ = nullptr;  // the device made last, while it lives
    bool keepPitch_ = false;
};

}  // namespace

std::unique_ptr<SoundSystem> CreatePlatformSoundSystem() {
    return std::make_unique<PulseSoundSystem>();
}
