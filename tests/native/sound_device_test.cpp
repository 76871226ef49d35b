#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "base/result.h"
#include "control/player_state.h"
#include "control/timers.h"
#include "res/resource.h"
#include "sound/sound_output.h"
#include "tests/common/wave_files.h"
#include "tests/native/fake_dialog.h"
#include "tests/native/fake_sound.h"
#include "tests/native/sound_fixture.h"

namespace {

// A RIFF file that writes its closing into the sound system's log, to see when the
// reader lets go of its file among the other releases.
class LoggedFile final : public RiffFile {
  public:
    LoggedFile(std::unique_ptr<RiffFile> inner, std::vector<std::string>& log)
        : inner_(std::move(inner)), log_(log) {}
    ~LoggedFile() override { log_.push_back("Close file"); }
    uint32_t Descend(RiffChunk* c, const RiffChunk* p, uint32_t f) override {
        return inner_->Descend(c, p, f);
    }
    uint32_t Ascend(const RiffChunk* c) override { return inner_->Ascend(c); }
    int32_t Seek(int32_t o) override { return inner_->Seek(o); }
    int32_t Read(void* d, int32_t n) override { return inner_->Read(d, n); }
    uint32_t GetInfo(RiffBufferInfo* i) override { return inner_->GetInfo(i); }
    uint32_t Advance(RiffBufferInfo* i) override { return inner_->Advance(i); }
    uint32_t SetInfo(const RiffBufferInfo* i) override { return inner_->SetInfo(i); }

  private:
    std::unique_ptr<RiffFile> inner_;
    std::vector<std::string>& log_;
};

using SoundDeviceTest = SoundSystemTest;

TEST_F(SoundDeviceTest, OpensTheDeviceWithTheFixedPrimaryFormatAndReleasesThePrimary) {
    EXPECT_EQ(InitSoundDevice(dialog.Window()), 0);
    const std::vector<std::string> expected = {
        "CoInitialize", "DirectSoundCreate", "SetCooperativeLevel 2", "CreateSoundBuffer primary",
        "SetFormat",    "Release primary"};
    EXPECT_EQ(sound.Log(), expected);
    EXPECT_EQ(sound.LiveDevices(), 1);
    EXPECT_EQ(sound.LiveBuffers(), 0);
    EXPECT_NE(SoundOutput.device, nullptr);

    WaveFormat primary;
    ASSERT_EQ(sound.PrimaryFormat().size(), sizeof primary);
    std::memcpy(&primary, sound.PrimaryFormat().data(), sizeof primary);
    EXPECT_EQ(primary.wFormatTag, 1);
    EXPECT_EQ(primary.nChannels, 2);
    EXPECT_EQ(primary.nSamplesPerSec, 22050u);
    EXPECT_EQ(primary.nAvgBytesPerSec, 88200u);
    EXPECT_EQ(primary.nBlockAlign, 4);
    EXPECT_EQ(primary.wBitsPerSample, 16);
    EXPECT_EQ(primary.cbSize, 0);

    sound.Log().clear();
    FreeSoundDevice();
    EXPECT_EQ(sound.Log(), (std::vector<std::string>{"Release device", "CoUninitialize"}));
    EXPECT_EQ(sound.LiveDevices(), 0);
    EXPECT_EQ(sound.ComDepth(), 0);
}

struct FailingStep {
    const char* operation;
    size_t callsMade;    // log entries up to and including the failing one
    bool deviceRemains;  // until FreeSoundDevice
};

class SoundDeviceFailureTest : public SoundDeviceTest,
                               public ::testing::WithParamInterface<FailingStep> {};

TEST_P(SoundDeviceFailureTest, ReturnsTheStepsCodeUndoesNothingAndFreeReleasesIt) {
    const FailingStep step = GetParam();
    const int32_t code = static_cast<int32_t>(0x88780000u + step.callsMade);
    sound.Fail(step.operation, code);
    EXPECT_EQ(InitSoundDevice(dialog.Window()), code);
    // The primary buffer is released even when setting its format failed.
    const size_t expectedCalls = step.callsMade + (std::string(step.operation) == "SetFormat");
    EXPECT_EQ(sound.Log().size(), expectedCalls);
    EXPECT_EQ(sound.LiveDevices(), step.deviceRemains ? 1 : 0);
    EXPECT_EQ(sound.LiveBuffers(), 0);

    FreeSoundDevice();
    EXPECT_EQ(sound.LiveDevices(), 0);
    EXPECT_EQ(sound.ComDepth(), 0);
}

INSTANTIATE_TEST_SUITE_P(Steps, SoundDeviceFailureTest,
                         ::testing::Values(FailingStep{"CoInitialize", 1, false},
                                           FailingStep{"DirectSoundCreate", 2, false},
                                           FailingStep{"SetCooperativeLevel", 3, true},
                                           FailingStep{"CreateSoundBuffer primary", 4, true},
                                           FailingStep{"SetFormat", 5, true}));

TEST_F(SoundDeviceTest, FailedComStartIsNotUninitialised) {
    sound.Fail("CoInitialize", E_OUTOFMEMORY);
    EXPECT_EQ(InitSoundDevice(dialog.Window()), E_OUTOFMEMORY);
    FreeSoundDevice();
    EXPECT_EQ(sound.Log(), std::vector<std::string>{"CoInitialize"});
    EXPECT_EQ(sound.ComDepth(), 0);
}

TEST_F(SoundDeviceTest, ComAlreadyInitialisedStillReadiesTheDeviceAndStaysBalanced) {
    sound.ComAlreadyInitialized();
    EXPECT_EQ(InitSoundDevice(dialog.Window()), 0);  // 0, not S_FALSE: the device is ready
    EXPECT_EQ(sound.ComDepth(), 1);
    FreeSoundDevice();
    EXPECT_EQ(sound.ComDepth(), 0);
    FreeSoundDevice();  // a second free owes COM nothing more
    EXPECT_EQ(sound.ComDepth(), 0);
}

TEST_F(SoundDeviceTest, FreeReleasesReaderThenBufferThenDevice) {
    TempDir dir;
    const std::string path = dir.Write("tone.wav", BuildPcmWave(1, 8000, 8, PatternBytes(4000)));
    ASSERT_EQ(InitSoundDevice(dialog.Window()), 0);
    auto& log = sound.Log();
    SoundOutput.reader = std::make_unique<WaveFileReader>([&log](const char* p) {
        return std::unique_ptr<RiffFile>(std::make_unique<LoggedFile>(OpenRiffFile(p), log));
    });
    ASSERT_EQ(SoundOutput.reader->Open(path.c_str()), S_OK);
    ASSERT_EQ(SoundOutput.device->CreateSoundBuffer(
                  {SOUND_CAPS_STATIC, 4000, SoundOutput.reader->GetFormat()}, &SoundOutput.buffer),
              S_OK);
    log.clear();
    FreeSoundDevice();
    EXPECT_EQ(log, (std::vector<std::string>{"Close file", "Release buffer 2", "Release device",
                                             "CoUninitialize"}));
    EXPECT_EQ(SoundOutput.reader, nullptr);
    EXPECT_EQ(SoundOutput.buffer, nullptr);
    EXPECT_EQ(SoundOutput.device, nullptr);
}

TEST_F(SoundDeviceTest, FailedStartShowsTheBoxEndsWithThreeAndTearsDownQuietly) {
    sound.Fail("SetCooperativeLevel", static_cast<int32_t>(0x88780032u));
    dialog.Start();

    ASSERT_EQ(dialog.Boxes().size(), 1u);
    EXPECT_EQ(dialog.Boxes()[0].text, "Error initializing DirectSound.  Sample will now exit.");
    EXPECT_EQ(dialog.Boxes()[0].caption, "DirectSound Sample");
    EXPECT_EQ(dialog.Boxes()[0].style, MESSAGEBOX_ICONERROR);
    EXPECT_EQ(dialog.Boxes()[0].owner, MessageBoxOwner::MainDialog);
    EXPECT_EQ(dialog.EndCode(), 3);
    EXPECT_TRUE(dialog.Destroyed());

    // Nothing else was set up: no icon, timer, text, slider or hotkey.
    EXPECT_EQ(dialog.BigIcon(), nullptr);
    EXPECT_EQ(dialog.Title(), "Velmorin");
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "Static");
    EXPECT_EQ(dialog.Control(IDC_PAUSE_BACKUP).rangeMax, 100);
    EXPECT_EQ(dialog.Control(IDC_FOCUS_GLOBAL).check, 0u);
    EXPECT_TRUE(dialog.RegisteredHotKeys().empty());

    // The teardown ran all the same, with the ids still 0, and released the device.
    const auto& log = dialog.Log();
    const std::vector<std::string> tail(log.end() - 8, log.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"UnregisterHotKey 0", "UnregisterHotKey 0",
                                              "UnregisterHotKey 0", "DeleteGlobalAtom 0",
                                              "DeleteGlobalAtom 0", "DeleteGlobalAtom 0",
                                              "KillTimer 1", "KillTimer 2"}));
    EXPECT_EQ(sound.LiveDevices(), 0);
    EXPECT_EQ(sound.ComDepth(), 0);
    EXPECT_EQ(dialog.Boxes().size(), 1u);  // the teardown shows nothing
}

}  // namespace
