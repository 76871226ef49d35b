// The PulseAudio layer against a running server (the e2e layer's private daemon with a null
// sink): the buffer contract in real time, and the start-up failure without a server.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "sound/sound_layer.h"
#include "tests/common/sound_contract.h"

namespace {

class PulseSubject final : public SoundContractSubject {
  public:
    PulseSubject() { system_->CreateDevice(&device_); }
    SoundDevice& Device() override { return *device_; }
    uint32_t BufferBytes() const override { return 8000; }
    // Real time: polls until the condition holds, allowing a busy machine many times the
    // length of the sound.
    bool Until(const std::function<bool()>& done, uint32_t soundMs) override {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(10 * soundMs + 5000);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    void Pass(uint32_t ms) override { system_->Sleep(ms); }

  private:
    std::unique_ptr<SoundSystem> system_ = CreatePlatformSoundSystem();
    std::unique_ptr<SoundDevice> device_;
};

INSTANTIATE_TEST_SUITE_P(Pulse, SoundContractTest,
                         ::testing::Values(SoundContractParam{
                             "Stream", [] { return std::make_unique<PulseSubject>(); }}),
                         SoundContractName);

TEST(PulseLayerTest, WithoutAServerCreateDeviceFailsAndLeavesNoDevice) {
    const char* saved = std::getenv("PULSE_SERVER");
    const std::string server = saved != nullptr ? saved : "";
    setenv("PULSE_SERVER", "unix:/nonexistent/velmorin-no-server", 1);
    const std::unique_ptr<SoundSystem> system = CreatePlatformSoundSystem();
    std::unique_ptr<SoundDevice> device;
    const int32_t result = system->CreateDevice(&device);
    if (saved != nullptr) {
        setenv("PULSE_SERVER", server.c_str(), 1);
    } else {
        unsetenv("PULSE_SERVER");
    }
    EXPECT_LT(result, 0);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(system->InitializeCom(), 0);  // nothing to initialise
}

}  // namespace
