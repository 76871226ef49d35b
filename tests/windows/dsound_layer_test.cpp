// The DirectSound layer against Wine's real DirectSound (ALSA output captured to a file).
#include "base/win32_headers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/result.h"
#include "sound/sound_layer.h"
#include "sound/sound_output.h"
#include "tests/native/fake_dialog.h"

namespace {

// Polls every 5 ms until `done` holds; false after 20 s, however busy the machine.
template <typename Done>
bool WaitFor(Done done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 20000)
            return false;
        Sleep(5);
    }
    return true;
}

class DirectSoundLayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window_ = CreateWindowExA(0, "STATIC", "sound owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                  nullptr, nullptr, nullptr);
        ASSERT_NE(window_, nullptr);
        InstallSoundSystem(sound_.get());
    }
    void TearDown() override {
        FreeSoundDevice();
        InstallSoundSystem(nullptr);
        DestroyWindow(window_);
    }

    HWND window_ = nullptr;
    std::unique_ptr<SoundSystem> sound_ = CreatePlatformSoundSystem();
};

TEST_F(DirectSoundLayerTest, OpensTheDeviceAndPlaysStopsAndKeepsTheCursorOfAStaticBuffer) {
    WindowedFakeDialog dialog(window_);
    ASSERT_EQ(InitSoundDevice(dialog.Window()), 0);
    ASSERT_NE(SoundOutput.device, nullptr);

    WaveFormat format{};
    format.wFormatTag = 1;
    format.nChannels = 1;
    format.nSamplesPerSec = 8000;
    format.nAvgBytesPerSec = 8000;
    format.nBlockAlign = 1;
    format.wBitsPerSample = 8;
    const uint32_t bytes = 16000;
    ASSERT_EQ(SoundOutput.device->CreateSoundBuffer(
                  {SOUND_CAPS_STATIC | SOUND_CAPS_CTRLFREQUENCY | SOUND_CAPS_CTRLPAN |
                       SOUND_CAPS_CTRLVOLUME | SOUND_CAPS_GLOBALFOCUS,
                   bytes, &format},
                  &SoundOutput.buffer),
              S_OK);
    SoundBuffer& buffer = *SoundOutput.buffer;
    void* region = nullptr;
    uint32_t regionBytes = 0;
    ASSERT_GE(buffer.Lock(0, bytes, &region, &regionBytes), 0);
    ASSERT_EQ(regionBytes, bytes);
    std::memset(region, 0x80, bytes);
    EXPECT_GE(buffer.Unlock(region, regionBytes), 0);

    uint32_t status = 0;
    ASSERT_GE(buffer.GetStatus(&status), 0);
    EXPECT_EQ(status & SOUND_STATUS_PLAYING, 0u);
    EXPECT_GE(buffer.SetFrequency(8000), 0);
    EXPECT_GE(buffer.SetPan(-10000), 0);
    EXPECT_GE(buffer.SetVolume(-2000), 0);
    ASSERT_GE(buffer.Play(0), 0);
    ASSERT_GE(buffer.GetStatus(&status), 0);
    EXPECT_EQ(status & SOUND_STATUS_PLAYING, SOUND_STATUS_PLAYING);
    uint32_t first = 0;
    ASSERT_TRUE(WaitFor([&] { return buffer.GetCurrentPosition(&first) >= 0 && first > 0; }));
    ASSERT_GE(buffer.Stop(), 0);
    uint32_t second = 0;
    ASSERT_GE(buffer.GetCurrentPosition(&first), 0);
    Sleep(100);  // any time: a stopped cursor does not move
    ASSERT_GE(buffer.GetCurrentPosition(&second), 0);
    EXPECT_GT(first, 0u);
    EXPECT_EQ(first, second);  // a stopped buffer keeps its cursor
    ASSERT_GE(buffer.GetStatus(&status), 0);
    EXPECT_EQ(status & SOUND_STATUS_PLAYING, 0u);
}

TEST_F(DirectSoundLayerTest, TheEndAndPositionsOutsideTheBuffer) {
    WindowedFakeDialog dialog(window_);
    ASSERT_EQ(InitSoundDevice(dialog.Window()), 0);
    WaveFormat format{1, 1, 8000, 8000, 1, 8, 0};
    ASSERT_EQ(SoundOutput.device->CreateSoundBuffer({0xE2, 800, &format}, &SoundOutput.buffer),
              S_OK);
    SoundBuffer& buffer = *SoundOutput.buffer;
    uint32_t status = 0;
    uint32_t cursor = 1;
    ASSERT_GE(buffer.Play(0), 0);
    // 100 ms of sound: wait for its end, however long the machine takes.
    ASSERT_TRUE(WaitFor(
        [&] { return buffer.GetStatus(&status) >= 0 && (status & SOUND_STATUS_PLAYING) == 0; }));
    buffer.GetCurrentPosition(&cursor);
    EXPECT_EQ(cursor, 0u);  // a sound that ended reads 0

    buffer.SetCurrentPosition(400);
    buffer.GetCurrentPosition(&cursor);
    EXPECT_EQ(cursor, 400u);
    buffer.SetCurrentPosition(0x90000000u);  // below 0: the start
    buffer.GetCurrentPosition(&cursor);
    EXPECT_EQ(cursor, 0u);

    ASSERT_GE(buffer.Play(0), 0);
    buffer.SetCurrentPosition(800);  // the end: a sound that does not loop is over
    buffer.GetStatus(&status);
    buffer.GetCurrentPosition(&cursor);
    EXPECT_EQ(status & SOUND_STATUS_PLAYING, 0u);
    EXPECT_EQ(cursor, 800u);
    ASSERT_GE(buffer.Play(0), 0);  // nothing left to play
    buffer.GetStatus(&status);
    EXPECT_EQ(status & SOUND_STATUS_PLAYING, 0u);

    ASSERT_GE(buffer.Play(SOUND_PLAY_LOOPING), 0);  // a looping sound starts over
    buffer.SetCurrentPosition(5000);
    buffer.GetStatus(&status);
    EXPECT_EQ(status & SOUND_STATUS_PLAYING, SOUND_STATUS_PLAYING);
    buffer.Stop();
}

TEST_F(DirectSoundLayerTest, RefusesABufferWithoutBytes) {
    WindowedFakeDialog dialog(window_);
    ASSERT_EQ(InitSoundDevice(dialog.Window()), 0);
    WaveFormat format{1, 1, 8000, 8000, 1, 8, 0};
    EXPECT_LT(
        SoundOutput.device->CreateSoundBuffer({SOUND_CAPS_STATIC, 0, &format}, &SoundOutput.buffer),
        0);
    EXPECT_EQ(SoundOutput.buffer, nullptr);
}

}  // namespace
