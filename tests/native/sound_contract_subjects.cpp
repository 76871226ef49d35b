// The buffer contract on a virtual clock: the fake device, the streaming buffer over a
// fake ring of 1000 bytes (125 ms) fed every 10 ms, and the software mixer pulled by an
// output that holds 20 ms.
#include "sound/mixer/software_mixer.h"
#include "sound/streaming_buffer.h"
#include "tests/common/sound_contract.h"
#include "tests/native/clock_output.h"
#include "tests/native/fake_sound.h"

namespace {

class FakeSubject : public SoundContractSubject {
  public:
    FakeSubject() { system_.CreateDevice(&device_); }
    SoundDevice& Device() override { return *device_; }
    uint32_t BufferBytes() const override { return 8000; }
    bool Until(const std::function<bool()>& done, uint32_t soundMs) override {
        for (uint32_t ms = 0; ms <= soundMs + 20; ++ms) {
            if (done())
                return true;
            Step();
        }
        return done();
    }
    void Pass(uint32_t ms) override {
        while (ms-- > 0)
            Step();
    }

  protected:
    virtual void Step() { ++now_; }

    uint64_t now_ = 0;
    FakeSoundSystem system_{[this] { return now_; }};
    std::unique_ptr<SoundDevice> device_;
};

class StreamingSubject final : public FakeSubject, private SoundDevice {
  public:
    SoundDevice& Device() override { return *this; }

  private:
    int32_t SetCooperativeLevel(void* window, uint32_t level) override {
        return device_->SetCooperativeLevel(window, level);
    }
    int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                              std::unique_ptr<SoundBuffer>* buffer) override {
        const int32_t result = StreamingSoundBuffer::Create(*device_, description, 1000, 0, buffer);
        made_ = static_cast<StreamingSoundBuffer*>(buffer->get());
        return result;
    }
    void Step() override {
        FakeSubject::Step();
        if (made_ != nullptr && now_ % 10 == 0)
            made_->Feed();
    }

    StreamingSoundBuffer* made_ = nullptr;
};

class SoftwareSubject final : public SoundContractSubject {
  public:
    SoundDevice& Device() override { return device_; }
    uint32_t BufferBytes() const override { return 8000; }
    bool Until(const std::function<bool()>& done, uint32_t soundMs) override {
        for (uint32_t ms = 0; ms <= soundMs + 100; ++ms) {
            if (done())
                return true;
            output_.Run(device_, 1);
        }
        return done();
    }
    void Pass(uint32_t ms) override { output_.Run(device_, ms); }

  private:
    ClockOutput output_{960, 48000};
    SoftwareSoundDevice device_{output_, 48000};
};

INSTANTIATE_TEST_SUITE_P(
    Native, SoundContractTest,
    ::testing::Values(SoundContractParam{"Fake", [] { return std::make_unique<FakeSubject>(); }},
                      SoundContractParam{"StreamingOverFake",
                                         [] { return std::make_unique<StreamingSubject>(); }},
                      SoundContractParam{"SoftwareMixer",
                                         [] { return std::make_unique<SoftwareSubject>(); }}),
    SoundContractName);

}  // namespace
