// What a software sound layer takes from a buffer: its samples as stereo floats, and the
// gains its volume and pan give.
#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstring>
#include <vector>

#include "sound/mixer/gains.h"
#include "sound/mixer/sample_format.h"

namespace {

// A format record, with `extra` bytes after it (cbSize), as a file would hold it.
std::vector<uint8_t> Record(uint16_t tag, uint16_t channels, uint16_t bits,
                            std::vector<uint8_t> extra = {}) {
    WaveFormat format{tag,
                      channels,
                      44100,
                      44100u * channels * bits / 8,
                      static_cast<uint16_t>(channels * bits / 8),
                      bits,
                      static_cast<uint16_t>(extra.size())};
    std::vector<uint8_t> bytes(sizeof format + extra.size());
    std::memcpy(bytes.data(), &format, sizeof format);
    std::copy(extra.begin(), extra.end(), bytes.begin() + sizeof format);
    return bytes;
}

// WAVE_FORMAT_EXTENSIBLE's 22 bytes: valid bits, channel mask, sub-format GUID.
std::vector<uint8_t> Extensible(uint16_t subTag, uint8_t lastGuidByte = 0x71) {
    return {24,
            0,
            3,
            0,
            0,
            0,
            static_cast<uint8_t>(subTag),
            static_cast<uint8_t>(subTag >> 8),
            0,
            0,
            0,
            0,
            0x10,
            0,
            0x80,
            0,
            0,
            0xAA,
            0,
            0x38,
            0x9B,
            lastGuidByte};
}

const WaveFormat* As(const std::vector<uint8_t>& record) {
    return reinterpret_cast<const WaveFormat*>(record.data());
}

std::vector<float> Convert(const std::vector<uint8_t>& record, const std::vector<uint8_t>& data) {
    SampleLayout layout{};
    EXPECT_TRUE(DescribeSamples(As(record), &layout));
    const size_t frames = data.size() / layout.blockAlign;
    std::vector<float> out(2 * frames);
    ToStereoFloat(layout, data.data(), frames, out.data());
    return out;
}

TEST(SampleFormatTest, EveryAcceptedEncodingReachesFullScaleAndKeepsItsSides) {
    using V = std::vector<float>;
    EXPECT_EQ(Convert(Record(1, 1, 8), {0x00, 0x80, 0xC0}), (V{-1, -1, 0, 0, 0.5f, 0.5f}));
    EXPECT_EQ(Convert(Record(1, 2, 16), {0x00, 0x80, 0x00, 0x40}), (V{-1, 0.5f}));
    EXPECT_EQ(Convert(Record(1, 2, 24), {0x00, 0x00, 0x80, 0x00, 0x00, 0x40}), (V{-1, 0.5f}));
    EXPECT_EQ(Convert(Record(1, 1, 32), {0x00, 0x00, 0x00, 0xC0}), (V{-0.5f, -0.5f}));
    float quarter[2] = {0.25f, -0.75f};
    std::vector<uint8_t> floats(8);
    std::memcpy(floats.data(), quarter, 8);
    EXPECT_EQ(Convert(Record(3, 2, 32), floats), (V{0.25f, -0.75f}));
    // The extensible record of a 24-bit PCM file plays like the plain one.
    EXPECT_EQ(Convert(Record(0xFFFE, 2, 24, Extensible(1)), {0xFF, 0xFF, 0x7F, 0, 0, 0}),
              (V{8388607.0f / 8388608.0f, 0}));
}

TEST(SampleFormatTest, RefusesEveryOtherFormat) {
    std::vector<uint8_t> cut = Extensible(1);
    cut.pop_back();
    const std::vector<std::vector<uint8_t>> refused = {
        Record(2, 1, 4),                             // ADPCM
        Record(3, 1, 64),                            // 64-bit float
        Record(1, 1, 12),                            // no such PCM width
        Record(1, 3, 16),                            // three channels
        Record(0xFFFE, 1, 16, Extensible(2)),        // an extensible ADPCM
        Record(0xFFFE, 1, 16, Extensible(1, 0x72)),  // a sub-format of another family
        Record(0xFFFE, 1, 16, cut),                  // an extensible record cut short
    };
    for (const auto& record : refused) {
        SampleLayout layout{};
        EXPECT_FALSE(DescribeSamples(As(record), &layout))
            << "tag " << As(record)->wFormatTag << ", " << As(record)->wBitsPerSample << " bits";
    }
    auto wrongBlock = Record(1, 2, 16);
    reinterpret_cast<WaveFormat*>(wrongBlock.data())->nBlockAlign = 2;
    SampleLayout layout{};
    EXPECT_FALSE(DescribeSamples(As(wrongBlock), &layout));
    reinterpret_cast<WaveFormat*>(wrongBlock.data())->nBlockAlign = 8;  // padded frames
    EXPECT_FALSE(DescribeSamples(As(wrongBlock), &layout));
    EXPECT_FALSE(DescribeSamples(nullptr, &layout));
}

TEST(GainsTest, VolumeAndPanAreAttenuationsThatAddAndEndInSilence) {
    auto near = [](StereoGains gains, double left, double right) {
        return std::fabs(gains.left - left) < 1e-6 && std::fabs(gains.right - right) < 1e-6;
    };
    EXPECT_TRUE(near(GainsFor(0, 0), 1, 1));
    EXPECT_TRUE(near(GainsFor(-2000, 0), 0.1, 0.1));  // 20 dB
    EXPECT_TRUE(near(GainsFor(-10000, 0), 0, 0));
    EXPECT_TRUE(near(GainsFor(0, -10000), 1, 0));  // fully left
    EXPECT_TRUE(near(GainsFor(0, 10000), 0, 1));
    EXPECT_TRUE(near(GainsFor(-1000, -1000), std::pow(10, -0.5), 0.1));
    EXPECT_TRUE(near(GainsFor(-5000, 6000), 0, std::pow(10, -2.5)));  // 110 dB down is silence
    EXPECT_TRUE(near(GainsFor(300, -20000), 1, 0));  // outside the ranges: the nearest end
}

}  // namespace
