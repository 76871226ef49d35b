// The buffer contract under the real DirectSound, in real time: a static buffer, and one
// above DSBSIZE_MAX that the layer streams.
#include "base/win32_headers.h"

#include "sound/sound_layer.h"
#include "tests/common/sound_contract.h"

namespace {

class DirectSoundSubject final : public SoundContractSubject {
  public:
    explicit DirectSoundSubject(uint32_t bytes) : bytes_(bytes) {
        CoInitialize(nullptr);
        window_ = CreateWindowExA(0, "STATIC", "sound owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
        if (system_->CreateDevice(&device_) >= 0)
            device_->SetCooperativeLevel(window_, SOUND_COOP_PRIORITY);
    }
    ~DirectSoundSubject() override {
        device_.reset();
        DestroyWindow(window_);
        CoUninitialize();
    }
    SoundDevice& Device() override { return *device_; }
    uint32_t BufferBytes() const override { return bytes_; }
    // Real time: polls until the condition holds, allowing a busy machine many times the
    // length of the sound.
    bool Until(const std::function<bool()>& done, uint32_t soundMs) override {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > 10 * soundMs + 5000)
                return false;
            Sleep(2);
        }
        return true;
    }
    void Pass(uint32_t ms) override { Sleep(ms); }

  private:
    uint32_t bytes_;
    HWND window_ = nullptr;
    std::unique_ptr<SoundSystem> system_ = CreatePlatformSoundSystem();
    std::unique_ptr<SoundDevice> device_;
};

INSTANTIATE_TEST_SUITE_P(
    DirectSound, SoundContractTest,
    ::testing::Values(
        SoundContractParam{"Static", [] { return std::make_unique<DirectSoundSubject>(8000); }},
        SoundContractParam{
            "Streamed",
            [] { return std::make_unique<DirectSoundSubject>(DSBSIZE_MAX + 1 + 8000); }}),
    SoundContractName);

}  // namespace
