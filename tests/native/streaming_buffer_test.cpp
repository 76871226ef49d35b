// The streaming buffer over a fake device buffer on a virtual clock. Every 4-byte block
// of the data holds its own number plus one, so what the ring plays back tells which
// data was heard, in which order, and where silence (0) came instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "base/result.h"
#include "sound/buffer_position.h"
#include "sound/streaming_buffer.h"
#include "tests/native/fake_sound.h"

namespace {

constexpr uint32_t kBlock = 4;
constexpr uint32_t kRate = 1000;   // 4 bytes a millisecond at the file's rate
constexpr uint32_t kSize = 40000;  // 10 s
constexpr uint32_t kRing = 4000;   // 1 s, of which the last 250 ms is guard
constexpr uint32_t kRingMs = 1000;
constexpr uint32_t kFeedDeadlineMs = 750;  // the ring less its guard

WaveFormat Format() {
    WaveFormat format{};
    format.wFormatTag = 1;
    format.nChannels = 2;
    format.nSamplesPerSec = kRate;
    format.nAvgBytesPerSec = kRate * kBlock;
    format.nBlockAlign = kBlock;
    format.wBitsPerSample = 16;
    return format;
}

// Hands each call on to a buffer of another device under one lock.
class SerializedBuffer final : public SoundBuffer {
  public:
    SerializedBuffer(std::unique_ptr<SoundBuffer> inner, std::mutex& lock)
        : inner_(std::move(inner)), lock_(lock) {}
    ~SerializedBuffer() override {
        std::lock_guard<std::mutex> hold(lock_);
        inner_.reset();
    }
    int32_t GetStatus(uint32_t* status) override { return Call(&SoundBuffer::GetStatus, status); }
    int32_t Restore() override { return Call(&SoundBuffer::Restore); }
    int32_t Lock(uint32_t offset, uint32_t bytes, void** region, uint32_t* regionBytes) override {
        return Call(&SoundBuffer::Lock, offset, bytes, region, regionBytes);
    }
    int32_t Unlock(void* region, uint32_t bytes) override {
        return Call(&SoundBuffer::Unlock, region, bytes);
    }
    int32_t Play(uint32_t flags) override { return Call(&SoundBuffer::Play, flags); }
    int32_t Stop() override { return Call(&SoundBuffer::Stop); }
    int32_t GetCurrentPosition(uint32_t* cursor) override {
        return Call(&SoundBuffer::GetCurrentPosition, cursor);
    }
    int32_t SetCurrentPosition(uint32_t at) override {
        return Call(&SoundBuffer::SetCurrentPosition, at);
    }
    int32_t SetFrequency(uint32_t frequency) override {
        return Call(&SoundBuffer::SetFrequency, frequency);
    }
    int32_t SetPan(int32_t pan) override { return Call(&SoundBuffer::SetPan, pan); }
    int32_t SetVolume(int32_t volume) override { return Call(&SoundBuffer::SetVolume, volume); }
    int32_t SetFormat(const WaveFormat* format) override {
        return Call(&SoundBuffer::SetFormat, format);
    }

  private:
    template <typename... Params, typename... Args>
    int32_t Call(int32_t (SoundBuffer::*operation)(Params...), Args... args) {
        std::lock_guard<std::mutex> hold(lock_);
        return (inner_.get()->*operation)(args...);
    }
    std::unique_ptr<SoundBuffer> inner_;
    std::mutex& lock_;
};

class SerializedDevice final : public SoundDevice {
  public:
    SerializedDevice(SoundDevice& inner, std::mutex& lock) : inner_(inner), lock_(lock) {}
    int32_t SetCooperativeLevel(void* window, uint32_t level) override {
        return inner_.SetCooperativeLevel(window, level);
    }
    int32_t CreateSoundBuffer(const SoundBufferDescription& description,
                              std::unique_ptr<SoundBuffer>* buffer) override {
        std::unique_ptr<SoundBuffer> made;
        const int32_t result = inner_.CreateSoundBuffer(description, &made);
        if (made)
            *buffer = std::make_unique<SerializedBuffer>(std::move(made), lock_);
        return result;
    }

  private:
    SoundDevice& inner_;
    std::mutex& lock_;
};

class StreamingBufferTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(system_.CreateDevice(&device_), S_OK);
        Make(0);
    }

    // Makes the buffer (feeding itself every `feedPeriodMs` when non-zero) and fills it.
    void Make(uint32_t feedPeriodMs, SoundDevice* device = nullptr) {
        buffer_.reset();
        const SoundBufferDescription description{
            SOUND_CAPS_STATIC | SOUND_CAPS_CTRLFREQUENCY | SOUND_CAPS_GLOBALFOCUS, kSize, &format_};
        ASSERT_EQ(StreamingSoundBuffer::Create(device ? *device : *device_, description, kRing + 3,
                                               feedPeriodMs, &buffer_),
                  S_OK);
        ring_ = system_.LastBuffer();
        ASSERT_NE(ring_, nullptr);
        void* region = nullptr;
        uint32_t regionBytes = 0;
        ASSERT_EQ(buffer_->Lock(0, kSize, &region, &regionBytes), S_OK);
        ASSERT_EQ(regionBytes, kSize);
        for (uint32_t block = 0; block < kSize / kBlock; ++block) {
            const uint32_t value = block + 1;
            std::memcpy(static_cast<uint8_t*>(region) + block * kBlock, &value, kBlock);
        }
        ASSERT_EQ(buffer_->Unlock(region, regionBytes), S_OK);
        span_ = 0;
        done_ = 0;
        heard_.clear();
    }

    StreamingSoundBuffer& Stream() { return static_cast<StreamingSoundBuffer&>(*buffer_); }

    // Collects the blocks the ring played since the last call, from what the ring held
    // when it played them (nothing is written into the ring between a clock step and this).
    void Collect() {
        const auto& spans = ring_->Heard();
        while (span_ < spans.size()) {
            const auto [from, to] = spans[span_];
            for (uint32_t at = std::max(from, done_); at + kBlock <= to; at += kBlock) {
                uint32_t value = 0;
                std::memcpy(&value, ring_->Data().data() + at, kBlock);
                heard_.push_back(value);
            }
            done_ = std::max(done_, to);
            if (span_ + 1 == spans.size())
                break;
            ++span_;
            done_ = 0;
        }
    }

    // Lets `ms` pass a millisecond at a time, feeding every `feedEvery` ms.
    void Run(uint32_t ms, uint32_t feedEvery = 10) {
        for (uint32_t t = 1; t <= ms; ++t) {
            ++now_;
            Collect();
            if (t % feedEvery == 0)
                Stream().Feed();
        }
    }

    uint32_t Cursor() {
        uint32_t cursor = 0xDEADu;
        EXPECT_GE(buffer_->GetCurrentPosition(&cursor), 0);
        return cursor;
    }
    bool Playing() {
        uint32_t status = 0;
        EXPECT_GE(buffer_->GetStatus(&status), 0);
        return (status & SOUND_STATUS_PLAYING) != 0;
    }

    // `count` block values in order from `first`.
    static std::vector<uint32_t> Blocks(uint32_t first, size_t count) {
        std::vector<uint32_t> run(count);
        for (size_t i = 0; i < count; ++i)
            run[i] = static_cast<uint32_t>(first + i);
        return run;
    }
    // The number of the data block at byte offset `at`.
    static uint32_t BlockAt(uint32_t at) { return at / kBlock + 1; }

    // The fake is not thread-safe: a feeder thread reaches the ring only through a
    // SerializedDevice's buffer, under the lock the test takes to step and listen.
    std::mutex ringLock_;
    std::atomic<uint64_t> now_{0};
    std::atomic<int> feederLooks_{0};
    const std::thread::id testThread_ = std::this_thread::get_id();
    FakeSoundSystem system_{[this] {
        if (std::this_thread::get_id() != testThread_)
            ++feederLooks_;
        return now_.load();
    }};
    std::unique_ptr<SoundDevice> device_;
    WaveFormat format_ = Format();
    std::unique_ptr<SoundBuffer> buffer_;
    FakeSoundBuffer* ring_ = nullptr;
    size_t span_ = 0;
    uint32_t done_ = 0;
    std::vector<uint32_t> heard_;
};

TEST_F(StreamingBufferTest, MakesARingOfWholeBlocksWithTheFlagsOfAStreamingBuffer) {
    EXPECT_EQ(Stream().RingBytes(), kRing);
    EXPECT_EQ(ring_->Size(), kRing);
    EXPECT_EQ(ring_->Flags(), SOUND_CAPS_CTRLFREQUENCY | SOUND_CAPS_GLOBALFOCUS);
    EXPECT_EQ(ring_->Format(), std::vector<uint8_t>(reinterpret_cast<uint8_t*>(&format_),
                                                    reinterpret_cast<uint8_t*>(&format_) + 18));

    // The data is the buffer's own: a device that refuses the ring leaves nothing made.
    system_.Fail("CreateSoundBuffer secondary", E_FAIL);
    std::unique_ptr<SoundBuffer> refused;
    EXPECT_EQ(StreamingSoundBuffer::Create(*device_, {0, kSize, &format_}, kRing, 0, &refused),
              E_FAIL);
    EXPECT_EQ(refused, nullptr);
    EXPECT_LT(StreamingSoundBuffer::Create(*device_, {0, kSize, nullptr}, kRing, 0, &refused), 0);
    EXPECT_LT(StreamingSoundBuffer::Create(*device_, {0, 0, &format_}, kRing, 0, &refused), 0);

    // Lock covers the whole data and nothing past it.
    void* region = nullptr;
    uint32_t regionBytes = 0;
    EXPECT_LT(buffer_->Lock(kSize - 4, 8, &region, &regionBytes), 0);
    EXPECT_EQ(region, nullptr);
}

TEST_F(StreamingBufferTest, PlaysTheWholeDataInOrderAcrossRefillsAndStopsAtItsEnd) {
    ASSERT_EQ(buffer_->Play(0), S_OK);
    for (uint32_t second = 1; second < 10; ++second) {
        Run(1000);
        // The cursor is the exact offset of what was heard, refill after refill.
        EXPECT_EQ(Cursor(), second * 1000 * kBlock) << "after " << second << " s";
        EXPECT_TRUE(Playing());
    }
    Run(1000);  // exactly at the end
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Cursor(), 0u);  // as a static buffer reads after its end
    Run(200);
    EXPECT_FALSE(ring_->Playing());
    ASSERT_GE(heard_.size(), kSize / kBlock);
    EXPECT_EQ(std::vector<uint32_t>(heard_.begin(), heard_.begin() + kSize / kBlock),
              Blocks(1, kSize / kBlock));
    // Past the end the ring plays silence until it is stopped, never old data.
    for (size_t i = kSize / kBlock; i < heard_.size(); ++i)
        EXPECT_EQ(heard_[i], 0u);
}

TEST_F(StreamingBufferTest, ARingWhoseMemoryWasLostIsFilledAgainWhenRestored) {
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(1000);
    ring_->LoseMemory(1);
    uint32_t status = 0;
    ASSERT_GE(buffer_->GetStatus(&status), 0);
    EXPECT_EQ(status & SOUND_STATUS_BUFFERLOST, SOUND_STATUS_BUFFERLOST);
    EXPECT_EQ(buffer_->Restore(), SOUND_ERR_BUFFERLOST);
    ASSERT_EQ(buffer_->Restore(), S_OK);
    const size_t before = heard_.size();
    Run(2000);
    EXPECT_EQ(std::vector<uint32_t>(heard_.begin() + before, heard_.end()),
              Blocks(heard_[before - 1] + 1, heard_.size() - before));
}

TEST_F(StreamingBufferTest, PastTheEndOfUnsignedEightBitDataTheRingHoldsItsSilence) {
    format_.nChannels = 1;
    format_.wBitsPerSample = 8;
    format_.nBlockAlign = 1;
    format_.nSamplesPerSec = format_.nAvgBytesPerSec = 4 * kRate;  // 500 ms of data
    ASSERT_EQ(StreamingSoundBuffer::Create(*device_, {SOUND_CAPS_STATIC, 2000, &format_}, kRing, 0,
                                           &buffer_),
              S_OK);
    ring_ = system_.LastBuffer();
    void* region = nullptr;
    uint32_t regionBytes = 0;
    ASSERT_EQ(buffer_->Lock(0, 2000, &region, &regionBytes), S_OK);
    std::memset(region, 0x11, regionBytes);
    buffer_->Unlock(region, regionBytes);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(1500);  // the whole ring has been written since
    EXPECT_FALSE(Playing());
    const std::vector<uint8_t>& ring = ring_->Data();
    const auto silent = std::count(ring.begin(), ring.end(), 0x80);
    EXPECT_GT(silent, 0);  // 0x80 is unsigned 8-bit silence; 0 would click
    EXPECT_EQ(static_cast<size_t>(silent + std::count(ring.begin(), ring.end(), 0x11)),
              ring.size());
}

TEST_F(StreamingBufferTest, StopKeepsTheCursorAndPlayGoesOnFromIt) {
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(1234);
    EXPECT_EQ(buffer_->Stop(), S_OK);
    EXPECT_FALSE(Playing());
    Run(500);  // stopped: nothing is heard and the cursor stays
    EXPECT_EQ(Cursor(), 1234 * kBlock);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(1000);
    EXPECT_EQ(heard_, Blocks(1, 2234));
    EXPECT_EQ(Cursor(), 2234 * kBlock);
}

TEST_F(StreamingBufferTest, AFrequencyChangeActsAtOnceAndTheCursorStaysInTheFilesBytes) {
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(500);
    ASSERT_EQ(buffer_->SetFrequency(3 * kRate), S_OK);
    EXPECT_EQ(ring_->Frequency(), 3 * kRate);
    Run(1000);
    EXPECT_EQ(Cursor(), (500 + 3000) * kBlock);
    ASSERT_EQ(buffer_->SetFrequency(kRate), S_OK);
    Run(700);
    EXPECT_EQ(Cursor(), (500 + 3000 + 700) * kBlock);
    EXPECT_EQ(heard_, Blocks(1, 4200));
    EXPECT_EQ(buffer_->SetPan(-600), S_OK);
    EXPECT_EQ(buffer_->SetVolume(-1200), S_OK);
    EXPECT_EQ(ring_->Pan(), -600);
    EXPECT_EQ(ring_->Volume(), -1200);
}

TEST_F(StreamingBufferTest, ALoopPlaysTheEndAndGoesOnFromTheStartWithoutAGap) {
    ASSERT_EQ(buffer_->SetCurrentPosition(kSize - 2000 * kBlock), S_OK);
    ASSERT_EQ(buffer_->Play(SOUND_PLAY_LOOPING), S_OK);
    Run(2500);
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Cursor(), 500 * kBlock);
    Run(20000);  // two more rounds
    EXPECT_TRUE(Playing());
    EXPECT_EQ(Cursor(), 500 * kBlock);
    std::vector<uint32_t> expected = Blocks(BlockAt(kSize) - 2000, 2000);
    for (int round = 0; round < 2; ++round) {
        const auto whole = Blocks(1, kSize / kBlock);
        expected.insert(expected.end(), whole.begin(), whole.end());
    }
    const auto rest = Blocks(1, 500);
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(heard_, expected);

    // Dropping the loop flag while it plays lets it end at the end of this round.
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(9500 + 300);
    EXPECT_FALSE(Playing());
    ASSERT_GE(heard_.size(), expected.size() + 9500);
    EXPECT_EQ(std::vector<uint32_t>(heard_.begin() + expected.size(),
                                    heard_.begin() + expected.size() + 9500),
              Blocks(501, 9500));
    for (size_t i = expected.size() + 9500; i < heard_.size(); ++i)
        EXPECT_EQ(heard_[i], 0u);
}

TEST_F(StreamingBufferTest, ASeekLandsAtOnceWhilePlayingAndWhileStopped) {
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(300);
    ASSERT_EQ(buffer_->SetCurrentPosition(30000), S_OK);
    EXPECT_EQ(Cursor(), 30000u);
    Run(200);
    EXPECT_EQ(Cursor(), 30000 + 200 * kBlock);
    // Backwards by a skip, as the skip-back command subtracts.
    ASSERT_EQ(buffer_->SetCurrentPosition(Cursor() - 15000), S_OK);
    Run(100);
    std::vector<uint32_t> expected = Blocks(1, 300);
    const auto afterSeek = Blocks(BlockAt(30000), 200);
    const auto afterSkip = Blocks(BlockAt(30000 + 200 * kBlock - 15000), 100);
    expected.insert(expected.end(), afterSeek.begin(), afterSeek.end());
    expected.insert(expected.end(), afterSkip.begin(), afterSkip.end());
    EXPECT_EQ(heard_, expected);

    ASSERT_EQ(buffer_->Stop(), S_OK);
    ASSERT_EQ(buffer_->SetCurrentPosition(8000), S_OK);
    EXPECT_EQ(Cursor(), 8000u);
    EXPECT_FALSE(Playing());
    Run(100);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(100);
    EXPECT_EQ(std::vector<uint32_t>(heard_.end() - 100, heard_.end()), Blocks(BlockAt(8000), 100));
}

TEST_F(StreamingBufferTest, PositionsOutsideTheDataLandAtTheNearestEnd) {
    // Below 0 (a subtraction that wrapped) means the start.
    ASSERT_EQ(buffer_->SetCurrentPosition(20000), S_OK);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(10);
    ASSERT_EQ(buffer_->SetCurrentPosition(0u - 15000), S_OK);
    EXPECT_EQ(Cursor(), 0u);
    EXPECT_TRUE(Playing());

    // Past the end of a sound that does not loop: it stops with the cursor at the end,
    // and only a looping Play starts it again, from 0.
    ASSERT_EQ(buffer_->SetCurrentPosition(kSize + 15000), S_OK);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(Cursor(), kSize);
    const size_t heardBefore = (Run(100), heard_.size());
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(100);
    EXPECT_FALSE(Playing());
    EXPECT_EQ(heard_.size(), heardBefore);
    ASSERT_EQ(buffer_->Play(SOUND_PLAY_LOOPING), S_OK);
    Run(100);
    EXPECT_EQ(Cursor(), 100 * kBlock);

    // Past the end of a looping sound: it goes on from 0.
    ASSERT_EQ(buffer_->SetCurrentPosition(kSize), S_OK);
    EXPECT_TRUE(Playing());
    Run(50);
    EXPECT_EQ(Cursor(), 50 * kBlock);
    EXPECT_EQ(std::vector<uint32_t>(heard_.end() - 150, heard_.end()), [] {
        auto both = Blocks(1, 100);
        const auto again = Blocks(1, 50);
        both.insert(both.end(), again.begin(), again.end());
        return both;
    }());
}

TEST(BufferPositionTest, SplitsTheValuesPastTheEndOfEveryBufferSize) {
    EXPECT_EQ(LandingOf(0, 1000), Landing::Inside);
    EXPECT_EQ(LandingOf(999, 1000), Landing::Inside);
    EXPECT_EQ(LandingOf(1000, 1000), Landing::End);
    EXPECT_EQ(LandingOf(0x7FFFFFFF, 1000), Landing::End);
    EXPECT_EQ(LandingOf(0x80000000, 1000), Landing::Start);
    EXPECT_EQ(LandingOf(0u - 15000, 1000), Landing::Start);
    EXPECT_EQ(LandingOf(0x7FFFFFFF, 0x80000000), Landing::Inside);
    EXPECT_EQ(LandingOf(0x80000000, 0x80000000), Landing::Start);

    // Above 2^31 the middle of what lies past the end divides the two.
    const uint32_t big = 0xA0000000;
    EXPECT_EQ(LandingOf(big - 1, big), Landing::Inside);
    EXPECT_EQ(LandingOf(big, big), Landing::End);
    EXPECT_EQ(LandingOf(big - 1 + 15000, big), Landing::End);
    EXPECT_EQ(LandingOf(0xCFFFFFFF, big), Landing::End);
    EXPECT_EQ(LandingOf(0xD0000000, big), Landing::Start);
    EXPECT_EQ(LandingOf(14999u - 15000u, big), Landing::Start);
    EXPECT_EQ(LandingOf(0xFFFFFFFE, 0xFFFFFFFF), Landing::Inside);
    EXPECT_EQ(LandingOf(0xFFFFFFFF, 0xFFFFFFFF), Landing::Start);
}

TEST_F(StreamingBufferTest, AFeederThatRunsLateWithinItsDeadlineLeavesNoGap) {
    ASSERT_EQ(buffer_->Play(0), S_OK);
    Run(6000, kFeedDeadlineMs - 10);
    EXPECT_EQ(heard_, Blocks(1, 6000));
    EXPECT_EQ(Cursor(), 6000 * kBlock);

    // Later than that the ring replays what it held, but the cursor still counts the
    // bytes played and the next feed brings the stream back in order.
    Run(kRingMs - 100, kRingMs);
    EXPECT_NE(std::vector<uint32_t>(heard_.begin() + 6000, heard_.end()),
              Blocks(6001, kRingMs - 100));
    Stream().Feed();
    EXPECT_EQ(Cursor(), (6000 + kRingMs - 100) * kBlock);
    const size_t late = heard_.size();
    Run(500);
    EXPECT_EQ(std::vector<uint32_t>(heard_.begin() + late, heard_.end()),
              Blocks(6000 + kRingMs - 100 + 1, 500));
}

TEST_F(StreamingBufferTest, ABufferWithAFeedPeriodFeedsItselfWhileNobodyCalls) {
    SerializedDevice serialized(*device_, ringLock_);
    Make(1, &serialized);
    ASSERT_EQ(buffer_->Play(0), S_OK);
    for (int step = 0; step < 60; ++step) {
        int seen = 0;
        {
            std::lock_guard<std::mutex> hold(ringLock_);
            now_ += 100;
            Collect();
            seen = feederLooks_.load();
        }
        // Two looks at the clock: one whole feed ran after the step.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (feederLooks_.load() < seen + 2 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        ASSERT_GE(feederLooks_.load(), seen + 2) << "the feeder stopped at step " << step;
    }
    EXPECT_EQ(heard_, Blocks(1, 6000));
    EXPECT_EQ(Cursor(), 6000 * kBlock);
    buffer_.reset();  // joins the feeder
}

}  // namespace
