#include "tests/common/sound_contract.h"

#include <cstring>

namespace {

constexpr uint32_t kBytesPerMs = 8;
constexpr uint32_t kTail = 800;  // the last 100 ms, where the end cases start

const WaveFormat kFormat{1, 1, 8000, 8000, 1, 8, 0};

}  // namespace

void SoundContractTest::SetUp() {
    subject_ = GetParam().make();
    ASSERT_NE(subject_, nullptr);
    size_ = subject_->BufferBytes();
    const SoundBufferDescription description{SOUND_CAPS_STATIC | SOUND_CAPS_CTRLFREQUENCY |
                                                 SOUND_CAPS_CTRLPAN | SOUND_CAPS_CTRLVOLUME |
                                                 SOUND_CAPS_GLOBALFOCUS,
                                             size_, &kFormat};
    ASSERT_GE(subject_->Device().CreateSoundBuffer(description, &buffer_), 0);
    ASSERT_NE(buffer_, nullptr);
    void* region = nullptr;
    uint32_t regionBytes = 0;
    ASSERT_GE(buffer_->Lock(0, size_, &region, &regionBytes), 0);
    ASSERT_EQ(regionBytes, size_);  // the whole buffer, in one piece
    std::memset(region, 0x80, size_);
    ASSERT_GE(buffer_->Unlock(region, regionBytes), 0);
}

void SoundContractTest::TearDown() {
    buffer_.reset();  // before the device
    subject_.reset();
}

bool SoundContractTest::Playing() {
    uint32_t status = 0;
    EXPECT_GE(buffer_->GetStatus(&status), 0);
    EXPECT_EQ(status & SOUND_STATUS_BUFFERLOST, 0u);
    return (status & SOUND_STATUS_PLAYING) != 0;
}

uint32_t SoundContractTest::Cursor() {
    uint32_t cursor = 0xDEADBEEF;
    EXPECT_GE(buffer_->GetCurrentPosition(&cursor), 0);
    return cursor;
}

TEST_P(SoundContractTest, ANewBufferIsStoppedAtItsStart) {
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Cursor(), 0u);
}

TEST_P(SoundContractTest, ASoundThatDoesNotLoopStopsAtItsEndAndReadsZero) {
    ASSERT_GE(Buffer().SetCurrentPosition(Size() - kTail), 0);
    EXPECT_EQ(Cursor(), Size() - kTail);
    ASSERT_GE(Buffer().Play(0), 0);
    EXPECT_TRUE(Playing());
    ASSERT_TRUE(Until([this] { return !Playing(); }, kTail / kBytesPerMs));
    EXPECT_EQ(Cursor(), 0u);
    // Played again, it is heard again from the start.
    ASSERT_GE(Buffer().Play(0), 0);
    EXPECT_TRUE(Playing());
    EXPECT_TRUE(Until([this] { return Cursor() > 0; }, 100));
    ASSERT_GE(Buffer().Stop(), 0);
}

TEST_P(SoundContractTest, StopKeepsTheCursorAndPlayGoesOnFromIt) {
    const uint32_t from = Size() / 2;
    ASSERT_GE(Buffer().SetCurrentPosition(from), 0);
    ASSERT_GE(Buffer().Play(0), 0);
    // The controls act while it plays.
    EXPECT_GE(Buffer().SetFrequency(16000), 0);
    EXPECT_GE(Buffer().SetPan(-10000), 0);
    EXPECT_GE(Buffer().SetVolume(-2000), 0);
    ASSERT_TRUE(Until([&] { return Cursor() > from; }, 100));
    ASSERT_GE(Buffer().Stop(), 0);
    EXPECT_FALSE(Playing());
    const uint32_t stopped = Cursor();
    EXPECT_GT(stopped, from);
    Pass(50);
    EXPECT_EQ(Cursor(), stopped);
    ASSERT_GE(Buffer().Play(0), 0);
    ASSERT_TRUE(Until([&] { return Cursor() > stopped; }, 100));
    EXPECT_LT(Cursor(), Size());
}

TEST_P(SoundContractTest, PositionsOutsideTheBufferLandAtTheNearestEnd) {
    ASSERT_GE(Buffer().SetCurrentPosition(Size() / 2), 0);
    ASSERT_GE(Buffer().SetCurrentPosition(0u - 15000), 0);  // a step back that wrapped
    EXPECT_EQ(Cursor(), 0u);
    ASSERT_GE(Buffer().SetCurrentPosition(Size() / 2), 0);
    ASSERT_GE(Buffer().SetCurrentPosition(0x80000005u), 0);
    EXPECT_EQ(Cursor(), 0u);

    // Past the end while stopped: the cursor reads the size, and only a looping Play
    // starts the sound again.
    ASSERT_GE(Buffer().SetCurrentPosition(Size() + 15000), 0);
    EXPECT_EQ(Cursor(), Size());
    ASSERT_GE(Buffer().Play(0), 0);
    EXPECT_FALSE(Playing());
    ASSERT_GE(Buffer().Play(SOUND_PLAY_LOOPING), 0);
    EXPECT_TRUE(Playing());
    EXPECT_LT(Cursor(), Size());

    // Past the end of a looping sound: it goes on from the start.
    ASSERT_GE(Buffer().SetCurrentPosition(Size()), 0);
    EXPECT_TRUE(Playing());
    EXPECT_LT(Cursor(), Size() / 2);
    ASSERT_GE(Buffer().Stop(), 0);

    // Past the end of a sound that does not loop: it is over.
    ASSERT_GE(Buffer().SetCurrentPosition(Size() / 2), 0);
    ASSERT_GE(Buffer().Play(0), 0);
    ASSERT_GE(Buffer().SetCurrentPosition(Size()), 0);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Cursor(), Size());
}

TEST_P(SoundContractTest, ALoopingSoundPlaysItsEndAndGoesOnFromTheStart) {
    ASSERT_GE(Buffer().SetCurrentPosition(Size() - kTail), 0);
    ASSERT_GE(Buffer().Play(SOUND_PLAY_LOOPING), 0);
    ASSERT_TRUE(Until([this] { return Cursor() < Size() - kTail; }, kTail / kBytesPerMs));
    EXPECT_TRUE(Playing());
    ASSERT_GE(Buffer().Stop(), 0);
    EXPECT_FALSE(Playing());
}
