#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/result.h"
#include "res/resource.h"
#include "tests/native/sound_fixture.h"

namespace {

using SoundBufferTest = SoundFixture;

std::vector<std::string> From(const std::vector<std::string>& log, const std::string& first) {
    auto it = std::find(log.begin(), log.end(), first);
    return std::vector<std::string>(it, log.end());
}

TEST_F(SoundBufferTest, StartFillsANewBufferAppliesTheSlidersAndPlaysFromTheStart) {
    const Bytes data = PatternBytes(16000, 7);
    Load(BuildPcmWave(1, 8000, 8, data));
    sound.Log().clear();

    EXPECT_EQ(StartPlayback(dialog, 0, SOUND_CAPS_GLOBALFOCUS), 0);

    const std::vector<std::string> expected = {
        "CreateSoundBuffer secondary flags=0x80e2 bytes=16000",
        "GetStatus",  // lost memory?
        "Lock 0 16000",
        "Unlock 16000",
        "SetFrequency 100",  // the frequency thumb still stands at its first value
        "SetPan 0",
        "SetVolume 0",
        "GetStatus",
        "Play 0",
    };
    EXPECT_EQ(sound.Log(), expected);
    FakeSoundBuffer* buffer = sound.LastBuffer();
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->Data(), data);
    const WaveFormat* format = SoundOutput.reader->GetFormat();
    EXPECT_EQ(0, std::memcmp(buffer->Format().data(), format, sizeof(WaveFormat)));
    EXPECT_TRUE(buffer->Playing());
    EXPECT_EQ(GetDataLength(), 0u);  // the whole chunk was read
    EXPECT_EQ(dialog.Control(IDC_FREQUENCY_TEXT).text, "100");
}

// A WAVE file whose RIFF size leaves its data out is decoded; a layer that cannot play
// decoded data gets all of it copied in, as from a WAVE file.
TEST_F(SoundBufferTest, DecodedDataGoesToALayerThatCannotPlayItAsACopy) {
    const Bytes data = PatternBytes(16000, 9);
    Load(BuildRiff({{"fmt ", FormatBody(1, 1, 8000, 16)}, {"data", data}}, "RIFF", "WAVE", 20));
    ASSERT_NE(nullptr, SoundOutput.reader->Decoded());
    sound.Log().clear();
    EXPECT_EQ(StartPlayback(dialog, 0, SOUND_CAPS_GLOBALFOCUS), 0);
    const std::vector<std::string> created(sound.Log().begin(), sound.Log().begin() + 4);
    const std::vector<std::string> expected = {
        "CreateSoundBuffer secondary flags=0x80e2 bytes=16000",  // from the decoder: refused
        "CreateSoundBuffer secondary flags=0x80e2 bytes=16000",
        "GetStatus",
        "Lock 0 16000",
    };
    EXPECT_EQ(created, expected);
    EXPECT_EQ(sound.LastBuffer()->Data(), data);
}

TEST_F(SoundBufferTest, EveryStartReplacesTheBufferAndBeginsAtByteZero) {
    LoadBytes(16000);
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    dialog.AdvanceMs(1000);
    EXPECT_EQ(PauseAndGetPosition(), 100);  // the frequency slider still says 100 Hz
    sound.Log().clear();
    ASSERT_EQ(StartPlayback(dialog, 1, 0), 0);
    EXPECT_EQ(sound.Log().front(), "Release buffer 2");
    EXPECT_EQ(sound.LiveBuffers(), 1);
    EXPECT_EQ(sound.LastBuffer()->Cursor(), 0u);
    EXPECT_TRUE(sound.LastBuffer()->Looping());
}

struct CreationFailure {
    const char* name;
    const char* operation;  // made to fail in the fake device, or "" for none
    bool truncated;         // the data chunk runs past the end of the file
    bool bufferRemains;     // a created but unfilled buffer stays current
};

class CreationFailureTest : public SoundFixture,
                            public ::testing::WithParamInterface<CreationFailure> {};

TEST_P(CreationFailureTest, ShowsTheStatusReturnsOneAndFreesTheCopy) {
    const CreationFailure c = GetParam();
    if (c.truncated) {
        Load(BuildRiff({TestChunk("fmt ", FormatBody(1, 1, 8000, 8)),
                        TestChunk("data", PatternBytes(100), 5000u)}));
    } else {
        LoadBytes(4000);
    }
    if (c.operation[0] != '\0')
        sound.Fail(c.operation, static_cast<int32_t>(0x88780064u));
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0 + 1);
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "Couldn't create sound buffer.");
    EXPECT_EQ(SoundOutput.buffer != nullptr, c.bufferRemains);
    // LeakSanitizer reports the temporary copy at exit if any way out forgot it.
}

INSTANTIATE_TEST_SUITE_P(
    WaysOut, CreationFailureTest,
    ::testing::Values(CreationFailure{"DeviceRefuses", "CreateSoundBuffer secondary", false, false},
                      CreationFailure{"LockFails", "Lock", false, true},
                      CreationFailure{"StatusFails", "GetStatus", false, true},
                      CreationFailure{"FileEndsInsideData", "", true, false}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(SoundBufferTest, WithoutAReaderOrDeviceStartIsARefusedCreation) {
    EXPECT_EQ(StartPlayback(dialog, 0, 0), 1);
    EXPECT_EQ(dialog.Control(IDC_STATUS).text, "Couldn't create sound buffer.");
}

TEST_F(SoundBufferTest, ALockedRegionTooSmallOrMissingIsARefusedCreation) {
    LoadBytes(4000);
    for (uint32_t handedOut : {3999u, 0u}) {
        sound.ShortenLocks(handedOut);
        EXPECT_EQ(StartPlayback(dialog, 0, 0), 1);
        EXPECT_EQ(dialog.Control(IDC_STATUS).text, "Couldn't create sound buffer.");
        ASSERT_NE(sound.LastBuffer(), nullptr);
        EXPECT_EQ(sound.LastBuffer()->Data(), std::vector<uint8_t>(4000, 0));
        EXPECT_FALSE(sound.LastBuffer()->Playing());
    }
}

TEST_F(SoundBufferTest, AFailingPlayIsFatal) {
    LoadBytes(4000);
    sound.Fail("Play", static_cast<int32_t>(0x8878000Au));
    EXPECT_EQ(StartPlayback(dialog, 0, 0), static_cast<int32_t>(0x8878000Au));
}

TEST_F(SoundBufferTest, LostMemoryIsRestoredBeforeTheBufferIsFilled) {
    LoadBytes(4000);
    sound.LoseNewBuffers(3);
    sound.Log().clear();
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    // Each pass: Restore, a 10 ms wait only when it answered "lost", Restore again.
    const std::vector<std::string> expected = {"CreateSoundBuffer secondary flags=0xe2 bytes=4000",
                                               "GetStatus",
                                               "Restore",
                                               "Sleep 10",
                                               "Restore",
                                               "Restore",
                                               "Sleep 10",
                                               "Restore",
                                               "Lock 0 4000"};
    const auto& log = sound.Log();
    EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 9), expected);
    EXPECT_TRUE(sound.LastBuffer()->Playing());
}

TEST_F(SoundBufferTest, MemoryThatNeverComesBackFailsCreationWithinSeconds) {
    LoadBytes(4000);
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    StopPlayback();
    sound.LastBuffer()->LoseMemory(1000000);
    EXPECT_EQ(IsPlaying(), 0);  // lost, not playing: only the playing bit counts
    EXPECT_EQ(RestoreLostBuffer(), SOUND_ERR_BUFFERLOST);
    EXPECT_GT(sound.SleptMs(), 0u);
    EXPECT_LE(sound.SleptMs(), 5000u);

    sound.Fail("Restore", E_FAIL);  // another code: no waiting, the code comes back
    const uint64_t slept = sound.SleptMs();
    EXPECT_EQ(RestoreLostBuffer(), E_FAIL);
    EXPECT_EQ(sound.SleptMs(), slept);
}

TEST_F(SoundBufferTest, PauseKeepsTheCursorAndResumeNeverLoops) {
    LoadBytes(16000);
    dialog.DragSlider(IDC_FREQUENCY, 8000);
    ASSERT_EQ(StartPlayback(dialog, 1, 0), 0);  // looping
    dialog.AdvanceMs(1000);
    EXPECT_EQ(PauseAndGetPosition(), 8000);
    EXPECT_EQ(IsPlaying(), 0);
    dialog.AdvanceMs(700);
    EXPECT_EQ(GetPlayPosition(), 8000);

    ResumeAt(12000);
    EXPECT_EQ(IsPlaying(), 1);
    dialog.AdvanceMs(250);
    EXPECT_EQ(GetPlayPosition(), 14000);
    dialog.AdvanceMs(1000);  // past the end: a resumed sound stops there
    EXPECT_EQ(IsPlaying(), 0);
    const auto& heard = sound.LastBuffer()->Heard();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0], std::make_pair(0u, 8000u));
    EXPECT_EQ(heard[1], std::make_pair(12000u, 16000u));
}

TEST_F(SoundBufferTest, PositionsOutsideTheBufferLandAtItsNearestEnd) {
    LoadBytes(40000);
    dialog.DragSlider(IDC_FREQUENCY, 8000);
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    dialog.AdvanceMs(1000);  // cursor 8000
    SkipBack();              // wraps below 0: the start
    EXPECT_EQ(GetPlayPosition(), 0);
    EXPECT_EQ(IsPlaying(), 1);  // a skip does not stop the sound
    SkipForward();
    SkipForward();
    EXPECT_EQ(GetPlayPosition(), 30000);
    SkipForward();  // past the end: the sound that does not loop is over
    EXPECT_EQ(IsPlaying(), 0);
    EXPECT_EQ(GetPlayPosition(), 40000);

    ResumeAt(-3000);  // a resume computed below 0 starts at the beginning
    EXPECT_EQ(IsPlaying(), 1);
    EXPECT_EQ(GetPlayPosition(), 0);
    ResumeAt(40000);
    EXPECT_EQ(IsPlaying(), 0);
}

TEST_F(SoundBufferTest, WithoutBufferOrReaderEverythingReportsZeroAndDoesNothing) {
    EXPECT_EQ(IsPlaying(), 0);
    EXPECT_EQ(PauseAndGetPosition(), 0);
    EXPECT_EQ(GetPlayPosition(), 0);
    EXPECT_EQ(GetDataLength(), 0u);
    EXPECT_EQ(GetSampleRate(), 0u);
    sound.Log().clear();
    StopPlayback();
    ResumeAt(100);
    SkipBack();
    SkipForward();
    SetBufferParameters(8000, 0, 0);
    EXPECT_TRUE(sound.Log().empty());

    // A reader whose open failed (no "data" chunk) still holds a format, but reports none.
    Load(BuildRiff({TestChunk("fmt ", FormatBody(1, 1, 22050, 8))}));
    EXPECT_EQ(GetDataLength(), 0u);
    EXPECT_EQ(GetSampleRate(), 0u);
    Load(BuildPcmWave(2, 44100, 16, PatternBytes(400)));
    EXPECT_EQ(GetDataLength(), 400u);
    EXPECT_EQ(GetSampleRate(), 44100u);
}

TEST_F(SoundBufferTest, FailingStatusQueriesAreReportedAsTabled) {
    LoadBytes(16000);
    ASSERT_EQ(StartPlayback(dialog, 0, 0), 0);
    sound.Fail("GetStatus", static_cast<int32_t>(0x88780078u));
    EXPECT_EQ(PauseAndGetPosition(), static_cast<int32_t>(0x88780078u));
    EXPECT_EQ(GetPlayPosition(), -1);
    EXPECT_EQ(IsPlaying(), 0);
    sound.Log().clear();
    ResumeAt(0);
    SkipForward();
    EXPECT_EQ(sound.Log(), (std::vector<std::string>{"GetStatus", "GetStatus"}));
    sound.Heal("GetStatus");
    sound.Fail("GetCurrentPosition", E_FAIL);
    EXPECT_EQ(GetPlayPosition(), -1);
    EXPECT_EQ(From(sound.Log(), "GetCurrentPosition").size(), 1u);
}

}  // namespace
