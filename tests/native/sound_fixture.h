// A started main dialog with a fake sound device on the dialog's virtual clock, and a way
// to load generated WAVE files as the current reader.
#ifndef VELMORIN_TESTS_NATIVE_SOUND_FIXTURE_H
#define VELMORIN_TESTS_NATIVE_SOUND_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "control/player_state.h"
#include "sound/sound_buffer.h"
#include "sound/sound_output.h"
#include "tests/common/wave_files.h"
#include "tests/native/fake_dialog.h"
#include "tests/native/fake_sound.h"

// A fresh main dialog (not yet started) with the fake sound device installed; the device
// is freed and the shared state cleared afterwards.
class SoundSystemTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PlayerState = {};
        InstallSoundSystem(&sound);
    }
    void TearDown() override {
        FreeSoundDevice();
        InstallSoundSystem(nullptr);
        PlayerState = {};
    }

    FakeDialog dialog;
    FakeSoundSystem sound{[this] { return dialog.Now(); }};
};

class SoundFixture : public SoundSystemTest {
  protected:
    void SetUp() override {
        SoundSystemTest::SetUp();
        dialog.Start();
        ASSERT_FALSE(dialog.Ended());
    }
    void TearDown() override {
        if (!dialog.Destroyed())
            dialog.Command(2);  // Esc: the teardown frees the device
        SoundSystemTest::TearDown();
    }

    // Makes a file of `data` the current reader, as a load would; returns its path.
    std::string Load(const Bytes& file, const std::string& name = "sound.wav") {
        const std::string path = dir.Write(name, file);
        SoundOutput.reader = std::make_unique<WaveFileReader>();
        SoundOutput.reader->Open(path.c_str());
        PlayerState.dataLength = GetDataLength();
        return path;
    }

    // 8-bit mono at 8000 samples per second: one byte a sample, 8 bytes a millisecond.
    void LoadBytes(uint32_t count) { Load(BuildPcmWave(1, 8000, 8, PatternBytes(count))); }

    TempDir dir;
};

#endif
