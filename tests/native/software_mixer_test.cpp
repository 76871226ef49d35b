// The software mixer pulled by an output on a virtual clock that holds 20 ms and takes them
// back when the mix changes: what is heard (pitch, level, continuity) and where the cursor
// stands.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "base/result.h"
#include "sound/mixer/software_mixer.h"
#include "wave/decoded_data.h"
#include "tests/native/clock_output.h"
#include "wave/wave_file_reader.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint32_t kRate = 22050;  // the output's, and the test files'
// The frames heard after `ms` of playing.
constexpr size_t At(uint32_t ms) {
    return size_t{ms} * kRate / 1000;
}

class SoftwareMixerTest : public ::testing::Test {
  protected:
    // A 16-bit mono sine of `hz` at `rate` (the output's unless given), `frames` long, at
    // half scale.
    void Make(uint32_t frames, double hz, uint32_t rate = kRate) {
        WaveFormat format{1, 1, rate, 2 * rate, 2, 16, 0};
        ASSERT_EQ(device_.CreateSoundBuffer({SOUND_CAPS_STATIC, 2 * frames, &format}, &buffer_),
                  S_OK);
        void* region = nullptr;
        uint32_t bytes = 0;
        ASSERT_EQ(buffer_->Lock(0, 2 * frames, &region, &bytes), S_OK);
        auto* samples = static_cast<int16_t*>(region);
        for (uint32_t i = 0; i < frames; ++i)
            samples[i] = static_cast<int16_t>(16384 * std::sin(2 * kPi * hz * i / rate));
        ASSERT_EQ(buffer_->Unlock(region, bytes), S_OK);
    }
    void Run(uint32_t ms) { output_.Run(device_, ms); }
    uint32_t Cursor() {
        uint32_t cursor = 0;
        EXPECT_EQ(buffer_->GetCurrentPosition(&cursor), S_OK);
        return cursor;
    }
    bool Playing() {
        uint32_t status = 0;
        EXPECT_EQ(buffer_->GetStatus(&status), S_OK);
        EXPECT_EQ(status & SOUND_STATUS_BUFFERLOST, 0u);
        return (status & SOUND_STATUS_PLAYING) != 0;
    }
    // One side of the rendered frames [from, to).
    std::vector<double> Side(size_t from, size_t to, int side) const {
        std::vector<double> out;
        for (size_t i = from; i < to && 2 * i + 1 < output_.rendered.size(); ++i)
            out.push_back(output_.rendered[2 * i + side] / 32768.0);
        return out;
    }
    static double Rms(const std::vector<double>& x) {
        double sum = 0;
        for (double v : x)
            sum += v * v;
        return x.empty() ? 0 : std::sqrt(sum / static_cast<double>(x.size()));
    }
    static double Hz(const std::vector<double>& x, uint32_t rate = kRate) {
        int rises = 0;
        for (size_t i = 1; i < x.size(); ++i)
            rises += x[i - 1] < 0 && x[i] >= 0;
        return rises * static_cast<double>(rate) / static_cast<double>(x.size());
    }
    // The largest step between neighbouring samples: a gap, a repeat or a click in a sine
    // of this level and pitch shows as a step far above its natural one.
    static double LargestStep(const std::vector<double>& x) {
        double largest = 0;
        for (size_t i = 1; i < x.size(); ++i)
            largest = std::max(largest, std::fabs(x[i] - x[i - 1]));
        return largest;
    }
    size_t RenderedFrames() const { return output_.rendered.size() / 2; }

    ClockOutput output_;
    SoftwareSoundDevice device_{output_, kRate};
    std::unique_ptr<SoundBuffer> buffer_;
};

TEST_F(SoftwareMixerTest, FrequencyChangesPitchAndSpeedTogetherAndTheCursorCountsFileBytes) {
    Make(2 * kRate, 1000);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(500);
    EXPECT_EQ(Cursor(), kRate / 2 * 2);  // 500 ms of 2-byte frames, exactly what was heard
    EXPECT_NEAR(Hz(Side(0, RenderedFrames(), 0)), 1000, 10);

    // Heard at once: what was heard before went at 1:1, all after at 2:1.
    const uint64_t changedAt = kRate * 500 / 1000;
    ASSERT_EQ(buffer_->SetFrequency(2 * kRate), S_OK);
    Run(400);
    const uint64_t heard = kRate * 900 / 1000;
    EXPECT_EQ(Cursor(), 2 * (changedAt + 2 * (heard - changedAt)));
    EXPECT_NEAR(Hz(Side(changedAt + 1000, RenderedFrames(), 0)), 2000, 20);
    EXPECT_LT(LargestStep(Side(0, RenderedFrames(), 0)), 0.5 * 2 * kPi * 2000 / kRate * 1.2);
}

TEST_F(SoftwareMixerTest, VolumeAndPanScaleTheSidesFromTheFrameHeardWhenTheyChange) {
    Make(2 * kRate, 500);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    const size_t first = At(300);
    const double full = Rms(Side(first - 2205, first, 0));
    EXPECT_NEAR(full, 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_NEAR(Rms(Side(first - 2205, first, 1)), full, 1e-4);  // mono on both sides

    ASSERT_EQ(buffer_->SetVolume(-2000), S_OK);
    Run(200);
    const size_t second = At(500);
    EXPECT_NEAR(20 * std::log10(Rms(Side(first, second, 0)) / full), -20, 0.2);

    ASSERT_EQ(buffer_->SetVolume(0), S_OK);
    ASSERT_EQ(buffer_->SetPan(-10000), S_OK);
    Run(200);
    const size_t third = At(700);
    EXPECT_NEAR(Rms(Side(second, third, 0)), full, 0.01);
    EXPECT_EQ(Rms(Side(second, third, 1)), 0.0);
    // A value set again is no change: what the output holds stays.
    const int changes = output_.changes;
    ASSERT_EQ(buffer_->SetPan(-10000), S_OK);
    ASSERT_EQ(buffer_->SetVolume(0), S_OK);
    EXPECT_EQ(output_.changes, changes);
    ASSERT_EQ(buffer_->SetPan(10000), S_OK);
    Run(200);
    EXPECT_EQ(Rms(Side(third, RenderedFrames(), 0)), 0.0);
    // The changes went without a click: the sine's level steps, never its phase.
    EXPECT_LT(LargestStep(Side(0, third, 0)), 0.5 * 2 * kPi * 500 / kRate * 1.2);
}

TEST_F(SoftwareMixerTest, ALoopWrapsWithoutAGapAndTheEndStopsWhenItIsHeard) {
    Make(kRate / 10, 1000);  // 100 whole periods, so the wrap continues the sine
    ASSERT_EQ(buffer_->Play(SOUND_PLAY_LOOPING), S_OK);
    Run(450);
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Cursor(), 2 * (kRate * 450 / 1000 % (kRate / 10)));
    const double naturalStep = 0.5 * 2 * kPi * 1000 / kRate;
    EXPECT_LT(LargestStep(Side(0, RenderedFrames(), 0)), naturalStep * 1.2);
    EXPECT_NEAR(Rms(Side(200, RenderedFrames(), 0)), 0.5 / std::sqrt(2.0), 0.01);

    // Without the loop it ends at the end of this round, once that is heard.
    ASSERT_EQ(buffer_->Play(0), S_OK);
    const uint32_t left = kRate / 10 - Cursor() / 2;  // frames still to hear
    Run(left * 1000 / kRate - 2);
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(device_.Sounding(output_.HeardFrames()));
    Run(4);
    EXPECT_FALSE(device_.Sounding(output_.HeardFrames()));  // the output may stop pulling
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Cursor(), 0u);
    const size_t rendered = RenderedFrames();
    Run(100);
    EXPECT_EQ(Rms(Side(rendered, RenderedFrames(), 0)), 0.0);
}

TEST_F(SoftwareMixerTest, StopTakesBackWhatTheOutputHeldAndPlayGoesOnWithoutAGapOrARepeat) {
    Make(kRate, 230);  // 20 ms is no whole number of periods: a repeat would show
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    const uint64_t stoppedAt = At(300);
    ASSERT_EQ(buffer_->Stop(), S_OK);
    EXPECT_EQ(Cursor(), 2 * stoppedAt);  // what was heard last, not what was queued
    Run(200);
    EXPECT_EQ(Cursor(), 2 * stoppedAt);
    const uint64_t playedAt = At(500);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    EXPECT_EQ(Cursor(), 2 * (stoppedAt + At(300)));

    // What was heard stopped at the Stop and began again at the Play; with the silence
    // between taken out, the sound is the sine without a break.
    EXPECT_EQ(Rms(Side(stoppedAt, playedAt, 0)), 0.0);
    std::vector<double> heard = Side(0, stoppedAt, 0);
    const std::vector<double> after = Side(playedAt, RenderedFrames(), 0);
    heard.insert(heard.end(), after.begin(), after.end());
    const double naturalStep = 0.5 * 2 * kPi * 230 / kRate;
    EXPECT_LT(LargestStep(heard), naturalStep * 1.2);
    EXPECT_NEAR(Hz(heard), 230, 3);
}

TEST_F(SoftwareMixerTest, AFileAtAnotherRateGoesOnAfterAStopWithoutAGapOrARepeat) {
    Make(8000, 237, 8000);  // resampled; the Stop falls between zero crossings
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    const uint64_t stoppedAt = At(300);
    ASSERT_EQ(buffer_->Stop(), S_OK);
    EXPECT_EQ(Cursor(), 2 * 2400u);
    Run(200);
    const uint64_t playedAt = At(500);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    EXPECT_NEAR(Cursor(), 2 * 4800.0, 2);  // within a frame, on a whole output frame
    std::vector<double> heard = Side(0, stoppedAt, 0);
    const std::vector<double> after = Side(playedAt, RenderedFrames(), 0);
    heard.insert(heard.end(), after.begin(), after.end());
    EXPECT_LT(LargestStep(heard), 0.5 * 2 * kPi * 237 / kRate * 1.2);
    EXPECT_NEAR(Hz(heard), 237, 3);
}

TEST_F(SoftwareMixerTest, AFileAtAnotherRateEndsWhenItsLastFrameIsHeardAtAnyOutputRate) {
    Make(8000, 1000, 8000);  // one second
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    EXPECT_EQ(Cursor(), 2 * 2400u);
    // The server comes back at twice the rate: the pitch, the cursor and the end stay.
    const size_t restartedAt = output_.HeardFrames();  // what the output held is gone
    output_.Restart(device_, 2 * kRate);
    Run(300);
    // Within a frame: the resampler starts again on a whole output frame.
    EXPECT_NEAR(Cursor(), 2 * 4800.0, 2);
    EXPECT_NEAR(Hz(Side(restartedAt + 2000, RenderedFrames(), 0), 2 * kRate), 1000, 10);
    Run(397);
    EXPECT_TRUE(Playing());
    Run(4);
    EXPECT_FALSE(Playing());
    EXPECT_FALSE(device_.Sounding(output_.HeardFrames()));
    // Played again after its end, it sounds again from the start.
    ASSERT_EQ(buffer_->Play(0), S_OK);
    EXPECT_TRUE(device_.Sounding(output_.HeardFrames()));
    Run(100);
    EXPECT_EQ(Cursor(), 2 * 800u);
}

TEST_F(SoftwareMixerTest, KeptPitchSetsTheSpeedAloneAndTheCursorAndEndFollowTheFileBytes) {
    Make(3 * 8000, 1000, 8000);  // three seconds
    device_.KeepPitch(true);
    ASSERT_EQ(buffer_->SetFrequency(6000), S_OK);  // three quarters of its speed
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(2000);
    EXPECT_NEAR(Hz(Side(At(100), At(2000), 0)), 1000, 10);
    EXPECT_NEAR(Cursor(), 2 * 12000.0, 2 * 8000 * 0.02);  // 1.5 s of the file, within 20 ms

    // Half speed, then the tape again at that frequency: each heard at once, from the byte
    // heard, with no silence between and no jump of the cursor.
    uint32_t before = Cursor();
    ASSERT_EQ(buffer_->SetFrequency(4000), S_OK);
    EXPECT_NEAR(Cursor(), before, 2);
    Run(1000);
    EXPECT_NEAR(Hz(Side(At(2100), At(3000), 0)), 1000, 10);
    EXPECT_NEAR(Cursor(), before + 2 * 4000.0, 2 * 8000 * 0.02);
    before = Cursor();
    device_.KeepPitch(false);
    EXPECT_NEAR(Cursor(), before, 2);  // within a frame, on a whole output frame
    Run(500);
    EXPECT_NEAR(Hz(Side(At(3050), At(3500), 0)), 500, 5);
    EXPECT_NEAR(Cursor(), before + 2 * 2000.0, 2);
    const std::vector<double> heard = Side(At(100), At(3500), 0);
    size_t quiet = 0, longest = 0;
    for (double v : heard)
        longest = std::max(longest, quiet = std::fabs(v) < 0.05 ? quiet + 1 : 0);
    EXPECT_LT(longest, At(5));

    // Kept again: the file's last 0.5 s lasts 1 s, and the sound ends when it is heard.
    device_.KeepPitch(true);
    const uint32_t left = 2 * 3 * 8000 - Cursor();
    Run(static_cast<uint32_t>(left / 2 / 4000.0 * 1000) - 30);
    EXPECT_TRUE(Playing());
    Run(60);
    EXPECT_FALSE(Playing());
}

// Decoded sound: a sine whose recording said it was longer than the sound it holds.
class SineData final : public DecodedData {
  public:
    SineData(uint32_t frames, uint32_t heldFrames) : frames_(frames), held_(heldFrames) {}
    const WaveFormat& Format() const override { return format_; }
    uint32_t Size() const override { return 2 * frames_; }
    uint32_t ReadAt(uint32_t offset, uint32_t count, uint8_t* destination) override {
        ++reads;
        const uint32_t end = 2 * held_;
        const uint32_t n = offset >= end ? 0 : std::min(count, end - offset) & ~1u;
        for (uint32_t i = 0; i < n / 2; ++i) {
            const auto v =
                static_cast<int16_t>(16384 * std::sin(2 * kPi * 1000 * (offset / 2 + i) / kRate));
            std::memcpy(destination + 2 * i, &v, 2);
        }
        return n;
    }
    int reads = 0;

  private:
    const WaveFormat format_{1, 1, kRate, 2 * kRate, 2, 16, 0};
    const uint32_t frames_;
    const uint32_t held_;
};

TEST_F(SoftwareMixerTest, DecodedDataPlaysAsItIsReadAndEndsWhereItsSoundDoes) {
    auto data = std::make_shared<SineData>(2 * kRate, kRate);  // says 2 s, holds 1 s
    ASSERT_EQ(device_.CreateSoundBuffer({SOUND_CAPS_STATIC, data->Size(), &data->Format(), data},
                                        &buffer_),
              S_OK);
    void* region = nullptr;
    uint32_t bytes = 0;
    EXPECT_EQ(buffer_->Lock(0, 2, &region, &bytes), E_INVALIDARG) << "nothing to write into";
    EXPECT_EQ(data->reads, 0);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    ASSERT_EQ(buffer_->SetCurrentPosition(2 * At(600)), S_OK);  // a skip, heard at once
    Run(300);
    EXPECT_EQ(Cursor(), 2 * At(900));
    const std::vector<double> heard = Side(0, At(600), 0);
    EXPECT_NEAR(Hz(heard), 1000, 10);
    EXPECT_LT(LargestStep(heard), 0.5 * 2 * kPi * 1000 / kRate * 1.2) << "no gap at the skip";
    Run(99);
    EXPECT_TRUE(Playing());
    Run(2);
    EXPECT_FALSE(Playing()) << "the sound ended after 1 s, not at the stated 2 s";
    EXPECT_EQ(Cursor(), 0u);
}

TEST_F(SoftwareMixerTest, RefusesWhatItCannotPlayAndKeepsTheOutputFormat) {
    std::unique_ptr<SoundBuffer> buffer;
    const WaveFormat adpcm{2, 1, 8000, 4000, 256, 4, 0};
    EXPECT_LT(device_.CreateSoundBuffer({SOUND_CAPS_STATIC, 1024, &adpcm}, &buffer), 0);
    EXPECT_EQ(buffer, nullptr);
    const WaveFormat pcm{1, 2, 48000, 192000, 4, 16, 0};
    EXPECT_LT(device_.CreateSoundBuffer({SOUND_CAPS_STATIC, 0, &pcm}, &buffer), 0);

    ASSERT_EQ(device_.CreateSoundBuffer({SOUND_CAPS_PRIMARY, 0, nullptr}, &buffer), S_OK);
    const WaveFormat output{1, 2, 22050, 4 * 22050, 4, 16, 0};
    EXPECT_EQ(buffer->SetFormat(&output), S_OK);
    EXPECT_LT(buffer->SetFormat(&pcm), 0);
}

}  // namespace
